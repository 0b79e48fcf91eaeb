// The settings record, the archive type table and their storage below
// HKEY_CURRENT_USER Software\Velmor, against the real registry in a sandbox
// per test. HKEY_CLASSES_ROOT is a scratch key too, so extension owners are
// whatever a test puts there.
#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "integration/settings.h"
#include "platform/registry.h"
#include "support/testutil.h"

namespace {

const std::string Product = "Software\\Velmor";
const unsigned char Spare = 0xA5;
const DWORD NoValue = 0xFFFFFFFF;     // "leave the value out" in the tables below

std::string Dword(DWORD v)
{
    return std::string((const char *)&v, sizeof(v));
}

// The six options by slot, with where they are stored and their defaults.
struct Option
{
    size_t slot;
    const char *key;          // product-relative
    const char *name;
    unsigned char fallback;
};

const Option Options[] = {
    {20, "Setup\\Links", "Desktop", 0},
    {21, "Setup\\Links", "StartMenu", 0},
    {22, "Setup\\Links", "Programs", 1},
    {23, "Setup", "ShellExt", 1},
    {24, "Setup", "CascadedMenu", 0},
    {25, "Setup", "MenuIcons", 1},
};

unsigned char *Slots(IntegrationSettings *s)
{
    return reinterpret_cast<unsigned char *>(s);
}

IntegrationSettings Filled(unsigned char byte)
{
    IntegrationSettings s;
    memset(&s, byte, sizeof(s));
    return s;
}

// "slot 7 = 1" style dump of the used slots, for messages.
std::string Describe(const IntegrationSettings &s)
{
    const unsigned char *b = reinterpret_cast<const unsigned char *>(&s);
    std::string out;
    for (size_t i = 0; i < sizeof(s); ++i)
        out += (i ? " " : "") + std::to_string(i) + "=" + std::to_string(b[i]);
    return out;
}

class Settings : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Sandbox.Ok()); }

    HKEY Cu() const { return Sandbox.Scratch(HKEY_CURRENT_USER); }
    HKEY Cr() const { return Sandbox.Scratch(HKEY_CLASSES_ROOT); }

    void StoreSet(int row, DWORD value)
    {
        PutValue(Cu(), Product + "\\" + ArchiveTypeTable[row].SettingsKey, "Set", REG_DWORD,
                 Dword(value));
    }
    void Owner(const std::string &extension, const std::string &progId)
    {
        PutString(Cr(), extension, "", progId);
    }
    void Clear()
    {
        RegDeleteTreeA(Cu(), "Software");
        RegDeleteTreeA(Cr(), NULL);
    }

    RegistrySandbox Sandbox;
};

TEST_F(Settings, FirstRunDefaultsAndNothingWritten)
{
    IntegrationSettings s = Filled(Spare);
    LoadSettings(&s);
    const unsigned char *b = Slots(&s);
    for (int row = 0; row < ArchiveTypeCount; ++row)
        EXPECT_EQ(1, b[row]) << "row " << row;
    for (int slot = 14; slot < 20; ++slot)
        EXPECT_EQ(Spare, b[slot]) << "spare slot " << slot;
    for (const Option &o : Options)
        EXPECT_EQ(o.fallback, b[o.slot]) << o.name;
    EXPECT_EQ("", SnapshotKey(Cu(), "Software")) << "loading wrote something";
    EXPECT_EQ("\t\n", SnapshotKey(Cr(), "")) << "loading wrote something";
}

// JAR and ISO files usually belong to a Java runtime or a disc tool: a
// foreign owner clears the flag whatever is stored; Velmor's own ProgIDs,
// no owner at all and an owner text that does not fit 80 bytes leave it.
TEST_F(Settings, OwnerRuleForJarAndIso)
{
    struct Row
    {
        const char *label;
        DWORD stored;           // "Set", or NoValue
        bool hasKey;            // HKCR\<ext> exists
        DWORD type;             // of its default value, or NoValue
        std::string owner;      // its bytes
        unsigned char expected;
    };
    auto sz = [](const std::string &t) { return std::string(t.c_str(), t.size() + 1); };
    const Row rows[] = {
        {"foreign owner, nothing stored", NoValue, true, REG_SZ, sz("WinRAR"), 0},
        {"foreign owner, stored 1", 1, true, REG_SZ, sz("jarfile"), 0},
        {"foreign owner, stored 0", 0, true, REG_SZ, sz("jarfile"), 0},
        {"Velmor", NoValue, true, REG_SZ, sz("Velmor"), 1},
        {"velmor.zip", 1, true, REG_SZ, sz("velmor.zip"), 1},
        {"VELMOR", 1, true, REG_SZ, sz("VELMOR"), 1},
        {"Velmor.ZIP", NoValue, true, REG_SZ, sz("Velmor.ZIP"), 1},
        {"Velmor.REV is foreign", 1, true, REG_SZ, sz("Velmor.REV"), 0},
        {"Velmor with a trailing space is foreign", 1, true, REG_SZ, sz("Velmor "), 0},
        {"own owner, stored 0 stays 0", 0, true, REG_SZ, sz("Velmor"), 0},
        {"empty default value", 1, true, REG_SZ, sz(""), 1},
        {"key without default value", NoValue, true, NoValue, "", 1},
        {"no key", NoValue, false, NoValue, "", 1},
        {"no owner, stored 0", 0, false, NoValue, "", 0},
        {"owner of 79 characters fits 80 bytes", 1, true, REG_SZ, sz(std::string(79, 'o')), 0},
        {"owner of 80 characters does not fit", 1, true, REG_SZ, sz(std::string(80, 'o')), 1},
        {"owner of 300 characters", NoValue, true, REG_SZ, sz(std::string(300, 'o')), 1},
        {"owner of 80 bytes without terminator", 1, true, REG_BINARY, std::string(80, 'o'), 1},
        {"Velmor without terminator", 1, true, REG_BINARY, "Velmor", 1},
        {"foreign owner without terminator", 1, true, REG_BINARY, "WinRAR", 0},
    };
    for (int row : {JarRow, IsoRow})
    {
        const char *ext = ArchiveTypeTable[row].Primary;
        for (const Row &r : rows)
        {
            SCOPED_TRACE(std::string(ext) + ": " + r.label);
            Clear();
            if (r.stored != NoValue)
                StoreSet(row, r.stored);
            if (r.hasKey)
                PutKey(Cr(), ext);
            if (r.type != NoValue)
                PutValue(Cr(), ext, "", r.type, r.owner);
            IntegrationSettings s = Filled(Spare);
            LoadSettings(&s);
            const unsigned char *b = Slots(&s);
            EXPECT_EQ(r.expected, b[row]);
            for (int other = 0; other < ArchiveTypeCount; ++other)
            {
                if (other != row)
                {
                    EXPECT_EQ(1, b[other]) << "row " << other << " changed";
                }
            }
        }
    }
}

// Only rows 11 and 12 look at the owner: a foreign owner of every other
// row's extensions neither clears nor sets their flags.
TEST_F(Settings, OwnerRuleOnlyForJarAndIso)
{
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        if (row == JarRow || row == IsoRow)
            continue;
        const char *list = ArchiveTypeTable[row].Extensions;
        const char *p = list;
        while (*p != 0)
        {
            const char *next = strchr(p + 1, '.');
            size_t len = next != NULL ? (size_t)(next - p) : strlen(p);
            Owner(std::string(p, len), "Other.Archive");
            p += len;
        }
        StoreSet(row, row % 2);
    }
    IntegrationSettings s = Filled(Spare);
    LoadSettings(&s);
    const unsigned char *b = Slots(&s);
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        const int expected = row == JarRow || row == IsoRow ? 1 : row % 2;
        EXPECT_EQ(expected, b[row]) << "row " << row << " (" << ArchiveTypeTable[row].Primary << ")";
    }
}

// Whatever non-zero number is stored counts as on, and is stored back as 1.
TEST_F(Settings, StoredNumbersReadAsOnOrOffAndSaveAsZeroOrOne)
{
    struct Row
    {
        DWORD stored;
        unsigned char expected;
    };
    const Row rows[] = {{5, 1}, {0x100, 1}, {0x80000000, 1}, {0xFFFFFFFF, 1}, {1, 1}, {0, 0}};
    for (const Row &r : rows)
    {
        SCOPED_TRACE("stored " + std::to_string(r.stored));
        Clear();
        for (int row = 0; row < ArchiveTypeCount; ++row)
            StoreSet(row, r.stored);
        for (const Option &o : Options)
            PutValue(Cu(), Product + "\\" + o.key, o.name, REG_DWORD, Dword(r.stored));
        IntegrationSettings s = Filled(Spare);
        LoadSettings(&s);
        const unsigned char *b = Slots(&s);
        for (int row = 0; row < ArchiveTypeCount; ++row)
            EXPECT_EQ(r.expected, b[row]) << "row " << row;
        for (const Option &o : Options)
            EXPECT_EQ(r.expected, b[o.slot]) << o.name;

        SaveSettings(&s);
        DWORD type = 0;
        std::string data;
        for (int row = 0; row < ArchiveTypeCount; ++row)
        {
            ASSERT_TRUE(ReadValue(Cu(), Product + "\\" + ArchiveTypeTable[row].SettingsKey, "Set",
                                  &type, &data)) << "row " << row;
            EXPECT_EQ(Dword(r.expected), data) << "row " << row;
        }
        for (const Option &o : Options)
        {
            ASSERT_TRUE(ReadValue(Cu(), Product + "\\" + o.key, o.name, &type, &data)) << o.name;
            EXPECT_EQ(Dword(r.expected), data) << o.name;
        }
    }
}

// Every used slot is written, as REG_DWORD 0 or 1, under its key, and
// nothing else is: the spare slots 14 to 19 never reach the registry.
TEST_F(Settings, SaveWritesEveryValueAndNothingElse)
{
    struct Row
    {
        const char *label;
        unsigned char rowValue[2];   // for even and odd rows
        unsigned char option[6];
    };
    const Row rows[] = {
        {"all off", {0, 0}, {0, 0, 0, 0, 0, 0}},
        {"all on", {1, 1}, {1, 1, 1, 1, 1, 1}},
        {"alternating", {1, 0}, {0, 1, 0, 1, 0, 1}},
        {"alternating the other way", {0, 1}, {1, 0, 1, 0, 1, 0}},
        {"other non-zero bytes", {7, 0}, {0xFF, 0, 2, 0, 0x80, 0}},
    };
    for (const Row &r : rows)
    {
        SCOPED_TRACE(r.label);
        Clear();
        IntegrationSettings s = Filled(Spare);
        unsigned char *b = Slots(&s);
        for (int row = 0; row < ArchiveTypeCount; ++row)
            b[row] = r.rowValue[row % 2];
        for (size_t i = 0; i < 6; ++i)
            b[Options[i].slot] = r.option[i];
        SaveSettings(&s);

        auto hex = [](unsigned char byte) { return byte != 0 ? "01000000" : "00000000"; };
        std::set<std::string> expected;
        for (int row = 0; row < ArchiveTypeCount; ++row)
            expected.insert("\\" + Product + "\\" + ArchiveTypeTable[row].SettingsKey +
                            "\tSet\t4\t" + hex(r.rowValue[row % 2]));
        for (size_t i = 0; i < 6; ++i)
            expected.insert("\\" + Product + "\\" + Options[i].key + "\t" + Options[i].name +
                            "\t4\t" + hex(r.option[i]));
        ASSERT_EQ(20u, expected.size());

        // Every value line of the whole scratch HKCU: "key\tname\ttype\thex".
        std::set<std::string> values;
        const std::string all = SnapshotKey(Cu(), "");
        size_t start = 0;
        while (start < all.size())
        {
            size_t end = all.find('\n', start);
            std::string line = all.substr(start, end - start);
            start = end + 1;
            if (std::count(line.begin(), line.end(), '\t') == 3)
                values.insert(line);
        }
        EXPECT_EQ(expected, values);
        EXPECT_EQ(std::string::npos, all.find("a5")) << "a spare slot reached the registry";
    }
}

// A value that cannot be written is skipped; the others are still written.
TEST_F(Settings, SaveGoesOnPastAValueItCannotWrite)
{
    if (ExpectedWinVersion() == "win98" || ExpectedWinVersion() == "winme")
        GTEST_SKIP() << "no registry security on 9x";
    const std::string denied = Product + "\\Setup\\.cab";
    ASSERT_TRUE(DenyWrite(Cu(), denied));
    IntegrationSettings s = Filled(1);
    SaveSettings(&s);
    ASSERT_TRUE(AllowAll(Cu(), denied));
    EXPECT_FALSE(ValueExists(Cu(), denied, "Set"));
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        const std::string key = Product + "\\" + ArchiveTypeTable[row].SettingsKey;
        if (key != denied)
        {
            EXPECT_TRUE(ValueExists(Cu(), key, "Set")) << "row " << row;
        }
    }
    for (const Option &o : Options)
        EXPECT_TRUE(ValueExists(Cu(), Product + "\\" + o.key, o.name)) << o.name;
}

TEST_F(Settings, SaveThenLoadGivesTheRecordBack)
{
    struct Row
    {
        const char *label;
        unsigned char fill;       // every used slot
        int flipRow;              // -1: none
        const char *foreignOwnerOf;
        int clearedRow;           // by the owner rule, -1: none
    };
    const Row rows[] = {
        {"all off", 0, -1, NULL, -1},
        {"all on", 1, -1, NULL, -1},
        {"one row off", 1, 4, NULL, -1},
        {"one row on", 0, 9, NULL, -1},
        {"all on, .jar owned by another program", 1, -1, ".jar", JarRow},
        {"all on, .iso owned by another program", 1, -1, ".iso", IsoRow},
    };
    for (const Row &r : rows)
    {
        SCOPED_TRACE(r.label);
        Clear();
        if (r.foreignOwnerOf != NULL)
            Owner(r.foreignOwnerOf, "Other.Archive");
        IntegrationSettings saved = Filled(Spare);
        unsigned char *in = Slots(&saved);
        for (int row = 0; row < ArchiveTypeCount; ++row)
            in[row] = r.fill;
        for (const Option &o : Options)
            in[o.slot] = (unsigned char)(o.slot % 2 == 0 ? r.fill : 1 - r.fill);
        if (r.flipRow >= 0)
            in[r.flipRow] = 1 - r.fill;
        SaveSettings(&saved);

        IntegrationSettings loaded = Filled(0x5C);
        LoadSettings(&loaded);
        IntegrationSettings expected = saved;
        unsigned char *want = Slots(&expected);
        for (int slot = 14; slot < 20; ++slot)
            want[slot] = 0x5C;      // left as the loading record held them
        if (r.clearedRow >= 0)
            want[r.clearedRow] = 0;
        EXPECT_EQ(0, memcmp(&expected, &loaded, sizeof(loaded)))
            << "expected " << Describe(expected) << "\n     got " << Describe(loaded);
    }
}

// Stored data of the wrong type or size: the bytes are read as a number
// when they fit 4 bytes, otherwise the default stands.
TEST_F(Settings, OddStoredDataReadsAsNumberOrDefault)
{
    struct Row
    {
        const char *label;
        const char *key;
        const char *name;
        size_t slot;
        DWORD type;
        std::string bytes;
        unsigned char expected;
    };
    const Row rows[] = {
        {"\"0\" as text is 0x30: on", "Setup\\.zip", "Set", 1, REG_SZ, std::string("0", 2), 1},
        {"empty text is one zero byte: off", "Setup\\.zip", "Set", 1, REG_SZ, std::string(1, '\0'), 0},
        {"long text: default on", "Setup\\.cab", "Set", 2, REG_SZ, std::string("12345", 6), 1},
        {"1024 bytes: default on", "Setup\\.arj", "Set", 3, REG_BINARY, std::string(1024, '\0'), 1},
        {"one zero byte: off", "Setup\\.ace", "Set", 5, REG_BINARY, std::string(1, '\0'), 0},
        {"no bytes: default on", "Setup", "ShellExt", 23, REG_BINARY, "", 1},
        {"no bytes: default off", "Setup", "CascadedMenu", 24, REG_BINARY, "", 0},
        {"one byte 1: on", "Setup", "CascadedMenu", 24, REG_BINARY, "\x01", 1},
        {"\"1\" as text: on", "Setup\\Links", "Desktop", 20, REG_SZ, std::string("1", 2), 1},
        {"8 zero bytes: default on", "Setup\\Links", "Programs", 22, REG_BINARY, std::string(8, '\0'), 1},
        {"1024 bytes: default off", "Setup\\Links", "StartMenu", 21, REG_BINARY, std::string(1024, 1), 0},
        {"value under the wrong key", "Setup\\Links", "ShellExt", 23, REG_DWORD, Dword(0), 1},
    };
    for (const Row &r : rows)
    {
        SCOPED_TRACE(r.label);
        Clear();
        PutValue(Cu(), Product + "\\" + r.key, r.name, r.type, r.bytes);
        IntegrationSettings s = Filled(Spare);
        LoadSettings(&s);
        EXPECT_EQ(r.expected, Slots(&s)[r.slot]);
    }
}

TEST_F(Settings, IsOwnAssociationReadsTheExtensionsDefaultValue)
{
    struct Row
    {
        const char *label;
        DWORD type;             // NoValue: no key at all
        std::string bytes;
        bool own;
    };
    auto sz = [](const std::string &t) { return std::string(t.c_str(), t.size() + 1); };
    const Row rows[] = {
        {"Velmor", REG_SZ, sz("Velmor"), true},
        {"Velmor.ZIP", REG_SZ, sz("Velmor.ZIP"), true},
        {"vElMoR.zIp", REG_SZ, sz("vElMoR.zIp"), true},
        {"Velmor.REV", REG_SZ, sz("Velmor.REV"), false},
        {"Velmor.", REG_SZ, sz("Velmor."), false},
        {"Velmo", REG_SZ, sz("Velmo"), false},
        {"Velmor.ZIPX", REG_SZ, sz("Velmor.ZIPX"), false},
        {"another program", REG_SZ, sz("WinRAR"), false},
        {"empty", REG_SZ, sz(""), false},
        {"no key", NoValue, "", false},
        {"Velmor without terminator", REG_BINARY, "Velmor", true},
        {"79 characters", REG_SZ, sz("Velmor" + std::string(73, ' ')), false},
        {"80 bytes without terminator", REG_BINARY, "Velmor" + std::string(74, 'x'), false},
        {"80 characters", REG_SZ, sz("Velmor" + std::string(74, 'x')), false},
    };
    for (const Row &r : rows)
    {
        SCOPED_TRACE(r.label);
        Clear();
        if (r.type != NoValue)
            PutValue(Cr(), ".tst", "", r.type, r.bytes);
        EXPECT_EQ(r.own, IsOwnAssociation(".tst"));
    }
}

TEST_F(Settings, ArchiveTypeTableRows)
{
    struct Row
    {
        const char *extensions;
        const char *primary;
        const char *key;
    };
    const Row rows[] = {
        {".vmz", ".vmz", "Setup\\.vmz"},
        {".zip", ".zip", "Setup\\.zip"},
        {".cab", ".cab", "Setup\\.cab"},
        {".arj", ".arj", "Setup\\.arj"},
        {".lzh.lha", ".lzh", "Setup\\.lzh"},
        {".ace", ".ace", "Setup\\.ace"},
        {".7z", ".7z", "Setup\\.7z"},
        {".tar", ".tar", "Setup\\.tar"},
        {".gz.tgz", ".gz", "Setup\\.gz"},
        {".uue.xxe.uu", ".uue", "Setup\\.uue"},
        {".bz2.tbz2.bz.tbz", ".bz2", "Setup\\.bz2"},
        {".jar", ".jar", "Setup\\.jar"},
        {".iso", ".iso", "Setup\\.iso"},
        {".z.taz", ".z", "Setup\\.z"},
    };
    ASSERT_EQ(14, ArchiveTypeCount);
    ASSERT_EQ(sizeof(rows) / sizeof(rows[0]), sizeof(ArchiveTypeTable) / sizeof(ArchiveTypeTable[0]));
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        SCOPED_TRACE("row " + std::to_string(row));
        const ArchiveType &t = ArchiveTypeTable[row];
        EXPECT_STREQ(rows[row].extensions, t.Extensions);
        EXPECT_STREQ(rows[row].primary, t.Primary);
        EXPECT_STREQ(rows[row].key, t.SettingsKey);
        EXPECT_EQ(5101 + row, t.CheckBoxId);
        // The primary extension is the list up to the next dot.
        const char *next = strchr(t.Extensions + 1, '.');
        const size_t len = next != NULL ? (size_t)(next - t.Extensions) : strlen(t.Extensions);
        EXPECT_EQ(std::string(t.Extensions, len), t.Primary);
        EXPECT_EQ(std::string("Setup\\") + t.Primary, t.SettingsKey);
    }
    EXPECT_EQ(0, OwnFormatRow);
    EXPECT_EQ(1, ZipRow);
    EXPECT_EQ(11, JarRow);
    EXPECT_EQ(12, IsoRow);
    EXPECT_EQ(26u, sizeof(IntegrationSettings));
    EXPECT_EQ(20u, sizeof(IntegrationSettings::Associate));
    const size_t offsets[] = {
        offsetof(IntegrationSettings, Desktop), offsetof(IntegrationSettings, StartMenu),
        offsetof(IntegrationSettings, Programs), offsetof(IntegrationSettings, ShellExt),
        offsetof(IntegrationSettings, CascadedMenu), offsetof(IntegrationSettings, MenuIcons)};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(Options[i].slot, offsets[i]) << Options[i].name;
}

TEST(SettingsExtensions, WalkSplitsBeforeEveryLaterDot)
{
    struct Case
    {
        const char *list;
        unsigned size;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {".vmz", 32, {".vmz"}},
        {".bz2.tbz2.bz.tbz", 32, {".bz2", ".tbz2", ".bz", ".tbz"}},
        {"", 32, {}},
        // An extension that does not fit whole ends the walk: no cut name.
        {".gz.abcdefgh", 8, {".gz"}},
        {".abcdefg.z", 8, {}},
        {".abcdef.z", 8, {".abcdef", ".z"}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.list);
        std::vector<std::string> got;
        const char *cursor = c.list;
        char extension[32];
        memset(extension, 'X', sizeof(extension));
        while (NextExtension(&cursor, extension, c.size))
            got.push_back(extension);
        EXPECT_EQ(c.expected, got);
        for (unsigned i = c.size; i < sizeof(extension); ++i)
            EXPECT_EQ('X', extension[i]) << "written past the buffer at " << i;
    }
    // The whole table holds 22 extensions.
    int count = 0;
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        const char *cursor = ArchiveTypeTable[row].Extensions;
        char extension[32];
        while (NextExtension(&cursor, extension, sizeof(extension)))
            ++count;
    }
    EXPECT_EQ(22, count);
}

}  // namespace
