// The apply sequence of setup mode and the uninstall entry, against the
// real registry (in a sandbox) and the real shortcut folders of the prefix.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "integration/apply.h"
#include "integration/registration.h"
#include "integration/settings.h"
#include "integration/shellext.h"
#include "integration/shortcuts.h"
#include "platform/os.h"
#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

const char Approved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::string Class32 = "{7A3C1E52-4D21-4B7E-8F6A-C03B9D4E2A17}";

IntegrationSettings AllOn()
{
    IntegrationSettings s;
    memset(&s, 0, sizeof(s));
    for (int row = 0; row < ArchiveTypeCount; ++row)
        s.Associate[row] = 1;
    s.Desktop = s.StartMenu = s.Programs = s.ShellExt = s.CascadedMenu = s.MenuIcons = 1;
    return s;
}

IntegrationSettings AllZero()
{
    IntegrationSettings s;
    memset(&s, 0, sizeof(s));
    return s;
}

bool Exists(const std::string &utf8Path)
{
    return GetFileAttributesW(WideFromUtf8(utf8Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every place a shortcut of the product can be in, whatever the version.
std::vector<std::string> ShortcutPlaces()
{
    std::vector<std::string> places;
    for (int p = 0; p < ShortcutPlaceCount; ++p)
        places.push_back(ShortcutPlacePath((ShortcutPlace)p));
    return places;
}

int ShortcutsPresent()
{
    int present = 0;
    for (const std::string &place : ShortcutPlaces())
        present += Exists(place);
    return present;
}

// COM for the shell link object, and the shortcuts removed at the end
// however the test ends.
class Apply : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        ComReady = true;
        ASSERT_TRUE(Sandbox.Ok());
        ASSERT_EQ(0, ShortcutsPresent()) << "shortcuts left by an earlier test";
    }

    void TearDown() override
    {
        if (!ComReady)
            return;
        IntegrationSettings zero = AllZero();
        UpdateShortcuts(&zero, NULL);
        EXPECT_EQ(0, ShortcutsPresent());
        CoUninitialize();
        // The New-menu templates that the associations put beside the
        // program.
        DeleteFileA((TestDir() + "vmznew.dat").c_str());
        DeleteFileA((TestDir() + "zipnew.dat").c_str());
    }

    HKEY Classes() const { return Sandbox.Scratch(HKEY_CLASSES_ROOT); }
    HKEY Machine() const { return Sandbox.Scratch(HKEY_LOCAL_MACHINE); }
    HKEY User() const { return Sandbox.Scratch(HKEY_CURRENT_USER); }

    RegistrySandbox Sandbox;
    bool ComReady = false;
};

// Gives a key made by DenyWrite its access back, so the sandbox can go.
struct DeniedKey
{
    HKEY Root;
    std::string Path;
    ~DeniedKey() { AllowAll(Root, Path); }
};

TEST_F(Apply, AllOnRunsEveryStepAndNamesTheGroup)
{
    IntegrationSettings on = AllOn();
    char group[1024] = "";
    EXPECT_TRUE(ApplyIntegration(&on, group));

    EXPECT_EQ(TestDir() + "Velmor.exe", ReadString(Machine(), AppPathKey, ""));       // 1
    EXPECT_EQ("Velmor shell extension", ReadString(Machine(), Approved, Class32));    // 2
    EXPECT_EQ(Class32, ReadString(Classes(), "*\\shellex\\ContextMenuHandlers\\Velmor", ""));
    EXPECT_EQ("Velmor", ReadString(Classes(), ".vmz", ""));                           // 3
    EXPECT_EQ("Velmor.ZIP", ReadString(Classes(), ".zip", ""));
    EXPECT_EQ("\"" + TestDir() + "Velmor.exe\" \"%1\"",                               // 4
              ReadString(Classes(), "Velmor\\shell\\open\\command", ""));
    EXPECT_EQ("Velmor.REV", ReadString(Classes(), ".rev", ""));
    // 5: the group, the all users' one on the NT family.
    std::string expectedGroup =
        ShellFolder(NtVersion() != 0 ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) + "Velmor";
    EXPECT_EQ(expectedGroup, Utf8FromAnsi(group));
    EXPECT_TRUE(Exists(expectedGroup + "\\Velmor.lnk"));
    EXPECT_TRUE(Exists(ShellFolder(NtVersion() >= 6 ? CSIDL_COMMON_DESKTOPDIRECTORY
                                               : CSIDL_DESKTOPDIRECTORY) + "Velmor.lnk"));
    if (NtVersion() >= 6)
    {
        EXPECT_EQ("Software\\Velmor\\Capabilities",
                  ReadString(Machine(), "Software\\RegisteredApplications", "Velmor"));
    }
}

TEST_F(Apply, NoRightToWriteTheMachineKeysWritesNothing)
{
    DeniedKey denied{HKEY_LOCAL_MACHINE, AppPathKey};
    ASSERT_TRUE(DenyWrite(HKEY_LOCAL_MACHINE, AppPathKey));
    std::string machineBefore = SnapshotKey(Machine(), "");
    std::string classesBefore = SnapshotKey(Classes(), "");
    std::string userBefore = SnapshotKey(User(), "");
    IntegrationSettings on = AllOn();
    char group[1024] = "";

    EXPECT_FALSE(ApplyIntegration(&on, group));

    EXPECT_EQ(machineBefore, SnapshotKey(Machine(), ""));
    EXPECT_EQ(classesBefore, SnapshotKey(Classes(), ""));
    EXPECT_EQ(userBefore, SnapshotKey(User(), "")) << "no association backup either";
    EXPECT_FALSE(KeyExists(User(), "Software\\Velmor"));
    EXPECT_EQ(0, ShortcutsPresent());
    EXPECT_STREQ("", group);
}

TEST_F(Apply, NoRightToWriteClassesStopsBeforeTheShortcuts)
{
    // The first thing the ProgIDs write is the default value of Velmor.
    DeniedKey denied{HKEY_CLASSES_ROOT, "Velmor"};
    ASSERT_TRUE(DenyWrite(HKEY_CLASSES_ROOT, "Velmor"));
    // A desktop shortcut of an earlier setup on the user's desktop: the
    // shortcut step would move or remove it.
    std::string userDesktopLink = ShellFolder(CSIDL_DESKTOPDIRECTORY) + "Velmor.lnk";
    ASSERT_TRUE(WriteFileBytes(AnsiFromUtf8(userDesktopLink), "earlier shortcut"));
    IntegrationSettings on = AllOn();
    char group[1024] = "";

    EXPECT_FALSE(ApplyIntegration(&on, group));

    // Steps 1 to 3 ran ...
    EXPECT_EQ(TestDir() + "Velmor.exe", ReadString(Machine(), AppPathKey, ""));
    EXPECT_EQ("Velmor shell extension", ReadString(Machine(), Approved, Class32));
    EXPECT_EQ("", ReadString(Classes(), "exefile\\shellex\\PropertySheetHandlers\\" + Class32, ""));
    EXPECT_EQ("Velmor", ReadString(Classes(), ".vmz", ""));
    EXPECT_TRUE(KeyExists(User(), "Software\\Velmor\\Setup\\.vmz"));
    // ... step 4 stopped at its first write, and step 5 never ran.
    EXPECT_FALSE(KeyExists(Classes(), "Velmor\\shell\\open\\command"));
    EXPECT_FALSE(KeyExists(Classes(), "Velmor.ZIP\\shell\\open\\command"));
    EXPECT_TRUE(Exists(userDesktopLink));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_PROGRAMS) + "Velmor"));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_PROGRAMS) + "Velmor"));
    EXPECT_STREQ("", group);
    DeleteFileW(WideFromUtf8(userDesktopLink).c_str());
}

TEST_F(Apply, ProgramGroupOffLeavesTheBufferAlone)
{
    IntegrationSettings on = AllOn();
    on.Programs = 0;
    char group[1024] = "";
    EXPECT_TRUE(ApplyIntegration(&on, group));
    EXPECT_STREQ("", group);
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_PROGRAMS) + "Velmor"));
}

// ---------------------------------------------------------- uninstall entry

const char Entry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver";

// The five values as "name type data" lines, in the order RegEnumValue
// gives them, and nothing else of the key.
std::string EntryValues(HKEY machine)
{
    std::string lines;
    for (const char *name : {"DisplayName", "UninstallString", "DisplayIcon", "NoModify", "NoRepair"})
    {
        DWORD type = 0;
        std::string data;
        if (!ReadValue(machine, Entry, name, &type, &data))
            data = "<missing>";
        lines += std::string(name) + " " + std::to_string(type) + " " +
                 (type == REG_DWORD ? std::to_string(*(const DWORD *)data.data())
                                    : ReadString(machine, Entry, name)) +
                 "\n";
    }
    return lines;
}

std::string ExpectedEntry(const std::string &programPath)
{
    std::string folder = programPath.substr(0, programPath.find_last_of('\\') + 1);
    return "DisplayName 1 " + ExpectedAnsi(5101) + "\n" +
           "UninstallString 1 " + programPath + "\n" +
           "DisplayIcon 1 " + folder + "Velmor.exe\n" +
           "NoModify 4 1\nNoRepair 4 1\n";
}

std::string ProgramPath()
{
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof(path));
    return std::string(path, n);
}

int CountEntryValues(HKEY machine)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(machine, Entry, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return (int)values;
}

TEST(UninstallEntry, FiveValuesNamingThisProgram)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    HKEY machine = sandbox.Scratch(HKEY_LOCAL_MACHINE);
    RegisterUninstallEntry();
    EXPECT_EQ(ExpectedEntry(ProgramPath()), EntryValues(machine));
    EXPECT_EQ(5, CountEntryValues(machine));
    // A second setup rewrites the same five values and adds none.
    std::string first = SnapshotKey(machine, Entry);
    RegisterUninstallEntry();
    EXPECT_EQ(first, SnapshotKey(machine, Entry));
}

TEST(UninstallEntry, NoRightsWritesNothingAndGoesOn)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    HKEY machine = sandbox.Scratch(HKEY_LOCAL_MACHINE);
    DeniedKey denied{HKEY_LOCAL_MACHINE, Entry};
    ASSERT_TRUE(DenyWrite(HKEY_LOCAL_MACHINE, Entry));
    RegisterUninstallEntry();
    ASSERT_TRUE(AllowAll(HKEY_LOCAL_MACHINE, Entry));
    EXPECT_EQ(0, CountEntryValues(machine));
}

// Set by UninstallEntryWithSpaces for the copy it runs from a folder whose
// name has spaces.
const char SpacesProbeVariable[] = "VELMOR_SPACES_PROBE_RESULT";

TEST(UninstallEntryChild, RecordsEntry)
{
    const char *resultFile = getenv(SpacesProbeVariable);
    if (resultFile == NULL || *resultFile == 0)
        GTEST_SKIP() << "runs only when started by UninstallEntry.UnquotedWithSpaces";
    std::string result;
    {
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        RegisterUninstallEntry();
        result = EntryValues(sandbox.Scratch(HKEY_LOCAL_MACHINE));
    }
    ASSERT_TRUE(WriteFileBytes(resultFile, result)) << resultFile;
}

TEST(UninstallEntry, UnquotedWithSpaces)
{
    // Not below the scratch folder: the copy runs the suite's leftover
    // watch too, which must not see its own folder.
    const std::string folder =
        "C:\\Program Files Velmor " + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL)) << folder;
    const std::string copy = folder + "un install.exe";
    TestCopyRun run = RunTestCopy(copy, "UninstallEntryChild.RecordsEntry", SpacesProbeVariable, folder);
    RemoveDirectoryA(folder.c_str());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
    ASSERT_TRUE(run.Started) << run.Error;
    ASSERT_TRUE(run.Ended) << "the copy did not end:\n" << run.Output;
    ASSERT_TRUE(run.HasResult) << "the copy reported nothing; exit code " << run.ExitCode << ":\n"
                               << run.Output;
    EXPECT_EQ(ExpectedEntry(copy), run.Result);
}

}  // namespace
