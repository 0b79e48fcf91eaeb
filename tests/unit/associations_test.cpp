// File associations against the real registry and file system, run in
// every Windows version group: take-over with the previous owner's backup,
// give-back, old-style volume extensions and the New-menu templates.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "integration/associations.h"
#include "integration/settings.h"
#include "platform/registry.h"
#include "support/testutil.h"

namespace {

const HKEY CR = HKEY_CLASSES_ROOT;
const HKEY CU = HKEY_CURRENT_USER;

// What the Windows version of this group does.
bool IsNineX()
{
    std::string v = ExpectedWinVersion();
    return v == "win98" || v == "winme";
}

// Me, 2000 and later take a template file name; 95, 98 and NT 4 the bytes.
bool TakesTemplateFile()
{
    std::string v = ExpectedWinVersion();
    return v != "win98" && v != "nt40";
}

int TakenVolumes()
{
    return IsNineX() ? 100 : 30;
}

std::string Volume(int number)
{
    char name[8];
    snprintf(name, sizeof(name), ".v%02d", number);
    return name;
}

std::string Backup(const std::string &extension)
{
    return "Software\\Velmor\\Setup\\" + extension;
}

std::string Dword(DWORD v)
{
    return std::string((const char *)&v, 4);
}

DWORD ReadDword(HKEY root, const std::string &path, const std::string &name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadValue(root, path, name, &type, &data) || type != REG_DWORD || data.size() != 4)
        return 0xDEADBEEF;
    DWORD v;
    memcpy(&v, data.data(), 4);
    return v;
}

// The template bytes. They are kept here shifted by one, so that this test
// program holds neither signature nor the program's zero-led copy of it.
std::string ExpectedTemplate(bool zip)
{
    static const unsigned char own[OwnTemplateSize] = {
        0x57, 0x6E, 0x7B, 0x22, 0x1B, 0x08, 0x01, 0xD0, 0x91, 0x74,
        0x01, 0x01, 0x0E, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01};
    static const unsigned char pk[4] = {0x51, 0x4C, 0x06, 0x07};
    std::string t;
    if (zip)
    {
        for (unsigned char c : pk)
            t += (char)(c - 1);
        t += std::string(18, '\0');
    }
    else
    {
        for (unsigned char c : own)
            t += (char)(c - 1);
    }
    return t;
}

std::string TemplatePath(bool zip)
{
    return TestDir() + (zip ? "zipnew.dat" : "vmznew.dat");
}

void RemoveTemplates()
{
    DeleteFileA(TemplatePath(false).c_str());
    DeleteFileA(TemplatePath(true).c_str());
}

// Lists the value names of a key, sorted and joined with ','; "-" when the
// key does not exist.
std::string ValueNames(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "-";
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i)
    {
        char name[1024];
        DWORD len = sizeof(name);
        if (RegEnumValueA(key, i, name, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string &n : names)
        out += (out.empty() ? "" : ",") + n;
    return out;
}

class Assoc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Sandbox.Ok());
        RemoveTemplates();
    }
    void TearDown() override { RemoveTemplates(); }
    RegistrySandbox Sandbox;
};

// ---- Take-over and give-back of one extension, over a table of owners ----

enum Kind
{
    Plain,      // any archive type but the own format and ZIP
    Own,        // .vmz: volumes and the own-format template
    Zip         // .zip: Velmor.ZIP and the ZIP template
};

// ShellNew after the round trip where it differs from the seed, by value
// names; "" when the key is left empty, "-" when it is gone; "=" when it
// is as before.
struct RoundTrip
{
    const char *Name;
    Kind Type;
    bool ShellIntegration;
    bool NoKey;                 // the extension has no key at all
    const char *ProgId;         // NULL: no default value
    const char *ContentType;    // NULL: none
    const char *FileName;       // ShellNew "FileName", NULL: none
    const char *NullFile;       // ShellNew "NullFile", NULL: none
    bool Data;                  // ShellNew "Data" of the previous owner
    const char *BackupShellNew; // expected backup "ShellNew"
    const char *AfterOnFileSystems;   // ShellNew after give-back (Me/2000 and later)
    const char *AfterOnDataSystems;   // ShellNew after give-back (95/98/NT 4)
    bool DefaultAdded;          // give-back writes an empty default value
};

const RoundTrip RoundTrips[] = {
    // An extension nobody had: give-back removes the key again.
    {"no key", Plain, true, true, NULL, NULL, NULL, NULL, false, "", "=", "=", false},
    {"no key, own format", Own, true, true, NULL, NULL, NULL, NULL, false, "", "=", "=", false},
    {"no key, ZIP", Zip, true, true, NULL, NULL, NULL, NULL, false, "", "=", "=", false},
    {"no key, own format, no shell integration", Own, false, true, NULL, NULL, NULL, NULL, false,
     "", "=", "=", false},
    // Another program's ProgID with content type and template file.
    {"owner with FileName", Zip, true, false, "OtherArc.Zip", "application/x-other",
     "C:\\Templates\\other.zip", NULL, false, "C:\\Templates\\other.zip", "=", "Data,FileName",
     false},
    {"owner with NullFile", Own, true, false, "OtherArc.Vmz", "application/x-vmz", NULL, "",
     false, "*", "=", "Data,NullFile", false},
    {"owner with a non-empty NullFile", Plain, false, false, "OtherArc.7z", NULL, NULL, "x",
     false, "*", "NullFile", "NullFile", false},
    // Both values: the file name wins; NullFile goes with the replaced key.
    {"owner with FileName and NullFile", Zip, true, false, "OtherArc.Zip", "application/zip",
     "C:\\T\\n.zip", "", false, "C:\\T\\n.zip", "FileName", "Data,FileName", false},
    // The product's own template replaces the owner's bytes, which have no
    // place in the backup.
    {"owner with Data", Zip, true, false, "OtherArc.Zip", NULL, NULL, NULL, true, "", "", "Data",
     false},
    // Without shell integration, and for the other types, ShellNew stays.
    {"owner with Data, no shell integration", Own, false, false, "OtherArc.Vmz", "a/b", NULL, NULL,
     true, "", "=", "=", false},
    {"other type keeps FileName and NullFile", Plain, true, false, "OtherArc.7z", "a/b",
     "C:\\T\\n.7z", "", false, "C:\\T\\n.7z", "=", "=", false},
    // A key without a default value gets an empty one back.
    {"key without default value", Plain, true, false, NULL, "text/x-other", NULL, NULL, false,
     "", "=", "=", true},
    {"empty key", Own, true, false, NULL, NULL, NULL, NULL, false, "", "", "Data", true},
    {"owner with an empty ProgID", Plain, false, false, "", NULL, NULL, NULL, false, "", "=", "=",
     false},
};

const char *Extension(Kind kind)
{
    return kind == Own ? ".vmz" : kind == Zip ? ".zip" : ".7z";
}

void Seed(const RoundTrip &row)
{
    std::string ext = Extension(row.Type);
    if (row.NoKey)
        return;
    PutKey(CR, ext);
    if (row.ProgId != NULL)
        PutString(CR, ext, "", row.ProgId);
    if (row.ContentType != NULL)
        PutString(CR, ext, "Content Type", row.ContentType);
    if (row.FileName != NULL)
        PutString(CR, ext + "\\ShellNew", "FileName", row.FileName);
    if (row.NullFile != NULL)
        PutString(CR, ext + "\\ShellNew", "NullFile", row.NullFile);
    if (row.Data)
        PutValue(CR, ext + "\\ShellNew", "Data", REG_BINARY, std::string("\x01\x02\x03", 3));
    // The owner's other sub-keys are never touched.
    PutString(CR, ext + "\\OpenWithProgids", "OtherArc", "");
}

TEST(AssocRoundTrip, TakeOverThenGiveBackRestoresTheOwner)
{
    const bool fileSystem = TakesTemplateFile();
    for (const RoundTrip &row : RoundTrips)
    {
        SCOPED_TRACE(std::string(row.Name) + " on " + ExpectedWinVersion());
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        RemoveTemplates();
        Seed(row);
        const std::string ext = Extension(row.Type);
        const std::string shellNew = ext + "\\ShellNew";
        const bool isZip = row.Type == Zip, isOwn = row.Type == Own;
        const std::string before = SnapshotKey(CR, ext);
        const std::string shellNewBefore = SnapshotKey(CR, shellNew);

        SetAssociation(ext.c_str(), true, row.ShellIntegration, isZip, isOwn);

        EXPECT_EQ(isZip ? "Velmor.ZIP" : "Velmor", ReadString(CR, ext, ""));
        EXPECT_FALSE(ValueExists(CR, ext, "Content Type"));
        EXPECT_EQ(row.NoKey ? 0u : 1u, ReadDword(CU, Backup(ext), "Exist"));
        EXPECT_EQ(row.ProgId != NULL ? row.ProgId : "", ReadString(CU, Backup(ext), "Type"));
        EXPECT_EQ(row.ContentType != NULL ? row.ContentType : "",
                  ReadString(CU, Backup(ext), "Content"));
        EXPECT_EQ(row.BackupShellNew, ReadString(CU, Backup(ext), "ShellNew"));
        if (row.ShellIntegration && (isZip || isOwn))
        {
            // The key is replaced by the product's template, nothing else.
            if (fileSystem)
            {
                EXPECT_EQ("FileName", ValueNames(CR, shellNew));
                EXPECT_EQ(TemplatePath(isZip), ReadString(CR, shellNew, "FileName"));
            }
            else
            {
                EXPECT_EQ("Data", ValueNames(CR, shellNew));
                DWORD type = 0;
                std::string data;
                ASSERT_TRUE(ReadValue(CR, shellNew, "Data", &type, &data));
                EXPECT_EQ((DWORD)REG_BINARY, type);
                EXPECT_EQ(ExpectedTemplate(isZip), data);
            }
        }
        else
        {
            EXPECT_EQ(shellNewBefore, SnapshotKey(CR, shellNew)) << "ShellNew untouched";
        }

        SetAssociation(ext.c_str(), false, row.ShellIntegration, isZip, isOwn);

        const char *after = fileSystem ? row.AfterOnFileSystems : row.AfterOnDataSystems;
        if (strcmp(after, "=") == 0 && !row.DefaultAdded)
        {
            EXPECT_EQ(before, SnapshotKey(CR, ext)) << "the extension's key as before, byte for byte";
        }
        else
        {
            // Only the named differences: everything else as before.
            EXPECT_EQ(row.ProgId != NULL ? row.ProgId : "", ReadString(CR, ext, ""));
            EXPECT_EQ(row.ContentType != NULL ? row.ContentType : "<missing>",
                      ReadString(CR, ext, "Content Type"));
            if (strcmp(after, "=") == 0)
            {
                EXPECT_EQ(shellNewBefore, SnapshotKey(CR, shellNew));
            }
            else
            {
                EXPECT_EQ(after, ValueNames(CR, shellNew));
            }
            if (row.FileName != NULL)
            {
                EXPECT_EQ(row.FileName, ReadString(CR, shellNew, "FileName"));
            }
            else if (row.NullFile != NULL)
            {
                EXPECT_EQ("", ReadString(CR, shellNew, "NullFile"));
            }
            EXPECT_TRUE(KeyExists(CR, ext + "\\OpenWithProgids"));
        }
        // The backup stays until the whole product key goes at uninstall.
        EXPECT_EQ(row.NoKey ? 0u : 1u, ReadDword(CU, Backup(ext), "Exist"));
    }
    RemoveTemplates();
}

// ---- Ownership in both directions ----

TEST_F(Assoc, SetupTwiceKeepsTheFirstBackup)
{
    PutString(CR, ".zip", "", "OtherArc.Zip");
    PutString(CR, ".zip", "Content Type", "application/zip");
    SetAssociation(".zip", true, false, true, false);
    const std::string backup = SnapshotKey(CU, Backup(".zip"));
    SetAssociation(".zip", true, false, true, false);
    EXPECT_EQ(backup, SnapshotKey(CU, Backup(".zip"))) << "the product is never its own previous owner";
    EXPECT_EQ("OtherArc.Zip", ReadString(CU, Backup(".zip"), "Type"));

    SetAssociation(".zip", false, false, true, false);
    EXPECT_EQ("OtherArc.Zip", ReadString(CR, ".zip", ""));
    EXPECT_EQ("application/zip", ReadString(CR, ".zip", "Content Type"));
}

TEST_F(Assoc, OwnedInAnyLetterCaseKeepsTheStoredBackup)
{
    // An earlier setup took .cab from its first owner.
    PutValue(CU, Backup(".cab"), "Exist", REG_DWORD, Dword(1));
    PutString(CU, Backup(".cab"), "Type", "First.Cab");
    PutString(CU, Backup(".cab"), "Content", "");
    PutString(CU, Backup(".cab"), "ShellNew", "");
    PutString(CR, ".cab", "", "vElMoR");
    const std::string backup = SnapshotKey(CU, Backup(".cab"));
    SetAssociation(".cab", true, true, false, false);
    EXPECT_EQ(backup, SnapshotKey(CU, Backup(".cab")));
    EXPECT_EQ("Velmor", ReadString(CR, ".cab", ""));
    SetAssociation(".cab", false, true, false, false);
    EXPECT_EQ("First.Cab", ReadString(CR, ".cab", ""));
}

TEST_F(Assoc, TakenByAnotherProgramAfterSetupIsLeftAlone)
{
    PutString(CR, ".7z", "", "OtherArc.7z");
    SetAssociation(".7z", true, false, false, false);
    PutString(CR, ".7z", "", "Intruder.7z");
    PutString(CR, ".7z", "Content Type", "application/x-intruder");
    PutString(CR, ".7z\\ShellNew", "FileName", "C:\\intruder.7z");
    const std::string taken = SnapshotKey(CR, ".7z");
    SetAssociation(".7z", false, false, false, false);
    EXPECT_EQ(taken, SnapshotKey(CR, ".7z")) << "the backup is not applied";

    // Velmor.REV is not one of the ProgIDs that make an extension the
    // product's own.
    PutString(CR, ".7z", "", "Velmor.REV");
    const std::string rev = SnapshotKey(CR, ".7z");
    SetAssociation(".7z", false, false, false, false);
    EXPECT_EQ(rev, SnapshotKey(CR, ".7z"));
}

TEST_F(Assoc, NobodysExtensionIsNotCreatedAtGiveBack)
{
    SetAssociation(".arj", false, true, false, false);
    SetAssociation(".vmz", false, true, false, true);
    EXPECT_EQ("", SnapshotKey(CR, ".arj"));
    EXPECT_EQ("", SnapshotKey(CR, ".vmz"));
    EXPECT_EQ("", SnapshotKey(CU, "Software\\Velmor")) << "give-back writes no backup";
}

TEST_F(Assoc, GiveBackWithoutBackupCountsAsExisting)
{
    PutString(CR, ".vmz", "", "Velmor");
    PutString(CR, ".vmz", "Content Type", "application/x-vmz");
    PutString(CR, ".vmz\\ShellNew", "FileName", "C:\\old\\vmznew.dat");
    PutString(CR, ".vmz\\ShellNew", "Command", "keep");
    for (int n : {0, 7, 29, 30, 77, 99})
        PutString(CR, Volume(n), "", "Velmor");
    PutString(CR, ".v100", "", "Velmor");

    SetAssociation(".vmz", false, true, false, true);

    EXPECT_EQ("", ReadString(CR, ".vmz", ""));
    EXPECT_FALSE(ValueExists(CR, ".vmz", "Content Type"));
    EXPECT_EQ("Command", ValueNames(CR, ".vmz\\ShellNew"));
    for (int n = 0; n < 100; ++n)
        EXPECT_FALSE(KeyExists(CR, Volume(n))) << Volume(n);
    EXPECT_TRUE(KeyExists(CR, ".v100")) << "only .v00 to .v99 are volume extensions";
}

TEST_F(Assoc, BackupNamingTheProductIsRestoredAsEmpty)
{
    for (const char *type : {"Velmor", "VELMOR.zip", "velmor.ZIP"})
    {
        SCOPED_TRACE(type);
        PutValue(CU, Backup(".tar"), "Exist", REG_DWORD, Dword(1));
        PutString(CU, Backup(".tar"), "Type", type);
        PutString(CR, ".tar", "", "Velmor");
        SetAssociation(".tar", false, false, false, false);
        EXPECT_EQ("", ReadString(CR, ".tar", ""));
        EXPECT_TRUE(KeyExists(CR, ".tar"));
    }
}

TEST_F(Assoc, KeyThatDidNotExistLosesItsVolumesWhateverTheType)
{
    PutValue(CU, Backup(".vmz"), "Exist", REG_DWORD, Dword(0));
    PutString(CU, Backup(".vmz"), "Type", "Stale.Type");
    PutString(CR, ".vmz", "", "Velmor");
    for (int n : {0, 29, 99})
        PutString(CR, Volume(n), "", "Velmor");
    SetAssociation(".vmz", false, false, false, true);
    EXPECT_FALSE(KeyExists(CR, ".vmz"));
    for (int n : {0, 29, 99})
        EXPECT_FALSE(KeyExists(CR, Volume(n))) << Volume(n);
}

// ---- Old-style volume extensions of the own format ----

TEST_F(Assoc, VolumesTakenThirtyOnNtAHundredOn9x)
{
    PutString(CR, ".v03", "", "OtherArc.Vol");
    PutString(CR, ".v03", "Content Type", "application/x-vol");
    SetAssociation(".vmz", true, false, false, true);
    for (int n = 0; n < 100; ++n)
    {
        SCOPED_TRACE(Volume(n));
        if (n < TakenVolumes())
        {
            EXPECT_EQ("Velmor", ReadString(CR, Volume(n), ""));
            EXPECT_FALSE(ValueExists(CR, Volume(n), "Content Type"));
        }
        else
        {
            EXPECT_FALSE(KeyExists(CR, Volume(n)));
        }
    }
    EXPECT_FALSE(KeyExists(CU, Backup(".v03"))) << "nothing is saved for volumes";
    // ZIP and the other types have no volumes.
    RegDeleteTreeA(Sandbox.Scratch(CR), NULL);
    SetAssociation(".zip", true, false, true, false);
    SetAssociation(".lzh", true, false, false, false);
    EXPECT_FALSE(KeyExists(CR, ".v00"));
}

TEST_F(Assoc, VolumesGivenBackToThePreviousOwnerAllHundred)
{
    PutString(CR, ".vmz", "", "OtherArc.Vmz");
    PutString(CR, ".vmz", "Content Type", "application/x-vmz");
    SetAssociation(".vmz", true, false, false, true);
    SetAssociation(".vmz", false, false, false, true);
    for (int n = 0; n < 100; ++n)
    {
        SCOPED_TRACE(Volume(n));
        EXPECT_EQ("OtherArc.Vmz", ReadString(CR, Volume(n), ""));
        EXPECT_EQ("application/x-vmz", ReadString(CR, Volume(n), "Content Type"));
    }
}

TEST_F(Assoc, VolumesOfAnOwnerWithoutContentTypeGetNone)
{
    PutString(CR, ".vmz", "", "OtherArc.Vmz");
    SetAssociation(".vmz", true, false, false, true);
    SetAssociation(".vmz", false, false, false, true);
    EXPECT_EQ("OtherArc.Vmz", ReadString(CR, ".v42", ""));
    EXPECT_FALSE(ValueExists(CR, ".v42", "Content Type"));
}

// ---- The whole table ----

TEST_F(Assoc, ApplyAssociationsSplitsTheExtensionLists)
{
    IntegrationSettings settings;
    memset(&settings, 0, sizeof(settings));
    settings.Associate[4] = 1;      // .lzh.lha
    settings.Associate[10] = 1;     // .bz2.tbz2.bz.tbz
    ApplyAssociations(&settings);
    for (const char *ext : {".lzh", ".lha", ".bz2", ".tbz2", ".bz", ".tbz"})
    {
        SCOPED_TRACE(ext);
        EXPECT_EQ("Velmor", ReadString(CR, ext, ""));
        EXPECT_EQ(0u, ReadDword(CU, Backup(ext), "Exist")) << "each extension its own backup";
    }
    EXPECT_FALSE(KeyExists(CR, ".lzh.lha"));
    EXPECT_FALSE(KeyExists(CR, ".zip"));
    EXPECT_FALSE(KeyExists(CR, ".v00")) << "the own format was not chosen";
}

TEST_F(Assoc, EverythingOnThenAllZeroLeavesTheClassesAsBefore)
{
    // Foreign owners for some, nothing for the others.
    PutString(CR, ".zip", "", "OtherArc.Zip");
    PutString(CR, ".zip", "Content Type", "application/zip");
    PutString(CR, ".zip\\ShellNew", "FileName", "C:\\Templates\\z.zip");
    PutString(CR, ".gz", "", "OtherArc.Gz");
    PutString(CR, ".tgz", "", "OtherArc.Tgz");
    PutString(CR, ".tgz", "Content Type", "application/x-compressed");
    PutString(CR, ".iso", "", "Disc.Image");
    PutString(CR, ".iso\\ShellNew", "NullFile", "");
    PutString(CR, "OtherArc.Zip\\shell\\open\\command", "", "\"C:\\o.exe\" \"%1\"");
    const std::string before = SnapshotKey(Sandbox.Scratch(CR), "");

    IntegrationSettings settings;
    memset(&settings, 1, sizeof(settings));
    ApplyAssociations(&settings);
    int extensions = 0;
    for (const ArchiveType &type : ArchiveTypeTable)
    {
        for (const char *p = type.Extensions; *p;)
        {
            const char *next = strchr(p + 1, '.');
            std::string ext = next ? std::string(p, next) : std::string(p);
            EXPECT_EQ(ext == ".zip" ? "Velmor.ZIP" : "Velmor", ReadString(CR, ext, "")) << ext;
            EXPECT_TRUE(KeyExists(CU, Backup(ext))) << ext;
            ++extensions;
            p += ext.size();
        }
    }
    EXPECT_EQ(22, extensions);

    IntegrationSettings none;
    memset(&none, 0, sizeof(none));
    ApplyAssociations(&none);
    const std::string after = SnapshotKey(Sandbox.Scratch(CR), "");
    if (TakesTemplateFile())
        EXPECT_EQ(before, after);
    else
    {
        // Windows 95, 98 and NT 4 keep the template bytes written for .zip
        // (.vmz had no key and goes whole).
        EXPECT_EQ("Data,FileName", ValueNames(CR, ".zip\\ShellNew"));
        DeleteRegValue(CR, ".zip\\ShellNew", "Data");
        EXPECT_EQ(before, SnapshotKey(Sandbox.Scratch(CR), ""));
    }
}

// ---- New-menu templates ----

unsigned Crc32(const unsigned char *p, size_t n)
{
    unsigned crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i)
    {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

TEST_F(Assoc, TemplateBytesAndHeaderCheck)
{
    SetAssociation(".7z", true, false, false, false);    // any call completes them
    EXPECT_EQ(ExpectedTemplate(false),
              std::string((const char *)OwnFormatTemplate, OwnTemplateSize));
    EXPECT_EQ(ExpectedTemplate(true), std::string((const char *)ZipTemplate, ZipTemplateSize));
    unsigned crc = Crc32(OwnFormatTemplate + 9, 11);
    EXPECT_EQ(crc & 0xFFFF, (unsigned)(OwnFormatTemplate[7] | OwnFormatTemplate[8] << 8));
    EXPECT_EQ(0x90CFu, crc & 0xFFFF);
}

TEST_F(Assoc, TemplateFilesOrTemplateBytes)
{
    SetAssociation(".vmz", true, true, false, true);
    SetAssociation(".zip", true, true, true, false);
    for (bool zip : {false, true})
    {
        SCOPED_TRACE(zip ? "zip" : "own format");
        const std::string key = std::string(zip ? ".zip" : ".vmz") + "\\ShellNew";
        std::string bytes;
        if (TakesTemplateFile())
        {
            EXPECT_EQ(TemplatePath(zip), ReadString(CR, key, "FileName"));
            ASSERT_TRUE(ReadFileBytes(TemplatePath(zip), &bytes));
            EXPECT_EQ(ExpectedTemplate(zip), bytes);
        }
        else
        {
            EXPECT_FALSE(ReadFileBytes(TemplatePath(zip), &bytes)) << "no file on old systems";
            DWORD type = 0;
            ASSERT_TRUE(ReadValue(CR, key, "Data", &type, &bytes));
            EXPECT_EQ(ExpectedTemplate(zip), bytes);
        }
    }
    // A copy for the host-side check with a real ZIP reader.
    std::string out = "C:\\velmor-tests-out";
    CreateDirectoryA(out.c_str(), NULL);
    if (TakesTemplateFile())
    {
        EXPECT_TRUE(CopyFileA(TemplatePath(true).c_str(), (out + "\\zipnew.dat").c_str(), FALSE));
    }
}

TEST_F(Assoc, ExistingTemplateIsNeverRewritten)
{
    if (!TakesTemplateFile())
        GTEST_SKIP() << "template files are used from Windows Me and 2000 on";
    ASSERT_TRUE(WriteFileBytes(TemplatePath(true), "the user's own template"));
    ASSERT_TRUE(CreateDirectoryA(TemplatePath(false).c_str(), NULL));
    SetAssociation(".zip", true, true, true, false);
    SetAssociation(".vmz", true, true, false, true);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(TemplatePath(true), &bytes));
    EXPECT_EQ("the user's own template", bytes);
    EXPECT_EQ(TemplatePath(true), ReadString(CR, ".zip\\ShellNew", "FileName"));
    DWORD attr = GetFileAttributesA(TemplatePath(false).c_str());
    EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
        << "a folder of that name stays a folder";
    EXPECT_EQ(TemplatePath(false), ReadString(CR, ".vmz\\ShellNew", "FileName"));
    RemoveDirectoryA(TemplatePath(false).c_str());
}

// The program files carry the templates only with their first byte zero.
TEST(AssocTemplates, ProgramFilesHoldNoCompleteSignature)
{
    const std::string own = ExpectedTemplate(false).substr(0, 7);
    const std::string zip = ExpectedTemplate(true).substr(0, 4);
    std::string heldOwn = ExpectedTemplate(false), heldZip = ExpectedTemplate(true);
    heldOwn[0] = 0;
    heldZip[0] = 0;
    for (const char *name : {"unit_tests.exe", "uninstall.exe", "uninstall32.exe"})
    {
        SCOPED_TRACE(name);
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(TestDir() + name, &bytes));
        EXPECT_EQ(std::string::npos, bytes.find(own));
        EXPECT_EQ(std::string::npos, bytes.find(zip));
        if (strcmp(name, "unit_tests.exe") == 0)
        {
            // Here the association code is linked in: the held templates
            // are there, so the searches above look at the right bytes.
            EXPECT_NE(std::string::npos, bytes.find(heldOwn));
            EXPECT_NE(std::string::npos, bytes.find(heldZip));
        }
    }
}

// ---- Bad input ----

TEST_F(Assoc, OddBackupValuesGiveTheDefaults)
{
    // "Type" as 1024 bytes without terminator does not fit 512: no owner.
    PutValue(CU, Backup(".ace"), "Exist", REG_SZ, std::string("1\0", 2));
    PutValue(CU, Backup(".ace"), "Type", REG_BINARY, std::string(1024, 'T'));
    PutValue(CU, Backup(".ace"), "Content", REG_BINARY, std::string(512, 'C'));
    PutValue(CU, Backup(".ace"), "ShellNew", REG_BINARY, std::string(1024, 'S'));
    PutString(CR, ".ace", "", "Velmor");
    SetAssociation(".ace", false, true, false, false);
    // "Exist" of two bytes reads as a non-zero number: the key existed.
    EXPECT_EQ("", ReadString(CR, ".ace", ""));
    EXPECT_FALSE(ValueExists(CR, ".ace", "Content Type"));
    EXPECT_EQ("-", ValueNames(CR, ".ace\\ShellNew"));
}

TEST_F(Assoc, LongOwnerValuesAreSavedWholeOrNotAtAll)
{
    const std::string owner80(80, 'o');
    const std::string owner600(600, 'p');
    PutString(CR, ".uue", "", owner80);      // does not fit the 80-byte ownership test
    PutString(CR, ".xxe", "", owner600);     // does not fit the 512-byte backup read
    PutString(CR, ".xxe", "Content Type", std::string(511, 'c'));
    SetAssociation(".uue", true, false, false, false);
    SetAssociation(".xxe", true, false, false, false);
    EXPECT_EQ(owner80, ReadString(CU, Backup(".uue"), "Type"));
    EXPECT_EQ("", ReadString(CU, Backup(".xxe"), "Type")) << "never a cut ProgID";
    EXPECT_EQ(std::string(511, 'c'), ReadString(CU, Backup(".xxe"), "Content"));
    SetAssociation(".uue", false, false, false, false);
    EXPECT_EQ(owner80, ReadString(CR, ".uue", ""));
}

TEST_F(Assoc, NamesThatDoNotFitAreRefused)
{
    // "Setup\" + extension must fit a key path; a longer extension is
    // refused whole rather than cut into another extension's name.
    for (size_t length : {240u, 250u, 300u})
    {
        SCOPED_TRACE(length);
        const std::string longExt = "." + std::string(length - 1, 'x');
        const std::string cut = longExt.substr(0, 236);
        PutString(CR, cut, "", "Other.Cut");
        const std::string before = SnapshotKey(Sandbox.Scratch(CR), "");
        SetAssociation(longExt.c_str(), true, true, false, false);
        SetAssociation(longExt.c_str(), true, true, true, true);
        EXPECT_EQ(before, SnapshotKey(Sandbox.Scratch(CR), ""));
        EXPECT_EQ("", SnapshotKey(CU, "Software\\Velmor"));
    }
}

}  // namespace
