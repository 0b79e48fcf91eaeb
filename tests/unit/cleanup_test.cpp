// The removal of the integration that uninstall runs before it deletes any
// file: after a setup with every choice on, the registry is as it was
// before, apart from the shell's handler keys that the shell extension's
// removal keeps; and it leaves alone what is not the product's.
#include <string.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "integration/apply.h"
#include "integration/settings.h"
#include "integration/shortcuts.h"
#include "platform/os.h"
#include "setup/cleanup.h"
#include "support/testutil.h"

namespace {

std::set<std::string> Lines(const std::string &snapshot)
{
    std::set<std::string> lines;
    std::istringstream in(snapshot);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.insert(line);
    return lines;
}

// What after holds that before did not, and the reverse, one line each.
std::string Diff(const std::string &before, const std::string &after,
                 std::vector<std::string> *added)
{
    std::set<std::string> b = Lines(before), a = Lines(after);
    std::string text;
    for (const std::string &line : a)
        if (b.count(line) == 0)
        {
            added->push_back(line);
            text += "+ " + line + "\n";
        }
    for (const std::string &line : b)
        if (a.count(line) == 0)
            text += "- " + line + "\n";
    return text;
}

// The leftovers that removal keeps by design: the handler keys named
// "Velmor" below the shell's own keys for all files, folders, directories
// and drives, which lose only their value.
bool IsKeptHandlerKey(const std::string &line)
{
    static const char *const kept[] = {
        "\\*\\shellex\\ContextMenuHandlers\\Velmor\t",
        "\\Folder\\shellex\\ContextMenuHandlers\\Velmor\t",
        "\\Folder\\shellex\\DragDropHandlers\\Velmor\t",
        "\\Drive\\shellex\\DragDropHandlers\\Velmor\t",
        "\\Directory\\shellex\\ContextMenuHandlers\\Velmor\t",
        "\\Directory\\shellex\\DragDropHandlers\\Velmor\t",
    };
    for (const char *k : kept)
        if (line == k)
            return true;
    // On 9x and NT 4 the ZIP template is stored as bytes in the key of
    // the extension and is not taken back (the owner's template values
    // are).
    return (NtVersion() == 0 || NtVersion() == 4) &&
           line.rfind(std::string("\\.zip\\ShellNew\tData\t"), 0) == 0;
}

int ProductShortcuts()
{
    int present = 0;
    for (int p = 0; p < ShortcutPlaceCount; ++p)
    {
        std::string path = ShortcutPlacePath((ShortcutPlace)p);
        present += !path.empty() &&
                   GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    return present;
}

class Cleanup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        ComReady = true;
        ASSERT_TRUE(Sandbox.Ok());
        ASSERT_EQ(0, ProductShortcuts()) << "shortcuts left by an earlier test";
        // The shell extension module beside the program, so that its
        // class keys are written too.
        ASSERT_TRUE(CopyFileA((TestDir() + "vmzlng_fixture.dll").c_str(),
                              (TestDir() + "vmzext.dll").c_str(), FALSE));
    }

    void TearDown() override
    {
        DeleteFileA((TestDir() + "vmzext.dll").c_str());
        DeleteFileA((TestDir() + "vmznew.dat").c_str());
        DeleteFileA((TestDir() + "zipnew.dat").c_str());
        if (!ComReady)
            return;
        IntegrationSettings zero;
        memset(&zero, 0, sizeof(zero));
        UpdateShortcuts(&zero, NULL);
        CoUninitialize();
    }

    static IntegrationSettings AllOn()
    {
        IntegrationSettings s;
        memset(&s, 0, sizeof(s));
        for (int row = 0; row < ArchiveTypeCount; ++row)
            s.Associate[row] = 1;
        s.Desktop = s.StartMenu = s.Programs = s.ShellExt = s.CascadedMenu = s.MenuIcons = 1;
        return s;
    }

    // A setup as the setup dialog runs it.
    static void Setup(const IntegrationSettings &s)
    {
        SaveSettings(&s);
        char group[1024] = "";
        EXPECT_TRUE(ApplyIntegration(&s, group));
        RegisterUninstallEntry();
    }

    // Other programs' state: foreign owners of .zip and .7z, a handler of
    // another shell extension, an unrelated product key.
    static void SeedForeign()
    {
        HKEY cr = HKEY_CLASSES_ROOT;
        PutString(cr, ".zip", "", "OtherArc.Zip");
        PutString(cr, ".zip", "Content Type", "application/zip");
        PutString(cr, ".zip\\ShellNew", "NullFile", "");
        PutString(cr, ".zip\\OpenWithProgids", "OtherArc.Zip", "");
        PutString(cr, "OtherArc.Zip\\shell\\open\\command", "", "\"C:\\Other\\OtherArc.exe\" \"%1\"");
        PutString(cr, ".7z", "", "OtherArc.7z");
        PutString(cr, "*\\shellex\\ContextMenuHandlers\\OtherArc", "", "{11111111-2222-3333-4444-555555555555}");
        PutString(HKEY_CURRENT_USER, "Software\\OtherArc", "Mode", "1");
        PutString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OtherArc.exe", "", "C:\\Other\\OtherArc.exe");
        // Keys every Windows has, which the sandbox starts without.
        for (const char *key : {"CLSID", "exefile\\shellex\\PropertySheetHandlers",
                                "Folder\\shellex\\ContextMenuHandlers",
                                "Folder\\shellex\\DragDropHandlers",
                                "Drive\\shellex\\DragDropHandlers",
                                "Directory\\shellex\\ContextMenuHandlers",
                                "Directory\\shellex\\DragDropHandlers"})
            PutKey(cr, key);
        for (const char *key : {"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                "Software\\RegisteredApplications"})
            PutKey(HKEY_LOCAL_MACHINE, key);
    }

    RegistrySandbox Sandbox;
    bool ComReady = false;
};

TEST_F(Cleanup, SetupThenRemovalLeavesOnlyTheKeptHandlerKeys)
{
    SeedForeign();
    const std::string classes = SnapshotKey(HKEY_CLASSES_ROOT, "");
    const std::string machine = SnapshotKey(HKEY_LOCAL_MACHINE, "");
    const std::string software = SnapshotKey(HKEY_CURRENT_USER, "Software");

    Setup(AllOn());
    ASSERT_EQ("Velmor.ZIP", ReadString(HKEY_CLASSES_ROOT, ".zip", ""));
    ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Velmor\\Setup\\.zip"));
    ASSERT_GT(ProductShortcuts(), 0);

    RemoveIntegration();

    std::vector<std::string> added;
    std::string classesDiff = Diff(classes, SnapshotKey(HKEY_CLASSES_ROOT, ""), &added);
    for (const std::string &line : added)
        EXPECT_TRUE(IsKeptHandlerKey(line)) << "left in HKEY_CLASSES_ROOT: " << line;
    bool onlyAdded = classesDiff.find("- ") == std::string::npos;
    EXPECT_TRUE(onlyAdded) << "changed or lost in HKEY_CLASSES_ROOT:\n" << classesDiff;
    EXPECT_GE(added.size(), 6u) << "the handler keys of all files and folders stay";

    std::vector<std::string> ignored;
    // HKEY_LOCAL_MACHINE as before on every version (the Default Programs
    // registration goes with the product's machine key).
    EXPECT_EQ("", Diff(machine, SnapshotKey(HKEY_LOCAL_MACHINE, ""), &ignored));
    // The product's key is gone; everything else below Software is as it
    // was, apart from the shell's own folder settings, which the shell
    // writes when the shortcut step asks for its folders.
    std::vector<std::string> addedUser;
    std::string userDiff = Diff(software, SnapshotKey(HKEY_CURRENT_USER, "Software"), &addedUser);
    for (const std::string &line : addedUser)
        EXPECT_EQ(0u, line.find("Microsoft\\Windows\\CurrentVersion\\Explorer")) << line;
    EXPECT_EQ(std::string::npos, userDiff.find("- ")) << userDiff;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Velmor"));
    EXPECT_EQ(0, ProductShortcuts());
}

TEST_F(Cleanup, NeverSetUpFindsNothingToDo)
{
    SeedForeign();
    PutString(HKEY_CLASSES_ROOT, ".rar", "", "OtherArc.Rar");
    const std::string classes = SnapshotKey(HKEY_CLASSES_ROOT, "");
    const std::string machine = SnapshotKey(HKEY_LOCAL_MACHINE, "");

    RemoveIntegration();

    std::vector<std::string> added;
    std::string diff = Diff(classes, SnapshotKey(HKEY_CLASSES_ROOT, ""), &added);
    EXPECT_EQ("", diff);
    EXPECT_EQ(machine, SnapshotKey(HKEY_LOCAL_MACHINE, ""));
    EXPECT_EQ("1", ReadString(HKEY_CURRENT_USER, "Software\\OtherArc", "Mode"));
    EXPECT_EQ(0, ProductShortcuts());
}

TEST_F(Cleanup, ExtensionTakenOverAfterSetupStaysWithItsOwner)
{
    Setup(AllOn());
    // Another archiver took .zip and .rar after setup.
    PutString(HKEY_CLASSES_ROOT, ".zip", "", "Newcomer.Zip");
    PutString(HKEY_CLASSES_ROOT, ".rar", "", "Newcomer.Rar");
    // Whatever .rev holds by then goes with it.
    PutString(HKEY_CLASSES_ROOT, ".rev\\Deep\\Deeper", "x", "y");

    RemoveIntegration();

    EXPECT_EQ("Newcomer.Zip", ReadString(HKEY_CLASSES_ROOT, ".zip", ""));
    EXPECT_EQ("Newcomer.Rar", ReadString(HKEY_CLASSES_ROOT, ".rar", ""));
    for (const char *gone : {"Velmor", "Velmor.ZIP", "Velmor.REV", ".rev", ".vmz", ".7z"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
    for (const char *gone : {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver",
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Velmor.exe"})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, gone)) << gone;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Velmor"));
}

TEST_F(Cleanup, EntriesWithSubKeysAreLeftWhole)
{
    // The two machine entries are deleted as single keys: one that holds
    // a sub-key (not the product's making) is left as it is on NT. The 9x
    // key deletion takes the sub-keys with it.
    Setup(AllOn());
    const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver";
    PutString(HKEY_LOCAL_MACHINE, entry + "\\Other", "x", "y");

    RemoveIntegration();

    EXPECT_EQ(NtVersion() != 0, KeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Velmor.exe"));
}

} // namespace
