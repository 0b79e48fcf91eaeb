// The registry layer against the real registry, in a sandbox per test.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "support/testutil.h"

namespace {

class Registry : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Sandbox.Ok()); }
    RegistrySandbox Sandbox;
};

TEST_F(Registry, SandboxRedirectsRootsAndDenyWriteWorks)
{
    EXPECT_EQ(0, SetRegString(HKEY_CLASSES_ROOT, ".probe", "", "x"));
    EXPECT_EQ("x", ReadString(Sandbox.Scratch(HKEY_CLASSES_ROOT), ".probe", ""));
    EXPECT_EQ(0, SetProductString("Setup", "A", "b"));
    EXPECT_EQ("b", ReadString(Sandbox.Scratch(HKEY_CURRENT_USER), "Software\\Velmor\\Setup", "A"));
    ASSERT_TRUE(DenyWrite(HKEY_LOCAL_MACHINE, "Denied"));
    EXPECT_EQ(5, SetRegString(HKEY_LOCAL_MACHINE, "Denied", "", "x"));
    ASSERT_TRUE(AllowAll(HKEY_LOCAL_MACHINE, "Denied"));
    EXPECT_EQ(0, SetRegString(HKEY_LOCAL_MACHINE, "Denied", "", "x"));
}

}  // namespace
