// The test sandbox itself: it must hide the real roots and go without a
// trace, also when a test left a key that denies writing.
#include <gtest/gtest.h>

#include "support/testutil.h"

namespace {

TEST(Sandbox, HidesTheRealRootsAndGoesWhole)
{
    std::string base;
    {
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID")) << "the real HKCR shows through";
        PutString(HKEY_LOCAL_MACHINE, "Software\\Probe", "", "x");
        EXPECT_EQ("x", ReadString(sandbox.Scratch(HKEY_LOCAL_MACHINE), "Software\\Probe", ""));
        ASSERT_TRUE(DenyWrite(HKEY_CLASSES_ROOT, "Denied\\Deeper"));
        ASSERT_TRUE(DenyWrite(HKEY_CLASSES_ROOT, "Denied"));
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID")) << "the real HKCR is back";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Probe"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\VelmorTests"));
}

}  // namespace
