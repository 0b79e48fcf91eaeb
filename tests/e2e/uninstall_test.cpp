// Uninstall mode of the real uninstall.exe, end to end: the program is
// copied into a staged program folder with a written Uninstall.lst, runs
// with its temporary folder in a scratch folder, and is watched by the
// window robot. The self-removal batch file then runs for real through the
// prefix's command interpreter.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/e2e_support.h"
#include "support/restart.h"
#include "integration/apply.h"
#include "integration/settings.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCR = HKEY_CLASSES_ROOT;

std::wstring Wide(const std::string &ansi)
{
    return WideFromUtf8(Utf8FromAnsi(ansi));
}

bool Exists(const std::string &ansiPath)
{
    return GetFileAttributesA(ansiPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A string of the program's table as the robot reads it off a message box
// that the program showed with the ANSI call.
std::string Shown(int id)
{
    return Utf8FromAnsi(ExpectedAnsi(id));
}

std::string ShownWith(int id, const std::string &ansiArgument)
{
    std::string text = ExpectedAnsi(id);
    size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, ansiArgument);
    return Utf8FromAnsi(text);
}

// Every file and folder below dir: folders with a final '\', files with
// their size and write time; sorted.
void ListInto(const std::string &dir, const std::string &prefix, std::vector<std::string> *out)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do
    {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            out->push_back(prefix + name + "\\");
            ListInto(dir + "\\" + name, prefix + name + "\\", out);
        }
        else
            out->push_back(prefix + name + " " + std::to_string(fd.nFileSizeLow) + " " +
                           std::to_string(fd.ftLastWriteTime.dwLowDateTime));
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

std::vector<std::string> Listing(const std::string &dir)
{
    std::vector<std::string> out;
    ListInto(dir, "", &out);
    std::sort(out.begin(), out.end());
    return out;
}

// The ids of the running processes of this prefix with that file name.
std::vector<DWORD> ProcessesNamed(const wchar_t *exe)
{
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W pe;
    pe.dwSize = sizeof(pe);
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        if (_wcsicmp(pe.szExeFile, exe) == 0)
            pids.push_back(pe.th32ProcessID);
    CloseHandle(snap);
    return pids;
}

struct WindowSearch
{
    DWORD Pid;
    std::wstring Text;
    bool Found;
};

BOOL CALLBACK FindMessageWindow(HWND h, LPARAM param)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != search->Pid || !IsWindowVisible(h))
        return TRUE;
    // A message box holds its text in the static control 0xFFFF.
    wchar_t text[2048] = L"";
    HWND message = GetDlgItem(h, 0xFFFF);
    if (message != NULL)
        GetWindowTextW(message, text, 2048);
    if (search->Text == text)
    {
        search->Found = true;
        return FALSE;
    }
    return TRUE;
}

// Waits until the message box with that text (UTF-8), which the robot
// answered, is gone, so that the next robot sees the next window.
void WaitMessageGone(DWORD pid, const std::string &text)
{
    for (int i = 0; i < 600; ++i)
    {
        WindowSearch search = {pid, WideFromUtf8(text), false};
        EnumWindows(FindMessageWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.Found)
            return;
        Sleep(50);
    }
}

// Deletes a key with everything below it, with the system's own call.
void DeleteKeyTree(HKEY root, const std::string &path)
{
    RegDeleteTreeA(root, path.c_str());
    RegDeleteKeyA(root, path.c_str());
}

// Keys that an earlier setup left: stored choices below the product key
// and the product's ProgID. Seeded only where there were none, and removed
// again at the end.
class SeededIntegration
{
public:
    SeededIntegration()
    {
        Fresh = !KeyExists(HKCU, "Software\\Velmor") && !KeyExists(HKCR, "Velmor");
        if (!Fresh)
            return;
        PutValue(HKCU, "Software\\Velmor\\Setup", "ShellExt", REG_DWORD, std::string("\1\0\0\0", 4));
        PutValue(HKCU, "Software\\Velmor\\Setup\\Links", "Desktop", REG_DWORD,
                 std::string("\0\0\0\0", 4));
        PutString(HKCU, "Software\\Velmor\\Setup\\.zip", "", "OtherArc.zip");
        PutString(HKCR, "Velmor", "", "Velmor archive");
        PutString(HKCR, "Velmor\\shell\\open\\command", "", "\"C:\\Velmor\\Velmor.exe\" \"%1\"");
    }
    ~SeededIntegration()
    {
        if (!Fresh)
            return;
        DeleteKeyTree(HKCU, "Software\\Velmor");
        DeleteKeyTree(HKCR, "Velmor");
    }
    std::string Snapshot() const
    {
        return SnapshotKey(HKCU, "Software\\Velmor") + "--\n" + SnapshotKey(HKCR, "Velmor");
    }
    bool Present() const { return KeyExists(HKCU, "Software\\Velmor") || KeyExists(HKCR, "Velmor"); }
    bool Fresh = false;
};

bool IsNt()
{
    return NtVersion() != 0;
}

// A program folder staged below the test's scratch folder: the program, a
// list, the product's files; and the temporary folder the program is
// given. The scratch folder goes at the end with whatever is left.
class UninstallE2E : public testing::Test
{
protected:
    UninstallE2E() : Root("e2e-uninstall") {}

    void TearDown() override
    {
        // Whatever this test started through the batch file has ended (the
        // program instances and the command interpreter); a process still
        // running is ended and reported.
        for (int i = 0; i < 600 && !Strays().empty(); ++i)
            Sleep(50);
        for (DWORD pid : Strays())
        {
            ADD_FAILURE() << "process " << pid << " was still running";
            HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
            if (h != NULL)
            {
                TerminateProcess(h, 1);
                WaitForSingleObject(h, 10000);
                CloseHandle(h);
            }
        }
    }

    // The uninstall.exe and cmd.exe processes of the prefix: the tests
    // started them all, directly or through a batch file.
    std::vector<DWORD> Strays() const
    {
        std::vector<DWORD> pids = ProcessesNamed(L"uninstall.exe");
        std::vector<DWORD> shells = ProcessesNamed(L"cmd.exe");
        pids.insert(pids.end(), shells.begin(), shells.end());
        return pids;
    }

    // The program folder (named in the ANSI code page) with the program in
    // it, and an empty temporary folder.
    void Stage(const std::string &folderName)
    {
        Folder = Root.File(folderName.c_str());
        Program = Folder + "\\uninstall.exe";
        Temp = Root.File(("tmp-" + std::to_string(++Stages)).c_str());
        Batch = Temp + "\\Uninstall_Vmz.Bat";
        ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), NULL)) << Folder;
        ASSERT_TRUE(CreateDirectoryA(Temp.c_str(), NULL)) << Temp;
        ASSERT_TRUE(CopyFileA((TestDir() + "uninstall.exe").c_str(), Program.c_str(), FALSE))
            << "uninstall.exe missing from the test stage";
    }

    std::string In(const std::string &entry) const { return Folder + "\\" + entry; }

    // Entries ending in '\' are folders, the others small files.
    void Make(const std::vector<std::string> &entries)
    {
        for (const std::string &e : entries)
        {
            if (!e.empty() && e.back() == '\\')
                ASSERT_TRUE(CreateDirectoryA(In(e).c_str(), NULL)) << e;
            else
                ASSERT_TRUE(WriteFileBytes(In(e), "data of " + e)) << e;
        }
    }

    void WriteList(const std::string &text) { ASSERT_TRUE(WriteFileBytes(In("Uninstall.lst"), text)); }

    // Starts the program suspended, with the temporary folder as TMP and
    // TEMP and sfxcmd set (or cleared when empty), starts the robot on it
    // and lets it run.
    void Launch(const std::string &args, const std::string &sfxcmd, Robot *bot,
                const std::wstring &robotArgs)
    {
        Proc.reset(new Child);
        std::map<std::wstring, std::wstring> changes = {
            {L"TMP", Wide(Temp)}, {L"TEMP", Wide(Temp)}, {L"sfxcmd", Wide(sfxcmd)}};
        // The 9x batch file starts the program with "start /wait", whose
        // quoted path Wine's command interpreter takes for a window title:
        // it would open a console and wait for it forever. On 9x COMSPEC
        // names no interpreter, so the batch file is written but not
        // started, and is read back (BatchFileDone).
        if (!IsNt())
            changes[L"COMSPEC"] = L"C:\\velmor-no-interpreter\\cmd.exe";
        std::wstring env = EnvironmentWith(changes);
        ASSERT_TRUE(Proc->Start(Wide(Program), Wide(args), Wide(Root.Path()), &env));
        ASSERT_TRUE(bot->Start(L"--pid " + std::to_wstring(Proc->Info.dwProcessId) + L" " +
                               robotArgs));
        Proc->Resume();
    }

    // Runs a robot on the program's next window, once the message box it
    // answered (with that text) is gone; its exit code.
    DWORD Next(const std::string &answered, Robot *bot, const std::wstring &robotArgs)
    {
        WaitMessageGone(Proc->Info.dwProcessId, answered);
        if (!bot->Start(L"--pid " + std::to_wstring(Proc->Info.dwProcessId) + L" " + robotArgs))
            return 0xDEADBEEF;
        return bot->Finish();
    }

    // Lets the first instance end (exit code 0).
    void WaitFirstInstance()
    {
        ASSERT_GE(Proc->WaitEnd(60000), 0) << "the program did not end";
        EXPECT_EQ(0u, Proc->ExitCode());
    }

    // Polls, with a generous limit, until the batch file and every path
    // given are gone and the command interpreter has ended. Notes whether
    // a second instance of the program ran meanwhile (the one the batch
    // file starts with /wait).
    bool WaitForBatch(const std::vector<std::string> &gone)
    {
        DWORD first = Proc->Info.dwProcessId;
        SawSecondInstance = false;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 120000; Sleep(20))
        {
            for (DWORD pid : ProcessesNamed(L"uninstall.exe"))
                SawSecondInstance = SawSecondInstance || pid != first;
            bool done = !Exists(Batch) && ProcessesNamed(L"cmd.exe").empty();
            for (const std::string &path : gone)
                done = done && !Exists(path);
            if (done)
                return true;
        }
        return false;
    }

    // The batch file has done its work: on NT it ran (WaitForBatch); on 9x
    // it is there, in the 9x form, and is deleted here.
    bool BatchFileDone(const std::vector<std::string> &gone)
    {
        if (IsNt())
        {
            bool done = WaitForBatch(gone);
            EXPECT_TRUE(SawSecondInstance) << "the batch file runs the program with /wait first";
            return done;
        }
        std::string text;
        EXPECT_TRUE(ReadFileBytes(Batch, &text)) << "no batch file";
        EXPECT_EQ(0u, text.find("start /wait \"")) << text;
        EXPECT_NE(std::string::npos, text.find("\" /wait\r\ndel \"")) << text;
        EXPECT_TRUE(Exists(Program));
        return DeleteFileA(Batch.c_str()) != 0;
    }

    ScratchDir Root;
    std::string Folder, Program, Temp, Batch;
    std::unique_ptr<Child> Proc;
    bool SawSecondInstance = false;
    int Stages = 0;
};

// ------------------------------------------------------------ removal

// The product's files; some lines carry trailing blanks and CR LF, one is
// blank, one names a missing file, folders come before their contents, and
// the program file is named in another letter case.
const std::vector<std::string> ProductEntries = {
    "Velmor.exe", "vmz.txt", "Formats\\", "Formats\\7z.dll", "Formats\\Sub\\",
    "Formats\\Sub\\deep.dat", "Lang\\", "Lang\\zh.txt", "velmor.gid"};
const char ProductList[] = "Formats\\\r\n"
                           "Formats\\Sub  \r\n"
                           "Lang\\ \t\r\n"
                           "\r\n"
                           "   \t\r\n"
                           "missing.dll\r\n"
                           "Formats\\Sub\\deep.dat\n"
                           "Formats\\7z.dll  \r\n"
                           "Velmor.exe\r\n"
                           "vmz.txt\t\r\n"
                           "Lang\\zh.txt\r\n"
                           "UNINSTALL.EXE\r\n"
                           "Uninstall.lst\r\n";

TEST_F(UninstallE2E, YesRemovesListedEntriesThenBatchFileRemovesProgramAndFolder)
{
    struct Case
    {
        const char *Name;
        std::vector<std::string> Unlisted;   // files of the user, kept
    } cases[] = {
        {"everything listed", {}},
        {"user files kept", {"user.ini", "Lang\\mine.txt", "Formats\\Sub\\notes.txt"}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.Name);
        Stage(std::string("Velmor ") + std::to_string(Stages));
        Make(ProductEntries);
        Make(c.Unlisted);
        WriteList(ProductList);
        std::vector<std::string> before = Listing(Folder);

        Robot bot;
        Launch("", "", &bot, L"--timeout 30000 --press #6");
        ASSERT_EQ(0u, bot.Finish()) << bot.Output;
        EXPECT_EQ(Shown(5104), bot.Fields["caption"]);
        EXPECT_EQ(Shown(5107), bot.Fields["text"]);
        EXPECT_EQ("6", bot.Fields["pressed"]);
        WaitFirstInstance();

        // The first instance removed every listed entry, except the
        // folders that hold files of the user, and the list.
        for (const std::string &e : ProductEntries)
        {
            bool holdsUserFile = false;
            for (const std::string &u : c.Unlisted)
                holdsUserFile = holdsUserFile || (e.back() == '\\' && u.compare(0, e.size(), e) == 0);
            EXPECT_EQ(holdsUserFile, Exists(In(e))) << e;
        }
        EXPECT_FALSE(Exists(In("Uninstall.lst")));

        // Then the batch file removes the program, the folder when it is
        // empty, and itself.
        std::vector<std::string> gone = {Program};
        if (c.Unlisted.empty())
            gone.push_back(Folder);
        ASSERT_TRUE(BatchFileDone(gone)) << "left: program " << Exists(Program) << ", folder "
                                         << Exists(Folder) << ", batch " << Exists(Batch);
        EXPECT_EQ(0u, Listing(Temp).size());
        if (!IsNt())
            gone.clear();   // the program stays where no batch file ran
        for (const std::string &path : gone)
            EXPECT_FALSE(Exists(path)) << path;
        if (!IsNt())
        {
            EXPECT_TRUE(DeleteFileA(Program.c_str()));
        }

        // Nothing unlisted was touched: the user's files with their folders,
        // as they were.
        std::vector<std::string> kept;
        for (const std::string &line : before)
            for (const std::string &u : c.Unlisted)
                if (line.compare(0, u.size() + 1, u + " ") == 0 ||
                    (line.back() == '\\' && u.compare(0, line.size(), line) == 0))
                    kept.push_back(line);
        kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
        EXPECT_EQ(kept, Listing(Folder));
    }
}

TEST_F(UninstallE2E, NoChangesNothing)
{
    SeededIntegration seeds;
    ASSERT_TRUE(seeds.Fresh) << "the prefix holds the product's keys already";
    Stage("Velmor");
    Make(ProductEntries);
    WriteList(ProductList);
    std::vector<std::string> files = Listing(Folder);
    std::string keys = seeds.Snapshot();

    Robot bot;
    Launch("", "", &bot, L"--timeout 30000 --press #7");
    ASSERT_EQ(0u, bot.Finish()) << bot.Output;
    EXPECT_EQ(Shown(5107), bot.Fields["text"]);
    EXPECT_EQ("7", bot.Fields["pressed"]);
    WaitFirstInstance();
    EXPECT_EQ(files, Listing(Folder));
    EXPECT_EQ(keys, seeds.Snapshot());
    EXPECT_EQ(0u, Listing(Temp).size()) << "no batch file";
}

TEST_F(UninstallE2E, SilentModeAsksNothingAndRemovesEverything)
{
    struct Case
    {
        const char *Args;
        const char *Sfxcmd;
    } cases[] = {
        {"/s", ""},
        {"", "-s"},
        {"", "x.exe /S -d"},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(std::string("args \"") + c.Args + "\", sfxcmd \"" + c.Sfxcmd + "\"");
        SeededIntegration seeds;
        ASSERT_TRUE(seeds.Fresh);
        Stage("Velmor " + std::to_string(Stages));
        Make(ProductEntries);
        WriteList(ProductList);

        Robot bot;
        Launch(c.Args, c.Sfxcmd, &bot, L"--expect-none --timeout 60000");
        EXPECT_EQ(0u, bot.Finish()) << "a window showed:\n" << bot.Output;
        WaitFirstInstance();
        EXPECT_FALSE(seeds.Present()) << "the integration was removed";
        for (const std::string &e : ProductEntries)
            EXPECT_FALSE(Exists(In(e))) << e;
        EXPECT_TRUE(BatchFileDone({Program, Folder}));
    }
}

TEST_F(UninstallE2E, MissingListShowsErrorAndTouchesNothing)
{
    SeededIntegration seeds;
    ASSERT_TRUE(seeds.Fresh);
    for (bool silent : {false, true})
    {
        SCOPED_TRACE(silent ? "silent" : "asked");
        Stage("Velmor " + std::to_string(Stages));
        Make(ProductEntries);
        std::vector<std::string> files = Listing(Folder);
        std::string keys = seeds.Snapshot();

        Robot first, error;
        if (silent)
        {
            Launch("/s", "", &first, L"--timeout 30000 --press #1");
            ASSERT_EQ(0u, first.Finish()) << first.Output;
            error.Fields = first.Fields;
        }
        else
        {
            Launch("", "", &first, L"--timeout 30000 --press #6");
            ASSERT_EQ(0u, first.Finish()) << first.Output;
            EXPECT_EQ(Shown(5107), first.Fields["text"]);
            ASSERT_EQ(0u, Next(first.Fields["text"], &error, L"--timeout 30000 --press #1"))
                << error.Output;
        }
        EXPECT_EQ(Shown(5104), error.Fields["caption"]);
        EXPECT_EQ(ShownWith(5108, "Uninstall.lst"), error.Fields["text"]);
        EXPECT_NE(std::string::npos, error.Fields["text"].find("Uninstall.lst"));
        WaitFirstInstance();
        EXPECT_EQ(files, Listing(Folder));
        EXPECT_EQ(keys, seeds.Snapshot());
        EXPECT_EQ(0u, Listing(Temp).size()) << "no batch file";
    }
}

// ------------------------------------------------------ files in use

TEST_F(UninstallE2E, FilesInUseAreMovedOrScheduled)
{
    struct Case
    {
        const char *Name;
        bool Silent;
        bool OpenFile;       // Velmor.exe open without share-delete
        bool TmpNameTaken;   // vmzext.dll.0.tmp exists already
    } cases[] = {
        {"loaded module only, silent", true, false, false},
        {"module and open file, silent", true, true, true},
        {"module and open file, asked", false, true, false},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.Name);
        PendingOperations pending;
        Wininit wininit;
        Stage("Velmor " + std::to_string(Stages));
        ASSERT_TRUE(CopyFileA((TestDir() + "vmzlng_fixture.dll").c_str(), In("vmzext.dll").c_str(),
                              FALSE));
        Make({"Velmor.exe", "order.htm"});
        if (c.TmpNameTaken)
            Make({"vmzext.dll.0.tmp"});
        WriteList("vmzext.dll\r\nVelmor.exe\r\norder.htm\r\n");
        std::string tmp = In(c.TmpNameTaken ? "vmzext.dll.1.tmp" : "vmzext.dll.0.tmp");
        {
            Holder loaded("load", In("vmzext.dll"));
            ASSERT_TRUE(loaded.Held);
            std::unique_ptr<Holder> open;
            if (c.OpenFile)
            {
                open.reset(new Holder("open", In("Velmor.exe")));
                ASSERT_TRUE(open->Held);
            }

            Robot bot;
            if (!c.OpenFile)
            {
                Launch("/s", "", &bot, L"--expect-none --timeout 60000");
                EXPECT_EQ(0u, bot.Finish()) << "no restart notice:\n" << bot.Output;
            }
            else
            {
                Robot question, look, press;
                if (c.Silent)
                    Launch("/s", "", &look, L"--timeout 60000");
                else
                {
                    Launch("", "", &question, L"--timeout 30000 --press #6");
                    ASSERT_EQ(0u, question.Finish()) << question.Output;
                    EXPECT_EQ(Shown(5107), question.Fields["text"]);
                    WaitMessageGone(Proc->Info.dwProcessId, question.Fields["text"]);
                    ASSERT_TRUE(look.Start(L"--pid " + std::to_wstring(Proc->Info.dwProcessId) +
                                           L" --timeout 60000"));
                }
                ASSERT_EQ(0u, look.Finish()) << look.Output;
                EXPECT_EQ(Shown(5104), look.Fields["caption"]);
                EXPECT_EQ(Shown(5114), look.Fields["text"]);
                // The notice comes after the passes.
                EXPECT_FALSE(Exists(In("order.htm")));
                EXPECT_FALSE(Exists(In("vmzext.dll")));
                EXPECT_TRUE(Exists(tmp));
                EXPECT_FALSE(Exists(Batch)) << "the batch file comes after the notice";
                ASSERT_TRUE(press.Start(L"--pid " + std::to_wstring(Proc->Info.dwProcessId) +
                                        L" --timeout 30000 --press #1"));
                ASSERT_EQ(0u, press.Finish()) << press.Output;
            }
            WaitFirstInstance();
            EXPECT_FALSE(Exists(In("order.htm")));
            EXPECT_FALSE(Exists(In("vmzext.dll"))) << "moved to a tmp name";
            EXPECT_TRUE(Exists(tmp));
            if (c.TmpNameTaken)
            {
                EXPECT_TRUE(Exists(In("vmzext.dll.0.tmp"))) << "a taken name stays";
            }
            EXPECT_EQ(c.OpenFile, Exists(In("Velmor.exe")));

            // What waits for the restart: the tmp name, and the open file's
            // own name (once per pass that tried it).
            std::set<std::string> want = {tmp};
            if (c.OpenFile)
                want.insert(In("Velmor.exe"));
            std::set<std::string> got;
            if (IsNt())
            {
                for (const std::string &name : pending.Deletions())
                {
                    std::string upper = name;
                    for (const std::string &w : want)
                        if (lstrcmpiA(w.c_str(), name.c_str()) == 0)
                            upper = w;
                    got.insert(upper);
                }
                EXPECT_EQ(wininit.Saved, [&] {
                    std::string text;
                    ReadFileBytes(wininit.Path, &text);
                    return text;
                }()) << "wininit.ini is the 9x way";
            }
            else
            {
                std::set<std::string> shortWant;
                for (const std::string &w : want)
                {
                    char s[MAX_PATH];
                    DWORD n = GetShortPathNameA(w.c_str(), s, MAX_PATH);
                    shortWant.insert(n > 0 && n < MAX_PATH ? s : w);
                }
                want = shortWant;
                for (const std::string &line : wininit.NulLines())
                    got.insert(line);
                EXPECT_EQ(0u, pending.Deletions().size());
            }
            EXPECT_EQ(want, got);

            // The batch file still removes the program; the folder stays
            // with what is in use.
            EXPECT_TRUE(BatchFileDone({Program}));
            EXPECT_TRUE(Exists(Folder));
        }
        // The holders are gone: the scheduled files go now, not at a
        // restart (and the program, where no batch file ran).
        for (const char *name :
             {"vmzext.dll.0.tmp", "vmzext.dll.1.tmp", "Velmor.exe", "uninstall.exe"})
        {
            SetFileAttributesA(In(name).c_str(), 0);
            DeleteFileA(In(name).c_str());
        }
        EXPECT_TRUE(RemoveDirectoryA(Folder.c_str())) << "nothing else was left";
    }
}

// ----------------------------------------------------- the batch file

TEST_F(UninstallE2E, HeldProgramFileGetsNoticeAndBatchFileStillGoes)
{
    if (!IsNt())
        GTEST_SKIP() << "the 9x batch file runs through Wine's command interpreter all the same";
    Stage("Velmor");
    Make(ProductEntries);
    WriteList(ProductList);

    // Held from the start: the batch file can neither delete nor rename it.
    Holder held("open", Program);
    ASSERT_TRUE(held.Held);
    Robot first;
    Launch("/s", "", &first, L"--expect-none --timeout 60000");
    EXPECT_EQ(0u, first.Finish()) << first.Output;
    WaitFirstInstance();

    // The batch file's last resort: the program run with /warning.
    Robot notice;
    ASSERT_TRUE(notice.Start(L"--exe uninstall.exe --timeout 90000 --press #1", false));
    ASSERT_EQ(0u, notice.Finish(120000)) << notice.Output;
    EXPECT_EQ(Shown(5104), notice.Fields["caption"]);
    EXPECT_EQ(Shown(5105) + "\n" + ShownWith(5106, Program), notice.Fields["text"]);
    EXPECT_TRUE(WaitForBatch({})) << "the batch file deletes itself after the notice";
    EXPECT_TRUE(Exists(Program));
    EXPECT_TRUE(Exists(Folder));
    held.Release();
}

// Program folders whose names the command interpreter could misread: '%'
// (doubled in the batch file), '&', blanks, letters of the ANSI code page
// with an OEM form (written in the OEM code page) and without one (written
// as the short name).
TEST_F(UninstallE2E, CodePageFolderNamesGoWithTheBatchFile)
{
    std::vector<std::string> names;   // UTF-8
    if (GetACP() == 1252)
        names = {"Caf\xc3\xa9 100%", "Price \xe2\x82\xac list", "50% & more %TEMP%"};
    else if (GetACP() == 936)
        names = {"\xe5\x8d\xb8\xe8\xbd\xbd 100% & \xe6\x9b\xb4\xe5\xa4\x9a",   // 卸载 100% & 更多
                 "%PATH% & \xe5\x8e\x8b\xe7\xbc\xa9"};                           // %PATH% & 压缩
    else
        names = {"100% & more %TEMP%"};
    for (const std::string &name : names)
    {
        SCOPED_TRACE(name);
        std::string ansi = AnsiFromUtf8(name);
        ASSERT_EQ(name, Utf8FromAnsi(ansi)) << "not a name of this code page";
        Stage(ansi);
        Make({"Velmor.exe", "Formats\\", "Formats\\7z.dll"});
        WriteList("Velmor.exe\r\nFormats\r\nFormats\\7z.dll\r\n");
        Robot bot;
        Launch("/s", "", &bot, L"--expect-none --timeout 60000");
        EXPECT_EQ(0u, bot.Finish()) << bot.Output;
        WaitFirstInstance();
        EXPECT_FALSE(Exists(In("Velmor.exe")));
        EXPECT_TRUE(BatchFileDone({Program, Folder}))
            << "left: program " << Exists(Program) << ", folder " << Exists(Folder) << ", batch "
            << Exists(Batch);
    }
}

// ------------------------------------------------- cleanup round trip

// The registry that setup writes and uninstall gives back, one line per key
// and value, each with its root: the whole of HKEY_CLASSES_ROOT, the
// machine keys of the integration and the user's software keys.
// The lines of one state that the other lacks, as "- line" and "+ line".
std::string Diff(const std::set<std::string> &before, const std::set<std::string> &after)
{
    std::vector<std::string> lost, added;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::back_inserter(lost));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    std::string diff;
    for (const std::string &line : lost)
        diff += "- " + line + "\n";
    for (const std::string &line : added)
        diff += "+ " + line + "\n";
    return diff;
}

std::set<std::string> RegistryState()
{
    std::set<std::string> lines;
    auto add = [&lines](const char *tag, HKEY root, const std::string &path) {
        std::string snapshot = SnapshotKey(root, path);
        for (size_t at = 0; at < snapshot.size();)
        {
            size_t end = snapshot.find('\n', at);
            lines.insert(std::string(tag) + snapshot.substr(at, end - at));
            at = end + 1;
        }
    };
    add("HKCR", HKCR, "");
    for (const char *key : {"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                            "Software\\RegisteredApplications", "Software\\Velmor"})
        add("HKLM\\", HKLM, key);
    add("HKCU\\", HKCU, "Software");
    return lines;
}

// What the shell extension's removal keeps: the handler keys below the
// shell's own classes and those classes' keys (their values go, the keys
// stay, since other extensions live there too), the list of approved
// extensions and the list of registered applications. Keys only, never a
// value.
bool IsKeptHandlerKey(const std::string &line)
{
    if (line.empty() || line.back() != '\t' || line.find('\t') != line.size() - 1)
        return false;   // a value, not a key
    std::string upper = line;
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    for (const char *kept : {"HKCR\\*\t", "HKCR\\FOLDER\t", "HKCR\\DIRECTORY\t",
                             "HKCR\\DRIVE\t", "HKCR\\EXEFILE\t",
                             "HKCR\\*\\SHELLEX\t", "HKCR\\*\\SHELLEX\\",
                             "HKCR\\FOLDER\\SHELLEX\t", "HKCR\\FOLDER\\SHELLEX\\",
                             "HKCR\\DIRECTORY\\SHELLEX\t", "HKCR\\DIRECTORY\\SHELLEX\\",
                             "HKCR\\DRIVE\\SHELLEX\t", "HKCR\\DRIVE\\SHELLEX\\",
                             "HKCR\\EXEFILE\\SHELLEX\t", "HKCR\\EXEFILE\\SHELLEX\\",
                             "HKLM\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS\\APPROVED\t",
                             "HKLM\\SOFTWARE\\REGISTEREDAPPLICATIONS\t"})
        if (upper.compare(0, strlen(kept), kept) == 0)
            return true;
    return false;
}

// The product's files and folders in the desktop, Start menu and Programs
// folders of the user and of all users.
std::vector<std::string> ProductShortcuts()
{
    std::vector<std::string> found;
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU,
                      CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
    {
        wchar_t folder[MAX_PATH];
        if (FAILED(SHGetFolderPathW(NULL, csidl, NULL, 0, folder)))
            continue;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((std::wstring(folder) + L"\\*Velmor*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do
            found.push_back(Utf8FromWide(std::wstring(folder) + L"\\" + fd.cFileName));
        while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

// Other programs that own .zip (with its MIME type and New-menu entry) and
// .7z before setup; removed again at the end.
class ForeignOwners
{
public:
    ForeignOwners()
    {
        for (const char *key : Keys)
            Fresh = Fresh && !KeyExists(HKCR, key);
        if (!Fresh)
            return;
        const std::string command = "\"" + TestDir() + "OtherArc.exe\" \"%1\"";
        PutString(HKCR, ".zip", "", "OtherArc.zip");
        PutString(HKCR, ".zip", "Content Type", "application/x-zip-compressed");
        PutString(HKCR, ".zip\\ShellNew", "NullFile", "");
        PutString(HKCR, "OtherArc.zip", "", "Other ZIP archive");
        PutString(HKCR, "OtherArc.zip\\shell\\open\\command", "", command);
        PutString(HKCR, ".7z", "", "OtherArc.7z");
        PutString(HKCR, "OtherArc.7z", "", "Other 7z archive");
        PutString(HKCR, "OtherArc.7z\\shell\\open\\command", "", command);
    }
    ~ForeignOwners()
    {
        if (Fresh)
            for (const char *key : Keys)
                DeleteKeyTree(HKCR, key);
    }
    bool Fresh = true;

private:
    static constexpr const char *Keys[] = {".zip", ".7z", "OtherArc.zip", "OtherArc.7z"};
};
constexpr const char *ForeignOwners::Keys[];

// Files that setup writes beside this test program: the shell extension
// module it registers, and the New-menu templates.
struct FilesBesideTests
{
    ~FilesBesideTests()
    {
        for (const char *name : {"vmzext.dll", "vmznew.dat", "zipnew.dat"})
            DeleteFileA((TestDir() + name).c_str());
    }
};

TEST_F(UninstallE2E, CleanupRoundTripGivesTheRegistryBack)
{
    std::string version = ExpectedWinVersion();
    if (version != "win7" && version != "winxp64")
        GTEST_SKIP() << "the shell extension and Default Programs differ from " << version;
    ForeignOwners owners;
    ASSERT_TRUE(owners.Fresh) << "the prefix has owners of .zip or .7z already";
    ASSERT_EQ(0u, ProductShortcuts().size());
    std::set<std::string> before = RegistryState();
    printf("registry lines compared: %u\n", (unsigned)before.size());

    // Setup with every choice on, in this process: it names this test
    // program's folder as the product's.
    FilesBesideTests files;
    ASSERT_TRUE(CopyFileA((TestDir() + "vmzlng_fixture.dll").c_str(),
                          (TestDir() + "vmzext.dll").c_str(), FALSE));
    ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
    LanguageModule.LoadLangModule(GetModuleHandleA(NULL));
    IntegrationSettings on;
    memset(&on, 0, sizeof(on));
    for (int row = 0; row < ArchiveTypeCount; ++row)
        on.Associate[row] = 1;
    on.Desktop = on.StartMenu = on.Programs = on.ShellExt = on.CascadedMenu = on.MenuIcons = 1;
    SaveSettings(&on);
    char group[1024] = "";
    bool applied = ApplyIntegration(&on, group);
    RegisterUninstallEntry();
    CoUninitialize();
    ASSERT_TRUE(applied);
    EXPECT_EQ("Velmor.ZIP", ReadString(HKCR, ".zip", ""));
    EXPECT_TRUE(KeyExists(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver"));
    EXPECT_LT(0u, ProductShortcuts().size());
    std::set<std::string> setUp = RegistryState();
    EXPECT_LT(100u, Diff(before, setUp).size()) << "setup wrote keys";

    // The real program removes it all.
    Stage("Velmor");
    Make(ProductEntries);
    WriteList(ProductList);
    Robot bot;
    Launch("/s", "", &bot, L"--expect-none --timeout 60000");
    EXPECT_EQ(0u, bot.Finish()) << bot.Output;
    WaitFirstInstance();
    EXPECT_TRUE(BatchFileDone({Program, Folder}));

    std::set<std::string> after = RegistryState();
    std::vector<std::string> lost, added, unexpected;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::back_inserter(lost));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    for (const std::string &line : added)
        if (!IsKeptHandlerKey(line))
            unexpected.push_back(line);
    std::string diff;
    for (const std::string &line : lost)
        diff += "- " + line + "\n";
    for (const std::string &line : added)
        diff += (IsKeptHandlerKey(line) ? "  (kept) + " : "+ ") + line + "\n";
    EXPECT_EQ(0u, lost.size()) << diff;
    EXPECT_EQ(0u, unexpected.size()) << diff;
    printf("left after uninstall: %u empty handler keys\n", (unsigned)(added.size() - unexpected.size()));
    EXPECT_EQ(std::vector<std::string>(), ProductShortcuts());

    // The kept keys are empty; those that were not there before go too.
    for (auto it = added.rbegin(); it != added.rend(); ++it)
    {
        std::string line = *it;
        if (!IsKeptHandlerKey(line))
            continue;
        std::string path = line.substr(5, line.size() - 6);   // without the root and the tab
        RegDeleteKeyA(line.compare(0, 4, "HKCR") == 0 ? HKCR : HKLM, path.c_str());
    }
    EXPECT_EQ("", Diff(before, RegistryState())) << "the test's own clean-up";
}

} // namespace
