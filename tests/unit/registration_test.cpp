// The App Paths entry and the ProgIDs against the real registry, each test
// in its own registry sandbox; and what Wine's shell runs for files of the
// types that setup takes over.
#include <stdlib.h>

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "integration/associations.h"
#include "integration/registration.h"
#include "lang/messages.h"
#include "res/resource.h"
#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

std::string ArchiverPath() { return TestDir() + "Velmor.exe"; }

// A text as REG_SZ stores it: with its terminating zero.
std::string Sz(const std::string &text) { return text + '\0'; }

// Gives a key made by DenyWrite its access back, so the sandbox can go.
class DeniedKey
{
public:
    DeniedKey(HKEY root, const std::string &path) : Root(root), Path(path) {}
    ~DeniedKey() { AllowAll(Root, Path); }
    DeniedKey(const DeniedKey &) = delete;
    DeniedKey &operator=(const DeniedKey &) = delete;

private:
    HKEY Root;
    std::string Path;
};

class Registration : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Sandbox.Ok()); }

    HKEY Classes() const { return Sandbox.Scratch(HKEY_CLASSES_ROOT); }
    HKEY Machine() const { return Sandbox.Scratch(HKEY_LOCAL_MACHINE); }

    // Everything the sandbox holds, for before/after comparisons.
    std::string Everything() const
    {
        return "HKCU\n" + SnapshotKey(Sandbox.Scratch(HKEY_CURRENT_USER), "") +
               "HKLM\n" + SnapshotKey(Machine(), "") + "HKCR\n" + SnapshotKey(Classes(), "");
    }

    RegistrySandbox Sandbox;
};

// ---------------------------------------------------------------- App Paths

TEST_F(Registration, AppPathNamesArchiverAndItsFolder)
{
    std::string folder = TestDir();
    ASSERT_GT(folder.size(), 3u) << "the test program must not lie in a drive root here";
    folder.pop_back();

    EXPECT_TRUE(RegisterAppPath());
    EXPECT_EQ(ArchiverPath(), ReadString(Machine(), AppPathKey, ""));
    EXPECT_EQ(folder, ReadString(Machine(), AppPathKey, "Path"));
    std::string all = Everything();
    EXPECT_EQ(2, CountValues(all)) << "only the two App Paths values are written:\n" << all;
}

TEST_F(Registration, AppPathRefusedWritesNothing)
{
    ASSERT_TRUE(DenyWrite(HKEY_LOCAL_MACHINE, AppPathKey));
    DeniedKey denied(HKEY_LOCAL_MACHINE, AppPathKey);
    std::string before = Everything();

    EXPECT_FALSE(RegisterAppPath());
    EXPECT_EQ(before, Everything());
    ASSERT_TRUE(AllowAll(HKEY_LOCAL_MACHINE, AppPathKey));
    EXPECT_EQ(0, CountValues(SnapshotKey(Machine(), AppPathKey)))
        << SnapshotKey(Machine(), AppPathKey);
}

// Set by RegistrationDriveRoot for the copy of this program that it runs
// from the drive root: the file that receives the copy's findings.
const char RootProbeVariable[] = "VELMOR_ROOT_PROBE_RESULT";

// Runs only in that copy: the module path cannot change inside one process.
TEST(RegistrationDriveRootChild, RecordsAppPath)
{
    const char *resultFile = getenv(RootProbeVariable);
    if (resultFile == NULL || *resultFile == 0)
        GTEST_SKIP() << "runs only when started by RegistrationDriveRoot";
    std::string result;
    {
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        bool ok = RegisterAppPath();
        HKEY machine = sandbox.Scratch(HKEY_LOCAL_MACHINE);
        result = std::string(ok ? "true" : "false") + "\n" +
                 ReadString(machine, AppPathKey, "") + "\n" +
                 ReadString(machine, AppPathKey, "Path") + "\n";
    }
    ASSERT_TRUE(WriteFileBytes(resultFile, result)) << resultFile;
}

// No sandbox and no scratch folder here: the copy runs the suite's
// leftover watch too, and must find neither while it runs.
TEST(RegistrationDriveRoot, AppPathKeepsTheRootBackslash)
{
    const std::string root = TestDir().substr(0, 3);     // "C:\"
    ASSERT_EQ(":\\", root.substr(1)) << root;
    const std::string copy = root + "velmor_root_probe_" + std::to_string(GetCurrentProcessId()) + ".exe";
    TestCopyRun run = RunTestCopy(copy, "RegistrationDriveRootChild.RecordsAppPath",
                                  RootProbeVariable, root);
    ASSERT_TRUE(run.Started) << run.Error;
    ASSERT_TRUE(run.Ended) << "the copy did not end:\n" << run.Output;
    // The copy's exit code also carries its leftover watch over the whole
    // prefix, which this process reports itself; only its findings count.
    ASSERT_TRUE(run.HasResult) << "the copy reported nothing; exit code " << run.ExitCode << ":\n"
                               << run.Output;
    EXPECT_EQ("true\n" + root + "Velmor.exe\n" + root + "\n", run.Result)
        << "return value, default value and \"Path\" of a program in " << root;
}

// ----------------------------------------------------------------- ProgIDs

struct Entry
{
    std::string Key;
    std::string Data;
};

// Every entry RegisterProgIds writes, in its order, with the icon texts
// given.
std::vector<Entry> ProgIdEntries(const std::string &archiveIcon, const std::string &volumeIcon)
{
    const std::string command = "\"" + ArchiverPath() + "\" \"%1\"";
    return {
        {"Velmor", ExpectedAnsi(IDS_PROGID_VMZ)},
        {"Velmor\\shell\\open\\command", command},
        {"Velmor\\DefaultIcon", archiveIcon},
        {"Velmor.ZIP", ExpectedAnsi(IDS_PROGID_ZIP)},
        {"Velmor.ZIP\\shell\\open\\command", command},
        {"Velmor.ZIP\\DefaultIcon", archiveIcon},
        {".rev", "Velmor.REV"},
        {"Velmor.REV", ExpectedAnsi(IDS_PROGID_REV)},
        {"Velmor.REV\\shell\\open\\command", command},
        {"Velmor.REV\\DefaultIcon", volumeIcon},
    };
}

std::vector<Entry> OwnIconEntries()
{
    return ProgIdEntries(ArchiverPath() + ",0", ArchiverPath() + ",1");
}

TEST_F(Registration, ProgIdsWriteTheTenEntries)
{
    // The descriptions come through GetMsg: with no language loaded, the
    // built-in Chinese texts.
    for (int id : {IDS_PROGID_VMZ, IDS_PROGID_ZIP, IDS_PROGID_REV})
        ASSERT_EQ(ExpectedAnsi(id), std::string(GetMsg(id))) << "string " << id;

    EXPECT_TRUE(RegisterProgIds(NULL, NULL));
    const std::vector<Entry> expected = OwnIconEntries();
    for (const Entry &e : expected)
        EXPECT_EQ(e.Data, ReadString(Classes(), e.Key, "")) << "HKCR\\" << e.Key;
    std::string all = Everything();
    EXPECT_EQ((int)expected.size(), CountValues(all)) << "nothing else is written:\n" << all;
}

TEST_F(Registration, ProgIdsUseCallersIconTextsUnchanged)
{
    const std::string archive = ArchiverPath() + ",0";
    const std::string volume = ArchiverPath() + ",1";
    const struct
    {
        const char *ArchiveIcon;
        const char *VolumeIcon;
        std::string WantArchive;
        std::string WantVolume;
    } cases[] = {
        {"D:\\Icons\\arc.ico", "D:\\Icons\\vol.ico,2", "D:\\Icons\\arc.ico", "D:\\Icons\\vol.ico,2"},
        // Format characters in a given text are not interpreted.
        {"%SystemRoot%\\icons.dll,-5", NULL, "%SystemRoot%\\icons.dll,-5", volume},
        {NULL, "\"C:\\a b\\v.ico\",%s", archive, "\"C:\\a b\\v.ico\",%s"},
        {NULL, NULL, archive, volume},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(std::string("archive icon ") + (c.ArchiveIcon ? c.ArchiveIcon : "(none)") +
                     ", volume icon " + (c.VolumeIcon ? c.VolumeIcon : "(none)"));
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(Classes(), NULL));
        EXPECT_TRUE(RegisterProgIds(c.ArchiveIcon, c.VolumeIcon));
        for (const Entry &e : ProgIdEntries(c.WantArchive, c.WantVolume))
            EXPECT_EQ(e.Data, ReadString(Classes(), e.Key, "")) << "HKCR\\" << e.Key;
    }
}

TEST_F(Registration, ProgIdIconKeptOnlyWhenNonEmpty)
{
    const struct
    {
        const char *Name;
        bool HasValue;        // false: the key alone, without a default value
        DWORD Type;
        std::string Bytes;
        bool Kept;
    } seeds[] = {
        {"custom icon", true, REG_SZ, Sz("D:\\my icons\\arc.ico,4"), true},
        {"expandable icon", true, REG_EXPAND_SZ, Sz("%SystemRoot%\\shell32.dll,-13"), true},
        {"empty text", true, REG_SZ, Sz(""), false},
        {"no data bytes", true, REG_SZ, std::string(), false},
        {"key without default value", false, REG_NONE, std::string(), false},
        {"longer than the read limit", true, REG_SZ, Sz(std::string(1100, 'x')), false},
    };
    const std::vector<Entry> own = OwnIconEntries();
    const char *const iconKeys[] = {"Velmor\\DefaultIcon", "Velmor.ZIP\\DefaultIcon",
                                    "Velmor.REV\\DefaultIcon"};
    for (const char *iconKey : iconKeys)
        for (const auto &seed : seeds)
        {
            SCOPED_TRACE(std::string(iconKey) + " seeded with " + seed.Name);
            ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(Classes(), NULL));
            if (seed.HasValue)
                PutValue(Classes(), iconKey, "", seed.Type, seed.Bytes);
            else
                PutKey(Classes(), iconKey);
            ASSERT_TRUE(KeyExists(Classes(), iconKey));
            ASSERT_EQ(seed.HasValue, ValueExists(Classes(), iconKey, ""));

            EXPECT_TRUE(RegisterProgIds(NULL, NULL));
            for (const Entry &e : own)
            {
                if (e.Key == iconKey && seed.Kept)
                {
                    DWORD type = 0;
                    std::string data;
                    ASSERT_TRUE(ReadValue(Classes(), e.Key, "", &type, &data));
                    EXPECT_EQ(seed.Type, type) << "kept HKCR\\" << e.Key;
                    EXPECT_EQ(seed.Bytes, data) << "kept HKCR\\" << e.Key;
                }
                else
                    EXPECT_EQ(e.Data, ReadString(Classes(), e.Key, "")) << "HKCR\\" << e.Key;
            }
        }
}

TEST_F(Registration, ProgIdsRefusedWriteNothing)
{
    ASSERT_TRUE(DenyWrite(HKEY_CLASSES_ROOT, "Velmor"));
    DeniedKey denied(HKEY_CLASSES_ROOT, "Velmor");
    std::string before = Everything();

    EXPECT_FALSE(RegisterProgIds(NULL, NULL));
    EXPECT_EQ(before, Everything());
    ASSERT_TRUE(AllowAll(HKEY_CLASSES_ROOT, "Velmor"));
    std::string velmor = SnapshotKey(Classes(), "Velmor");
    EXPECT_EQ("Velmor\t\n", velmor) << "the refused key stays empty";
}

TEST_F(Registration, ProgIdsLaterRefusalDoesNotStopTheRest)
{
    ASSERT_TRUE(DenyWrite(HKEY_CLASSES_ROOT, "Velmor.ZIP"));
    DeniedKey denied(HKEY_CLASSES_ROOT, "Velmor.ZIP");

    EXPECT_TRUE(RegisterProgIds(NULL, NULL));
    for (const Entry &e : OwnIconEntries())
    {
        // What Wine lets through below a refused key differs from Windows;
        // only the entries outside Velmor.ZIP are certain.
        if (e.Key.compare(0, 10, "Velmor.ZIP") == 0)
            continue;
        EXPECT_EQ(e.Data, ReadString(Classes(), e.Key, "")) << "HKCR\\" << e.Key;
    }
    ASSERT_TRUE(AllowAll(HKEY_CLASSES_ROOT, "Velmor.ZIP"));
    EXPECT_FALSE(ValueExists(Classes(), "Velmor.ZIP", "")) << "the refused description";
}

TEST_F(Registration, ProgIdsRerunRestoresTextsAndKeepsIcons)
{
    ASSERT_TRUE(RegisterProgIds(NULL, NULL));
    const std::string first = Everything();

    // A second setup finds the entries as another program or an older
    // setup left them.
    PutString(Classes(), "Velmor.ZIP", "", "Old description");
    PutString(Classes(), "Velmor.REV\\shell\\open\\command", "", "old.exe %1");
    PutString(Classes(), ".rev", "", "Other.REV");
    PutString(Classes(), "Velmor\\shell\\open\\command", "", "");
    EXPECT_TRUE(RegisterProgIds(NULL, NULL));
    EXPECT_EQ(first, Everything());

    // Icons already there stay, whoever set them: a second setup with
    // other icon texts leaves them.
    EXPECT_TRUE(RegisterProgIds("X:\\other.ico", "X:\\other.ico"));
    EXPECT_EQ(first, Everything());
}

// ------------------------------------------------------- through the shell

// What OpenAndRecord gives for a file that no program is registered for.
const std::string NoAssociation = "<no association>";

// Opens files through Wine's ShellExecuteEx while this process's
// HKEY_CLASSES_ROOT is the sandbox, and reads what the stand-in archivers
// recorded.
class ShellOpen : public Registration
{
protected:
    void SetUp() override
    {
        Registration::SetUp();
        Record = TestDir() + "record.txt";
        DeleteFileA(Record.c_str());
        ComReady = SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    }

    void TearDown() override
    {
        DeleteFileA(Record.c_str());
        if (ComReady)
            CoUninitialize();
    }

    // The line the stand-in wrote when the shell opened file (UTF-8), or
    // the reason there is none.
    std::string OpenAndRecord(const std::string &fileUtf8)
    {
        DeleteFileA(Record.c_str());
        std::wstring file = WideFromUtf8(fileUtf8);
        SHELLEXECUTEINFOW sei;
        ZeroMemory(&sei, sizeof(sei));
        sei.cbSize = sizeof(sei);
        sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        sei.lpVerb = L"open";
        sei.lpFile = file.c_str();
        sei.nShow = SW_SHOWNORMAL;
        BOOL started = ShellExecuteExW(&sei);
        DWORD error = GetLastError();
        if (!started && sei.hInstApp == (HINSTANCE)SE_ERR_NOASSOC)
            return NoAssociation;
        if (!started)
            return "<ShellExecuteEx failed: error " + std::to_string(error) + ", instance " +
                   std::to_string((long long)(INT_PTR)sei.hInstApp) + ">";
        if (sei.hProcess == NULL)
            return "<ShellExecuteEx started no process>";
        // A guard against a hung stand-in only; nothing here measures time.
        DWORD waited = WaitForSingleObject(sei.hProcess, 60000);
        if (waited != WAIT_OBJECT_0)
            TerminateProcess(sei.hProcess, 99);
        DWORD code = 0xDEADBEEF;
        GetExitCodeProcess(sei.hProcess, &code);
        CloseHandle(sei.hProcess);
        if (waited != WAIT_OBJECT_0)
            return "<the started program did not end>";
        std::string line;
        if (!ReadFileBytes(Record, &line))
            return "<no record; exit code " + std::to_string(code) + ">";
        return line;
    }

    std::string Record;
    bool ComReady = false;
};

TEST_F(ShellOpen, FilesReachArchiverAndForeignOwnerAfterGiveBack)
{
    const std::string folderName = "打开 test";
    ASSERT_EQ(folderName, Utf8FromAnsi(AnsiFromUtf8(folderName)))
        << "the ANSI code page cannot hold the folder name";
    ScratchDir scratch(AnsiFromUtf8(folderName).c_str());
    const std::string dir = Utf8FromAnsi(scratch.Path());
    const std::string tests = Utf8FromAnsi(TestDir());
    // What the stand-in named program records for a file of the scratch
    // folder, as started by the command "<program>" "%1".
    auto opened = [&](const char *program, const char *file) {
        return std::string(program) + "|\"" + tests + program + "\" \"" + dir + file + "\"\n";
    };

    PutString(Classes(), ".zip", "", "OtherArc.Zip");
    PutString(Classes(), "OtherArc.Zip\\shell\\open\\command", "",
              "\"" + TestDir() + "OtherArc.exe\" \"%1\"");
    ASSERT_FALSE(KeyExists(Classes(), ".vmz"));
    for (const char *name : {"x.vmz", "x.zip", "x.rev", "x.v07"})
        ASSERT_TRUE(WriteFileBytes(scratch.File(name), "data")) << name;

    // The shell must see the sandbox, or nothing below proves anything:
    // the real registry has no owner of .zip.
    ASSERT_EQ(opened("OtherArc.exe", "x.zip"), OpenAndRecord(dir + "x.zip"))
        << "Wine's shell did not read the sandboxed HKEY_CLASSES_ROOT";
    ASSERT_EQ(NoAssociation, OpenAndRecord(dir + "x.vmz"));

    ASSERT_TRUE(RegisterProgIds(NULL, NULL));
    SetAssociation(".vmz", true, false, false, true);
    SetAssociation(".zip", true, false, true, false);

    const struct
    {
        const char *File;
        std::string TakenOver;
        std::string GivenBack;
    } cases[] = {
        {"x.vmz", opened("Velmor.exe", "x.vmz"), NoAssociation},
        {"x.zip", opened("Velmor.exe", "x.zip"), opened("OtherArc.exe", "x.zip")},
        // The ProgIDs and .rev stay until uninstall.
        {"x.rev", opened("Velmor.exe", "x.rev"), opened("Velmor.exe", "x.rev")},
        {"x.v07", opened("Velmor.exe", "x.v07"), NoAssociation},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.TakenOver, OpenAndRecord(dir + c.File)) << "opening " << c.File
                                                             << " after take-over";

    SetAssociation(".vmz", false, false, false, true);
    SetAssociation(".zip", false, false, true, false);
    EXPECT_FALSE(KeyExists(Classes(), ".vmz")) << ".vmz had no key before the take-over";
    EXPECT_EQ("OtherArc.Zip", ReadString(Classes(), ".zip", ""));
    for (const auto &c : cases)
        EXPECT_EQ(c.GivenBack, OpenAndRecord(dir + c.File)) << "opening " << c.File
                                                             << " after give-back";
}

}  // namespace
