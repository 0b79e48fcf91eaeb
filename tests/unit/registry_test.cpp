// The registry layer against the real registry, in a sandbox per test.
// Under the sandbox HKEY_CURRENT_USER itself is a scratch key, so the
// product key is Software\Velmor directly below Scratch(HKCU).
#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "support/testutil.h"

namespace {

const HKEY CU = HKEY_CURRENT_USER;
const HKEY CR = HKEY_CLASSES_ROOT;
const HKEY LM = HKEY_LOCAL_MACHINE;

const std::string Product = "Software\\Velmor";
const DWORD Sentinel = 0xDEADBEEF;
const char Garbage = (char)0xCC;
const char Canary = (char)0x5A;

// Windows 95, 98 and Me delete a key together with all its sub-keys.
bool IsNineX()
{
    const std::string v = ExpectedWinVersion();
    return v == "win95" || v == "win98" || v == "winme";
}

const char *RootName(HKEY root)
{
    if (root == CU)
        return "HKCU";
    if (root == CR)
        return "HKCR";
    if (root == LM)
        return "HKLM";
    return "?";
}

std::string Bytes(DWORD v)
{
    return std::string((const char *)&v, sizeof(v));
}

std::string Printable(const std::string &s)
{
    std::string out;
    for (unsigned char c : s)
    {
        char hex[8];
        if (c >= 0x20 && c < 0x7F)
            out += (char)c;
        else
        {
            snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// Creates count sub-keys named prefix + 4 digits below path, all of one
// length.
void PutChildren(HKEY root, const std::string &path, int count, const char *prefix)
{
    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                             &parent, NULL));
    for (int i = 0; i < count; ++i)
    {
        char name[32];
        snprintf(name, sizeof(name), "%s%04d", prefix, i);
        HKEY child;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                                 &child, NULL)) << name;
        RegCloseKey(child);
    }
    RegCloseKey(parent);
}

// Gives a key made unwritable by DenyWrite its access back at the end of
// the scope, so that the sandbox can remove it even when a check failed.
class DeniedKey
{
public:
    DeniedKey(HKEY root, const std::string &path) : Root(root), Path(path)
    {
        Ok = DenyWrite(root, path);
    }
    ~DeniedKey() { AllowAll(Root, Path); }
    DeniedKey(const DeniedKey &) = delete;
    DeniedKey &operator=(const DeniedKey &) = delete;
    bool Ok;

private:
    HKEY Root;
    std::string Path;
};

class Registry : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Sandbox.Ok()); }

    HKEY Scratch(HKEY root) const { return Sandbox.Scratch(root); }
    // Everything below the three scratch roots.
    std::string Everything() const
    {
        return "HKCU:\n" + SnapshotKey(Scratch(CU), "") + "HKLM:\n" + SnapshotKey(Scratch(LM), "") +
               "HKCR:\n" + SnapshotKey(Scratch(CR), "");
    }

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

// ---- Path rule ---------------------------------------------------------

TEST_F(Registry, BuildRegPathPlacesRelativeUserPathsBelowTheProductKey)
{
    struct Row
    {
        HKEY root;
        const char *path;
        const char *full;
    };
    const Row rows[] = {
        {CU, "Setup", "Software\\Velmor\\Setup"},
        {CU, "Setup\\Links", "Software\\Velmor\\Setup\\Links"},
        {CU, "", "Software\\Velmor"},
        {CU, "\\Software\\Other", "Software\\Other"},
        {CU, "\\", ""},
        {CR, ".zip", ".zip"},
        {CR, "", ""},
        {CR, "Velmor\\shell\\open", "Velmor\\shell\\open"},
        {LM, "Software\\Velmor", "Software\\Velmor"},
        {LM, "\\Software\\Other", "\\Software\\Other"},
    };
    for (const Row &row : rows)
    {
        SCOPED_TRACE(std::string(RootName(row.root)) + " \"" + row.path + "\"");
        char buffer[RegPathSize + 1];
        memset(buffer, Garbage, sizeof(buffer));
        buffer[RegPathSize] = Canary;
        ASSERT_TRUE(BuildRegPath(row.root, buffer, row.path, RegPathSize));
        ASSERT_NE(nullptr, memchr(buffer, 0, RegPathSize)) << "not terminated";
        EXPECT_STREQ(row.full, buffer);
        EXPECT_EQ(Canary, buffer[RegPathSize]);
    }
}

TEST_F(Registry, BuildRegPathRefusesPathsLongerThanSizeLessTwentyAndLeavesTheBuffer)
{
    struct Row
    {
        HKEY root;
        std::string path;
        int size;
        bool accepted;
        std::string full;
    };
    const std::string a236(236, 'a');
    const std::string a20(20, 'a');
    const Row rows[] = {
        {CU, a236, 256, true, Product + "\\" + a236},
        {CU, a236 + "a", 256, false, ""},
        {CU, "\\" + std::string(235, 'b'), 256, true, std::string(235, 'b')},
        {CU, "\\" + std::string(236, 'b'), 256, false, ""},
        {CR, a236, 256, true, a236},
        {CR, a236 + "a", 256, false, ""},
        {LM, std::string(1000, 'c'), 256, false, ""},
        {CU, a20, 40, true, Product + "\\" + a20},
        {CU, a20 + "a", 40, false, ""},
        {CR, a20, 40, true, a20},
        {CR, a20 + "a", 40, false, ""},
    };
    for (const Row &row : rows)
    {
        SCOPED_TRACE(std::string(RootName(row.root)) + ", path of " +
                     std::to_string(row.path.size()) + " characters, buffer of " +
                     std::to_string(row.size));
        std::vector<char> buffer((size_t)row.size + 1, Garbage);
        buffer[(size_t)row.size] = Canary;
        ASSERT_EQ(row.accepted, BuildRegPath(row.root, buffer.data(), row.path.c_str(), row.size));
        EXPECT_EQ(Canary, buffer[(size_t)row.size]);
        if (row.accepted)
        {
            ASSERT_NE(nullptr, memchr(buffer.data(), 0, (size_t)row.size)) << "not terminated";
            EXPECT_EQ(row.full, std::string(buffer.data()));
        }
        else
        {
            EXPECT_EQ(std::string((size_t)row.size, Garbage),
                      std::string(buffer.data(), (size_t)row.size)) << "refused, yet written";
        }
    }
}

TEST_F(Registry, KeyPathOf236CharactersWorksWithEveryOperation)
{
    const std::string path = "Setup\\" + std::string(230, 'k');
    ASSERT_EQ(236u, path.size());
    const std::string real = Product + "\\" + path;

    EXPECT_EQ(0, SetRegString(CU, path.c_str(), "S", "text"));
    EXPECT_EQ(0, SetRegDword(CU, path.c_str(), "D", 7));
    EXPECT_EQ(0, SetRegBinary(CU, path.c_str(), "B", "\x01\x02", 2));
    EXPECT_EQ("text", ReadString(Scratch(CU), real, "S"));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadValue(Scratch(CU), real, "D", &type, &data));
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(Bytes(7), data);

    char buffer[16];
    EXPECT_TRUE(GetRegString(CU, path.c_str(), "S", buffer, "dflt", sizeof(buffer)));
    EXPECT_STREQ("text", buffer);
    EXPECT_EQ(7u, GetRegDword(CU, path.c_str(), "D", Sentinel));
    EXPECT_TRUE(RegKeyExists(CU, path.c_str()));
    LONG error = -1;
    HKEY key = OpenRegWrite(CU, path.c_str(), &error);
    EXPECT_NE(nullptr, key);
    EXPECT_EQ(0, error);
    EXPECT_TRUE(CloseRegKey(key));
    key = OpenRegRead(CU, path.c_str());
    EXPECT_NE(nullptr, key);
    EXPECT_TRUE(CloseRegKey(key));

    DeleteRegValue(CU, path.c_str(), "S");
    EXPECT_FALSE(ValueExists(Scratch(CU), real, "S"));
    EXPECT_TRUE(ValueExists(Scratch(CU), real, "D"));
    DeleteRegKey(CU, path.c_str());
    EXPECT_FALSE(KeyExists(Scratch(CU), real));

    PutKey(Scratch(CU), real + "\\Below");
    DeleteRegTree(CU, path.c_str());
    EXPECT_FALSE(KeyExists(Scratch(CU), real));
    EXPECT_TRUE(KeyExists(Scratch(CU), Product + "\\Setup"));
}

// The keys a refused path names exist, and so do the keys its first 236
// characters name: a refused path must reach neither.
TEST_F(Registry, KeyPathOf237CharactersIsRefusedByEveryOperation)
{
    struct Row
    {
        const char *label;
        HKEY root;
        std::string path;     // as given to the layer, 237 characters
        std::string real;     // where it would land below the scratch root
    };
    const std::string rel = "Setup\\" + std::string(231, 'k');
    const std::string abs = "Other\\" + std::string(230, 'm');
    const std::string cls = "Velmor\\" + std::string(230, 'n');
    const Row rows[] = {
        {"HKCU product-relative", CU, rel, Product + "\\" + rel},
        {"HKCU absolute", CU, "\\" + abs, abs},
        {"HKCR", CR, cls, cls},
    };
    for (const Row &row : rows)
    {
        SCOPED_TRACE(row.label);
        ASSERT_EQ(237u, row.path.size());
        HKEY scratch = Scratch(row.root);
        const std::string cut = row.real.substr(0, row.real.size() - 1);
        for (const std::string &seeded : {row.real, cut})
        {
            PutString(scratch, seeded, "S", "seeded");
            PutValue(scratch, seeded, "D", REG_DWORD, Bytes(5));
            PutKey(scratch, seeded + "\\Below");
        }
        const std::string before = Everything();
        const char *p = row.path.c_str();

        LONG error = 0;
        EXPECT_EQ(nullptr, OpenRegWrite(row.root, p, &error));
        EXPECT_EQ(123, error);
        EXPECT_EQ(nullptr, OpenRegRead(row.root, p));
        EXPECT_EQ(123, SetRegString(row.root, p, "S", "new"));
        EXPECT_EQ(123, SetRegDword(row.root, p, "D", 1));
        EXPECT_EQ(123, SetRegBinary(row.root, p, "B", "x", 1));
        char buffer[16];
        memset(buffer, Garbage, sizeof(buffer));
        EXPECT_FALSE(GetRegString(row.root, p, "S", buffer, "dflt", sizeof(buffer)));
        EXPECT_STREQ("dflt", buffer);
        EXPECT_EQ(Sentinel, GetRegDword(row.root, p, "D", Sentinel));
        EXPECT_FALSE(RegKeyExists(row.root, p));
        DeleteRegValue(row.root, p, "S");
        DeleteRegKey(row.root, p);
        DeleteRegTree(row.root, p);
        EXPECT_EQ(0, LastDeleteRegTreePasses());
        if (row.root == CU)
        {
            EXPECT_EQ(123, SetProductString(p, "S", "new"));
            EXPECT_EQ(123, SetProductDword(p, "D", 1));
            EXPECT_FALSE(GetProductString(p, "S", buffer, "dflt", sizeof(buffer)));
            EXPECT_EQ(Sentinel, GetProductDword(p, "D", Sentinel));
        }
        EXPECT_EQ(before, Everything());
    }
}

// ---- Reading -------------------------------------------------------------

TEST_F(Registry, GetRegStringAndGetRegDwordByStoredData)
{
    const DWORD Missing = 0xFFFFFFFF;     // type marker: do not create the value
    struct Row
    {
        const char *label;
        DWORD type;
        std::string bytes;
        bool textRead;
        std::string text;     // delivered text, or the default
        DWORD number;         // GetRegDword with the default Sentinel
    };
    const std::string dflt = "dflt";
    const Row rows[] = {
        {"missing value", Missing, "", false, dflt, Sentinel},
        {"empty REG_SZ", REG_SZ, std::string(1, '\0'), true, "", 0},
        {"REG_BINARY of zero bytes", REG_BINARY, "", false, dflt, Sentinel},
        {"REG_SZ of 3 characters", REG_SZ, std::string("abc", 4), true, "abc", 0x00636261},
        {"REG_SZ of 4 characters", REG_SZ, std::string("abcd", 5), true, "abcd", Sentinel},
        {"REG_SZ filling the buffer", REG_SZ, std::string("abcdefg", 8), true, "abcdefg", Sentinel},
        {"REG_SZ one byte too long", REG_SZ, std::string("abcdefgh", 9), false, dflt, Sentinel},
        {"text without terminator filling the buffer", REG_BINARY, "abcdefgh", false, dflt, Sentinel},
        {"text without terminator one shorter", REG_BINARY, "abcdefg", true, "abcdefg", Sentinel},
        {"one byte", REG_BINARY, "\x7f", true, "\x7f", 0x7F},
        {"two bytes", REG_BINARY, "\x01\x02", true, "\x01\x02", 0x0201},
        {"three bytes", REG_BINARY, "\xff\xfe\xfd", true, "\xff\xfe\xfd", 0x00FDFEFF},
        {"REG_DWORD", REG_DWORD, Bytes(0x12345678), true, "\x78\x56\x34\x12", 0x12345678},
        {"REG_DWORD zero", REG_DWORD, Bytes(0), true, "", 0},
        {"REG_BINARY of 1024 bytes", REG_BINARY, std::string(1024, 'z'), false, dflt, Sentinel},
    };
    const DWORD size = 8;
    const std::string key = "Read";
    for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    {
        const Row &row = rows[i];
        SCOPED_TRACE(row.label);
        const std::string name = "v" + std::to_string(i);
        if (row.type != Missing)
        {
            PutValue(Scratch(CU), Product + "\\" + key, name, row.type, row.bytes);
            DWORD type = 0;
            std::string stored;
            ASSERT_TRUE(ReadValue(Scratch(CU), Product + "\\" + key, name, &type, &stored));
            ASSERT_EQ(row.type, type);
            ASSERT_EQ(row.bytes.size(), stored.size()) << "the system stored another size";
        }
        else
        {
            PutKey(Scratch(CU), Product + "\\" + key);
        }

        char buffer[size + 1];
        memset(buffer, Garbage, sizeof(buffer));
        buffer[size] = Canary;
        EXPECT_EQ(row.textRead, GetRegString(CU, key.c_str(), name.c_str(), buffer, dflt.c_str(), size));
        EXPECT_EQ(Canary, buffer[size]) << "written past the buffer";
        ASSERT_NE(nullptr, memchr(buffer, 0, size)) << "not terminated";
        EXPECT_EQ(Printable(row.text), Printable(buffer));

        char viaProduct[size + 1];
        memset(viaProduct, Garbage, sizeof(viaProduct));
        viaProduct[size] = Canary;
        EXPECT_EQ(row.textRead, GetProductString(key.c_str(), name.c_str(), viaProduct, dflt.c_str(), size));
        EXPECT_EQ(Canary, viaProduct[size]);
        EXPECT_EQ(Printable(row.text), Printable(std::string(viaProduct, strnlen(viaProduct, size))));

        EXPECT_EQ(row.number, GetRegDword(CU, key.c_str(), name.c_str(), Sentinel));
        EXPECT_EQ(row.number, GetProductDword(key.c_str(), name.c_str(), Sentinel));
    }
}

TEST_F(Registry, ReadsOfAMissingKeyGiveTheDefaults)
{
    struct Row
    {
        HKEY root;
        const char *path;
    };
    PutString(Scratch(CU), "Elsewhere", "v", "x");    // not below the product key
    PutString(Scratch(CR), ".zip", "", "x");
    const Row rows[] = {{CU, "Elsewhere"}, {CU, ""}, {CU, "\\Missing"}, {CR, ".vmz"}, {LM, "Software"}};
    for (const Row &row : rows)
    {
        SCOPED_TRACE(std::string(RootName(row.root)) + " \"" + row.path + "\"");
        char buffer[9];
        memset(buffer, Garbage, sizeof(buffer));
        buffer[8] = Canary;
        EXPECT_FALSE(GetRegString(row.root, row.path, "v", buffer, "dflt", 8));
        EXPECT_STREQ("dflt", buffer);
        EXPECT_EQ(Canary, buffer[8]);
        EXPECT_EQ(Sentinel, GetRegDword(row.root, row.path, "v", Sentinel));
        EXPECT_EQ(nullptr, OpenRegRead(row.root, row.path));
        EXPECT_FALSE(RegKeyExists(row.root, row.path));
    }
    EXPECT_FALSE(KeyExists(Scratch(CU), Product)) << "a read created the product key";
    EXPECT_FALSE(KeyExists(Scratch(CR), ".vmz")) << "a read created a key";
}

TEST_F(Registry, DefaultTextIsCutToTheBufferAndTerminated)
{
    struct Row
    {
        DWORD size;
        const char *expected;
    };
    const Row rows[] = {{1, ""}, {2, "0"}, {8, "0123456"}, {10, "012345678"},
                        {11, "0123456789"}, {12, "0123456789"}};
    for (const Row &row : rows)
    {
        SCOPED_TRACE("buffer of " + std::to_string(row.size));
        std::vector<char> buffer(row.size + 1, Garbage);
        buffer[row.size] = Canary;
        EXPECT_FALSE(GetRegString(CU, "Missing", "v", buffer.data(), "0123456789", row.size));
        EXPECT_EQ(Canary, buffer[row.size]);
        ASSERT_NE(nullptr, memchr(buffer.data(), 0, row.size)) << "not terminated";
        EXPECT_STREQ(row.expected, buffer.data());
    }
}

// ---- Writing -------------------------------------------------------------

TEST_F(Registry, WritersStoreTypeAndSizeAsGiven)
{
    struct Row
    {
        const char *label;
        std::function<LONG()> write;
        HKEY root;
        std::string key;      // below the scratch root
        std::string name;
        DWORD type;
        std::string bytes;
    };
    const std::string w = Product + "\\W";
    const Row rows[] = {
        {"text", [] { return SetRegString(CU, "W", "s", "hello"); }, CU, w, "s", REG_SZ,
         std::string("hello", 6)},
        {"empty text", [] { return SetRegString(CU, "W", "e", ""); }, CU, w, "e", REG_SZ,
         std::string(1, '\0')},
        {"default value", [] { return SetRegString(CU, "W", "", "the default"); }, CU, w, "",
         REG_SZ, std::string("the default", 12)},
        {"number", [] { return SetRegDword(CU, "W", "d", 0x01020304); }, CU, w, "d", REG_DWORD,
         "\x04\x03\x02\x01"},
        {"number zero", [] { return SetRegDword(CU, "W", "z", 0); }, CU, w, "z", REG_DWORD,
         Bytes(0)},
        {"bytes with zeros, keys created on the way",
         [] { return SetRegBinary(CU, "W\\Deep\\Er", "b", "a\0b\xff", 4); }, CU,
         w + "\\Deep\\Er", "b", REG_BINARY, std::string("a\0b\xff", 4)},
        {"no bytes", [] { return SetRegBinary(CU, "W", "n", "", 0); }, CU, w, "n", REG_BINARY, ""},
        {"class default value", [] { return SetRegString(CR, ".vmz", "", "Velmor"); }, CR,
         ".vmz", "", REG_SZ, std::string("Velmor", 7)},
        {"machine number", [] { return SetRegDword(LM, "Software\\X", "n", 1); }, LM,
         "Software\\X", "n", REG_DWORD, Bytes(1)},
        {"absolute user path", [] { return SetRegString(CU, "\\Software\\Other", "o", "x"); }, CU,
         "Software\\Other", "o", REG_SZ, std::string("x", 2)},
        {"product text", [] { return SetProductString("W", "ps", "p"); }, CU, w, "ps", REG_SZ,
         std::string("p", 2)},
        {"product number", [] { return SetProductDword("W", "pd", 9); }, CU, w, "pd", REG_DWORD,
         Bytes(9)},
    };
    for (const Row &row : rows)
    {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(0, row.write());
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(ReadValue(Scratch(row.root), row.key, row.name, &type, &data));
        EXPECT_EQ(row.type, type);
        EXPECT_EQ(Printable(row.bytes), Printable(data));
    }
    // Writing a name again replaces its type as well.
    EXPECT_EQ(0, SetRegDword(CU, "W", "s", 3));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadValue(Scratch(CU), w, "s", &type, &data));
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(Bytes(3), data);
}

// A key with an empty DACL cannot be opened: writes report 5 and reads
// give their defaults. Windows 9x keeps no security on registry keys
// (Wine's 9x mode still applies it to some calls), so there is nothing to
// hold the layer to there.
TEST_F(Registry, KeyThatCannotBeOpenedGivesAccessDeniedAndDefaults)
{
    if (IsNineX())
        GTEST_SKIP() << "no registry security on 9x";
    DeniedKey denied(LM, "Denied");
    ASSERT_TRUE(denied.Ok);
    const std::string before = Everything();
    LONG error = -1;
    EXPECT_EQ(nullptr, OpenRegWrite(LM, "Denied", &error));
    EXPECT_EQ(ERROR_ACCESS_DENIED, error);
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetRegString(LM, "Denied", "s", "x"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetRegDword(LM, "Denied", "d", 1));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetRegBinary(LM, "Denied", "b", "y", 1));
    char buffer[8];
    EXPECT_FALSE(GetRegString(LM, "Denied", "s", buffer, "dflt", sizeof(buffer)));
    EXPECT_STREQ("dflt", buffer);
    EXPECT_EQ(Sentinel, GetRegDword(LM, "Denied", "d", Sentinel));
    EXPECT_EQ(nullptr, OpenRegRead(LM, "Denied"));
    EXPECT_FALSE(RegKeyExists(LM, "Denied"));
    DeleteRegTree(LM, "Denied");
    EXPECT_EQ(before, Everything());
}

// The handles carry the access they are documented to carry: on NT the
// read handle cannot write and the write handle cannot read. Windows 9x
// ignores the access mask.
TEST_F(Registry, OpenedHandlesHaveTheirAccessOnly)
{
    PutString(Scratch(CU), Product + "\\Open", "v", "x");
    PutKey(Scratch(CU), Product + "\\Open\\Child");
    const LONG refused = IsNineX() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;

    HKEY read = OpenRegRead(CU, "Open");
    ASSERT_NE(nullptr, read);
    char name[16];
    DWORD len = sizeof(name);
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(read, 0, name, &len, NULL, NULL, NULL, NULL));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(read, "v", NULL, NULL, NULL, NULL));
    EXPECT_EQ(refused, RegSetValueExA(read, "w", 0, REG_SZ, (const BYTE *)"", 1));
    EXPECT_TRUE(CloseRegKey(read));

    LONG error = -1;
    HKEY write = OpenRegWrite(CU, "Open", &error);
    ASSERT_NE(nullptr, write);
    EXPECT_EQ(0, error);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(write, "w", 0, REG_SZ, (const BYTE *)"", 1));
    EXPECT_EQ(refused, RegQueryValueExA(write, "v", NULL, NULL, NULL, NULL));
    EXPECT_TRUE(CloseRegKey(write));

    // A missing key is created for writing, not for reading.
    EXPECT_EQ(nullptr, OpenRegRead(CU, "New\\Key"));
    EXPECT_FALSE(KeyExists(Scratch(CU), Product + "\\New"));
    write = OpenRegWrite(CU, "New\\Key", &error);
    EXPECT_NE(nullptr, write);
    EXPECT_EQ(0, error);
    EXPECT_TRUE(CloseRegKey(write));
    EXPECT_TRUE(KeyExists(Scratch(CU), Product + "\\New\\Key"));
}

// ---- Deleting ------------------------------------------------------------

TEST_F(Registry, DeleteRegValueRemovesOneValueOnly)
{
    struct Row
    {
        const char *label;
        const char *path;
        const char *name;
        bool aLeft, bLeft, defaultLeft;
    };
    const Row rows[] = {
        {"named value", "Del", "a", false, true, true},
        {"default value", "Del", "", true, true, false},
        {"missing value", "Del", "absent", true, true, true},
        {"missing key", "Del\\Absent", "a", true, true, true},
        {"absolute path", "\\Software\\Velmor\\Del", "b", true, false, true},
    };
    const std::string del = Product + "\\Del";
    for (const Row &row : rows)
    {
        SCOPED_TRACE(row.label);
        RegDeleteTreeA(Scratch(CU), Product.c_str());
        PutString(Scratch(CU), del, "a", "1");
        PutString(Scratch(CU), del, "b", "2");
        PutString(Scratch(CU), del, "", "3");
        DeleteRegValue(CU, row.path, row.name);
        EXPECT_EQ(row.aLeft, ValueExists(Scratch(CU), del, "a"));
        EXPECT_EQ(row.bLeft, ValueExists(Scratch(CU), del, "b"));
        EXPECT_EQ(row.defaultLeft, ValueExists(Scratch(CU), del, ""));
        EXPECT_FALSE(KeyExists(Scratch(CU), del + "\\Absent")) << "the key was created";
    }
}

TEST_F(Registry, DeleteRegKeyDeletesOneKeyOnNtAndItsSubKeysOn9x)
{
    struct Row
    {
        const char *label;
        HKEY root;
        const char *path;
        std::string real;
        bool hasSubKeys;
    };
    const Row rows[] = {
        {"leaf", CU, "Setup\\Leaf", Product + "\\Setup\\Leaf", false},
        {"key with sub-keys", CU, "Setup\\Branch", Product + "\\Setup\\Branch", true},
        {"class key", CR, ".old", ".old", false},
        {"class key with sub-keys", CR, "Old.Prog", "Old.Prog", true},
    };
    for (const Row &row : rows)
    {
        SCOPED_TRACE(row.label);
        HKEY scratch = Scratch(row.root);
        PutString(scratch, row.real, "v", "x");
        if (row.hasSubKeys)
            PutString(scratch, row.real + "\\Child\\Grandchild", "v", "x");
        const size_t cut = row.real.find_last_of('\\');
        const std::string parent = cut == std::string::npos ? "" : row.real.substr(0, cut);
        const std::string before = SnapshotKey(scratch, row.real);
        DeleteRegKey(row.root, row.path);
        if (row.hasSubKeys && !IsNineX())
        {
            EXPECT_EQ(before, SnapshotKey(scratch, row.real)) << "NT deletes no key with sub-keys";
        }
        else
        {
            EXPECT_FALSE(KeyExists(scratch, row.real));
            EXPECT_FALSE(KeyExists(scratch, row.real + "\\Child"));
        }
        if (!parent.empty())
        {
            EXPECT_TRUE(KeyExists(scratch, parent)) << "the parent went too";
        }
    }
    const std::string before = Everything();
    DeleteRegKey(CU, "Setup\\Missing");
    EXPECT_EQ(before, Everything());
}

TEST_F(Registry, DeleteRegTreeOfAMissingKeyChangesNothingInOnePass)
{
    PutString(Scratch(CU), Product + "\\Setup", "v", "x");
    PutString(Scratch(CU), "Software\\Other", "v", "x");
    const std::string before = Everything();
    DeleteRegTree(CU, "Setup\\Missing");
    EXPECT_EQ(1, LastDeleteRegTreePasses());
    DeleteRegTree(CU, "\\Software\\Missing");
    EXPECT_EQ(1, LastDeleteRegTreePasses());
    DeleteRegTree(CR, ".missing");
    EXPECT_EQ(1, LastDeleteRegTreePasses());
    EXPECT_EQ(before, Everything());
}

TEST_F(Registry, DeleteRegTreeOfAnEmptyPathDeletesNothing)
{
    struct Row
    {
        HKEY root;
        const char *path;
    };
    const Row rows[] = {{CR, ""}, {LM, ""}, {CU, "\\"}};
    PutString(Scratch(CU), Product + "\\Setup", "v", "x");
    PutString(Scratch(CU), "Software\\Other", "v", "x");
    PutString(Scratch(CR), ".zip\\ShellNew", "v", "x");
    PutString(Scratch(LM), "Software\\Classes", "v", "x");
    const std::string before = Everything();
    for (const Row &row : rows)
    {
        SCOPED_TRACE(std::string(RootName(row.root)) + " \"" + row.path + "\"");
        DeleteRegTree(row.root, row.path);
        EXPECT_EQ(0, LastDeleteRegTreePasses());
        EXPECT_EQ(before, Everything());
    }
}

TEST_F(Registry, DeleteRegTreeOfTheEmptyUserPathRemovesTheWholeProductKey)
{
    const HKEY cu = Scratch(CU);
    PutString(cu, Product, "", "root value");
    PutString(cu, Product + "\\Setup", "ShellExt", "1");
    PutString(cu, Product + "\\Setup\\Links", "Desktop", "0");
    PutString(cu, Product + "\\Setup\\.zip", "Set", "1");
    PutString(cu, Product + "\\Setup\\MenuItems\\Deep\\Deeper", "x", "y");
    PutString(cu, "Software\\Other", "v", "x");
    PutString(cu, "Software\\VelmorBackup", "v", "x");      // shares the name's start
    const std::string other = SnapshotKey(cu, "Software\\Other");
    const std::string backup = SnapshotKey(cu, "Software\\VelmorBackup");

    DeleteRegTree(CU, "");
    EXPECT_FALSE(KeyExists(cu, Product));
    EXPECT_TRUE(KeyExists(cu, "Software"));
    EXPECT_EQ(other, SnapshotKey(cu, "Software\\Other"));
    EXPECT_EQ(backup, SnapshotKey(cu, "Software\\VelmorBackup"));
    if (!IsNineX())
    {
        EXPECT_GE(LastDeleteRegTreePasses(), 2) << "the last pass finds nothing";
    }
}

// On NT a pass skips the siblings that move down while it deletes, so a
// wide tree needs several passes. On 9x the system's recursive delete goes
// first; where it gives up (see below) the passes take over.
TEST_F(Registry, DeleteRegTreeRemovesAThousandSiblingsAndADeepChain)
{
    const HKEY cu = Scratch(CU);
    const std::string tree = Product + "\\Tree";
    PutChildren(cu, tree + "\\Wide", 1000, "k");
    std::string chain = tree + "\\Deep";
    for (int level = 1; level <= 10; ++level)
    {
        chain += "\\L" + std::to_string(level % 10);
        PutString(cu, chain, "v", "x");
    }
    PutString(cu, tree, "v", "x");
    PutString(cu, Product + "\\TreeX\\Keep", "v", "x");
    PutString(cu, Product + "\\Sibling", "v", "x");
    ASSERT_EQ(1 + 1 + 1000 + 1 + 10, CountKeys(cu, tree));
    const std::string treeX = SnapshotKey(cu, Product + "\\TreeX");
    const std::string sibling = SnapshotKey(cu, Product + "\\Sibling");

    DeleteRegTree(CU, "Tree");
    const int passes = LastDeleteRegTreePasses();
    printf("DeleteRegTree of 1013 keys: %d passes\n", passes);
    RecordProperty("passes", passes);

    EXPECT_EQ(0, CountKeys(cu, tree));
    EXPECT_EQ(treeX, SnapshotKey(cu, Product + "\\TreeX"));
    EXPECT_EQ(sibling, SnapshotKey(cu, Product + "\\Sibling"));
    if (!IsNineX())
    {
        EXPECT_GE(passes, 3) << "one pass cannot take a wide tree, and the last finds nothing";
    }
}

// On 9x one RegDeleteKeyA removes the tree and no pass runs. Wine's
// emulation of that recursive delete passes the length of the previous
// sub-key name as the buffer size for the next, so it only walks siblings
// whose names get shorter in sort order; this tree is built that way.
// Windows 98 itself walks any tree.
TEST_F(Registry, DeleteRegTreeOn9xLeavesTheTreeToTheSystemsRecursiveDelete)
{
    const HKEY cu = Scratch(CU);
    const std::string tree = Product + "\\Whole";
    for (const char *path : {"\\aaaa\\bbb\\cc\\d", "\\aaaa\\x", "\\bbb", "\\cc\\leaf", "\\d"})
        PutString(cu, tree + path, "v", "x");
    PutString(cu, Product + "\\WholeSibling", "v", "x");
    ASSERT_EQ(10, CountKeys(cu, tree));

    DeleteRegTree(CU, "Whole");
    EXPECT_FALSE(KeyExists(cu, tree));
    EXPECT_TRUE(KeyExists(cu, Product + "\\WholeSibling"));
    if (IsNineX())
        EXPECT_EQ(0, LastDeleteRegTreePasses()) << "the passes ran although 9x deleted the tree";
    else
        EXPECT_GE(LastDeleteRegTreePasses(), 2);
}

// Creates the chain of keys names[0]\names[1]\... below path, one level at
// a time: Wine opens no key by an ANSI path longer than 260 characters.
void PutChain(HKEY root, const std::string &path, const std::vector<std::string> &names)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                             &key, NULL));
    for (const std::string &name : names)
    {
        HKEY next;
        LONG r = RegCreateKeyExA(key, name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &next, NULL);
        RegCloseKey(key);
        ASSERT_EQ(ERROR_SUCCESS, r) << name.size() << "-character name";
        key = next;
    }
    RegCloseKey(key);
}

// Below "Long" (its full path Software\Velmor\Long has 20 characters) a
// chain of three 190-character names joins to 593 characters, beyond the
// 512-byte path buffer of the tree deletion. That branch stays with every
// key above it; the short branches beside it go. (Wine already refuses to
// open the second of those keys by its 402-character ANSI path, so under
// Wine the branch stays one level higher up than on Windows; the outcome
// is the same.) On 9x the system's recursive delete, which works with
// relative names, takes the whole tree; the longest names sort first so
// that Wine's emulation of it gets through (see above).
TEST_F(Registry, DeleteRegTreeLeavesABranchWhosePathDoesNotFit)
{
    const HKEY cu = Scratch(CU);
    const std::string root = Product + "\\Long";
    const std::string a(190, 'a'), b(190, 'b'), c(190, 'c');
    PutChain(cu, root, {a, b, c, "Leaf"});
    PutChain(cu, root, {a, "Other"});
    PutChain(cu, root, {"Short", "Below"});
    PutString(cu, Product + "\\LongSibling", "v", "x");
    ASSERT_EQ(8, CountKeys(cu, root));
    const std::string sibling = SnapshotKey(cu, Product + "\\LongSibling");

    DeleteRegTree(CU, "Long");
    printf("DeleteRegTree with a branch beyond 512 bytes: %d passes\n", LastDeleteRegTreePasses());
    EXPECT_EQ(sibling, SnapshotKey(cu, Product + "\\LongSibling"));
    if (IsNineX())
    {
        EXPECT_EQ(0, CountKeys(cu, root));
        return;
    }
    EXPECT_EQ(5, CountKeys(cu, root)) << "Long, a, b, c and Leaf stay";
    EXPECT_EQ(4, CountKeys(cu, root + "\\" + a));
    EXPECT_FALSE(KeyExists(cu, root + "\\" + a + "\\Other"));
    EXPECT_FALSE(KeyExists(cu, root + "\\Short"));
}

// A sub-key name of 200 characters does not fit the enumeration buffer:
// enumeration of that key stops there, so the long name, what follows it
// and the keys above it stay. A name of 199 characters goes.
TEST_F(Registry, DeleteRegTreeStopsAtASubKeyNameOf200Characters)
{
    const HKEY cu = Scratch(CU);
    const std::string fitting = Product + "\\Names\\Fits";
    PutString(cu, fitting + "\\A", "v", "x");
    PutString(cu, fitting + "\\" + std::string(199, 'm'), "v", "x");
    const std::string stopping = Product + "\\Names\\Stops";
    PutString(cu, stopping + "\\" + std::string(200, 'n') + "\\Below", "v", "x");
    PutString(cu, stopping + "\\o", "v", "x");

    DeleteRegTree(CU, "Names\\Fits");
    EXPECT_EQ(0, CountKeys(cu, fitting));

    DeleteRegTree(CU, "Names\\Stops");
    EXPECT_EQ(IsNineX() ? 0 : 4, CountKeys(cu, stopping));
    EXPECT_TRUE(KeyExists(cu, Product + "\\Names"));
}

// ---- Tests and switches ------------------------------------------------

TEST_F(Registry, RegKeyExistsFollowsThePathRule)
{
    PutKey(Scratch(CU), Product + "\\Setup\\Links");
    PutKey(Scratch(CU), "Software\\Other");
    PutKey(Scratch(CR), ".zip");
    PutKey(Scratch(LM), "Software\\Classes");
    struct Row
    {
        HKEY root;
        const char *path;
        bool exists;
    };
    const Row rows[] = {
        {CU, "", true},
        {CU, "Setup", true},
        {CU, "Setup\\Links", true},
        {CU, "setup\\LINKS", true},
        {CU, "Setup\\Missing", false},
        {CU, "\\Software\\Other", true},
        {CU, "Software\\Other", false},     // that is Software\Velmor\Software\Other
        {CU, "\\Software\\Velmor\\Setup", true},
        {CR, ".zip", true},
        {CR, ".7z", false},
        {LM, "Software\\Classes", true},
        {LM, "Software\\Velmor", false},
    };
    for (const Row &row : rows)
    {
        SCOPED_TRACE(std::string(RootName(row.root)) + " \"" + row.path + "\"");
        EXPECT_EQ(row.exists, RegKeyExists(row.root, row.path));
    }
    DeleteRegTree(CU, "");
    EXPECT_FALSE(RegKeyExists(CU, ""));
}

// Removes a key written into the system's own classes root.
class RealClassKey
{
public:
    explicit RealClassKey(const std::string &name) : Name(name) { Delete(); }
    ~RealClassKey() { Delete(); }
    RealClassKey(const RealClassKey &) = delete;
    RealClassKey &operator=(const RealClassKey &) = delete;
    bool Exists() const
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, Name.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
            ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

private:
    void Delete() { RegDeleteKeyExA(HKEY_CLASSES_ROOT, Name.c_str(), KEY_WOW64_64KEY, 0); }
    std::string Name;
};

// This test process is 64-bit, where the 64-bit view is the only one, so
// the switch cannot be seen choosing a view. Wine, though, opens
// HKEY_CLASSES_ROOT afresh, past RegOverridePredefKey, for an access mask
// that names a view: a class key written with the switch on lands in the
// system's classes root outside the sandbox, one written with it off in
// the sandbox. That shows when the flag is on the write mask, and that
// reads, tests and deletions never carry it. Windows 9x ignores the
// access mask, and so does Wine's 9x mode: there every write stays in the
// sandbox. HKLM and HKCU stay in the sandbox either way.
TEST_F(Registry, SetRegView64GoesOnTheWriteMaskOnlyAndOffAgain)
{
    char name[64];
    snprintf(name, sizeof(name), "VelmorViewProbe.%lu", (unsigned long)GetCurrentProcessId());
    RealClassKey real(name);
    ASSERT_FALSE(real.Exists());
    const bool views = !IsNineX();

    SetRegView64(true);
    EXPECT_EQ(0, SetRegString(CR, name, "on", "x"));
    EXPECT_EQ(0, SetRegString(LM, "Software\\Classes\\CLSID\\{1}", "on", "x"));
    EXPECT_EQ(0, SetRegString(CU, "View", "on", "x"));
    if (views)
    {
        EXPECT_TRUE(real.Exists());
        EXPECT_FALSE(KeyExists(Scratch(CR), name));
        EXPECT_FALSE(RegKeyExists(CR, name)) << "the test of a key carries no view";
        char buffer[8];
        EXPECT_FALSE(GetRegString(CR, name, "on", buffer, "", sizeof(buffer)))
            << "the read carries no view";
    }
    else
    {
        EXPECT_EQ("x", ReadString(Scratch(CR), name, "on"));
    }
    EXPECT_EQ("x", ReadString(Scratch(LM), "Software\\Classes\\CLSID\\{1}", "on"));
    EXPECT_EQ("x", ReadString(Scratch(CU), Product + "\\View", "on"));
    PutString(Scratch(CR), name, "s", "sandbox");
    DeleteRegValue(CR, name, "s");
    EXPECT_FALSE(ValueExists(Scratch(CR), name, "s")) << "deleting a value carries no view";

    SetRegView64(true);       // setting it twice is no toggle
    SetRegView64(false);
    EXPECT_EQ(0, SetRegString(CR, name, "off", "y"));
    EXPECT_EQ("y", ReadString(Scratch(CR), name, "off"));
    EXPECT_TRUE(RegKeyExists(CR, name));
    EXPECT_EQ(0, SetRegString(CU, "View", "off", "y"));
    EXPECT_EQ("y", ReadString(Scratch(CU), Product + "\\View", "off"));

    SetRegView64(true);
    DeleteRegTree(CR, name);
    SetRegView64(false);
    EXPECT_FALSE(KeyExists(Scratch(CR), name)) << "the tree deletion carries no view";
    if (views)
    {
        EXPECT_TRUE(real.Exists());
    }
}

// ---- Handles -------------------------------------------------------------

TEST_F(Registry, CloseRegKeyNeedsAnOpenHandle)
{
    EXPECT_FALSE(CloseRegKey(NULL));
    PutKey(Scratch(CU), Product);
    HKEY key = OpenRegRead(CU, "");
    ASSERT_NE(nullptr, key);
    EXPECT_TRUE(CloseRegKey(key));
}

TEST_F(Registry, RegKeyClosesItsHandleOnce)
{
    HKEY raw;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(Scratch(CU), "", 0, KEY_READ, &raw));
    {
        RegKey key(raw);
        EXPECT_TRUE(key.IsOpen());
        EXPECT_EQ(raw, key.Get());
    }
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(raw)) << "the destructor did not close it";

    RegKey empty;
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_FALSE(empty.Close());

    // Closed by hand, then its handle value may be given to the next key
    // opened: the destructor must not close that one.
    HKEY first;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(Scratch(CU), "", 0, KEY_READ, &first));
    HKEY second = NULL;
    {
        RegKey key(first);
        EXPECT_TRUE(key.Close());
        EXPECT_FALSE(key.IsOpen());
        EXPECT_FALSE(key.Close());
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(Scratch(CU), "", 0, KEY_READ, &second));
    }
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(second, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
                                              NULL, NULL, NULL, NULL));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(second));
}

}  // namespace
