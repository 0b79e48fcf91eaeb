// The uninstall procedure's own work: list lines, the entries it may act
// on, the deletion passes over real folders, files in use held by another
// process, scheduling at restart (the system's pending operations on NT,
// wininit.ini on 9x) and the self-removal batch file's bytes.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/os.h"
#include "setup/removal.h"
#include "setup/uninstall.h"
#include "support/restart.h"
#include "support/testutil.h"

namespace {

// ------------------------------------------------------------- list lines

// The list's lines as ReadListLine gives them: "<line>" or "!<line>" when
// reported unusable.
std::vector<std::string> ReadAll(const std::string &bytes, size_t size)
{
    std::vector<std::string> lines;
    char path[MAX_PATH];
    GetTempFileNameA(TestDir().c_str(), "lst", 0, path);
    WriteFileBytes(path, bytes);
    FILE *f = fopen(path, "rb");
    std::vector<char> line(size + 1, 'x');
    bool usable;
    while (f != NULL && ReadListLine(f, line.data(), size, &usable))
        lines.push_back((usable ? "" : "!") + std::string(line.data()));
    if (f != NULL)
        fclose(f);
    DeleteFileA(path);
    return lines;
}

TEST(UninstallText, ListLines)
{
    EXPECT_EQ((std::vector<std::string>{"a.txt\r", "", "b  ", "last"}),
              ReadAll("a.txt\r\n\nb  \nlast", 16));
    EXPECT_EQ((std::vector<std::string>{}), ReadAll("", 16));
    EXPECT_EQ((std::vector<std::string>{"x"}), ReadAll("x\n", 16));
    // A line longer than the buffer is one unusable line, not two entries:
    // its second piece would name another path.
    EXPECT_EQ((std::vector<std::string>{"!0123456", "next"}), ReadAll("0123456789abc\nnext\n", 8));
    EXPECT_EQ((std::vector<std::string>{"0123456", "next"}), ReadAll("0123456\nnext\n", 8));
    // A zero byte would cut the name at it.
    EXPECT_EQ((std::vector<std::string>{"!a", "b"}), ReadAll(std::string("a\0b.dll\nb\n", 10), 16));
    // CR alone does not end a line.
    EXPECT_EQ((std::vector<std::string>{"a\rb\r"}), ReadAll("a\rb\r", 16));
}

TEST(UninstallText, SafeListEntries)
{
    struct Case
    {
        const char *Entry;
        bool Safe;
    } cases[] = {
        {"Velmor.exe", true},
        {"Formats\\7z.dll", true},
        {"Formats\\", true},
        {"\\Formats\\x.dll", true},
        {"a..b\\c...d.txt", true},
        {".hidden", true},
        {"..\\other.dll", false},
        {"Formats\\..\\..\\boot.ini", false},
        {"Formats/../x", false},
        {"..", false},
        {"a\\..", false},
        {"a\\... \\x", false},
        {"a\\. .\\x", false},
        {"a\\.\\x", true},
        {"C:\\Windows\\x.dll", false},
        {"Velmor.exe:stream", false},
        {"\\\\?\\C:\\x", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.Safe, IsSafeListEntry(c.Entry)) << c.Entry;
}

// ------------------------------------------------------------ batch text

TEST(UninstallText, BatchTextNt)
{
    char text[BatchTextSize];
    size_t n = BuildBatchText(text, sizeof(text), "C:\\Prog\\uninstall.exe", "C:\\Prog",
                              "C:\\TEMP\\Uninstall_Vmz.Bat", true);
    std::string expected = "\"C:\\Prog\\uninstall.exe\" /wait\r\n";
    for (int i = 0; i < 5; ++i)
        expected += "del \"C:\\Prog\\uninstall.exe\"\r\n"
                    "rd \"C:\\Prog\"\r\n"
                    "if not exist \"C:\\Prog\\uninstall.exe\" goto done\r\n";
    expected += ":done\r\n"
                "if exist \"C:\\Prog\\uninstall.exe\" \"C:\\Prog\\uninstall.exe\" /warning\r\n"
                "del \"C:\\TEMP\\Uninstall_Vmz.Bat\"";
    EXPECT_EQ(expected, std::string(text, n));
    EXPECT_EQ(strlen(text), n);
}

TEST(UninstallText, BatchText9xStartsThroughStartWait)
{
    char nt[BatchTextSize], old[BatchTextSize];
    size_t a = BuildBatchText(nt, sizeof(nt), "C:\\Prog\\uninstall.exe", "C:\\Prog", "C:\\T\\b.bat",
                              true);
    size_t b = BuildBatchText(old, sizeof(old), "C:\\Prog\\uninstall.exe", "C:\\Prog",
                              "C:\\T\\b.bat", false);
    EXPECT_EQ("start /wait " + std::string(nt, a), std::string(old, b));
}

TEST(UninstallText, BatchPathsDoublePercent)
{
    char text[BatchTextSize];
    size_t n = BuildBatchText(text, sizeof(text), "C:\\100%Tools\\%PATH%\\u.exe",
                              "C:\\100%Tools\\%PATH%", "C:\\T\\b.bat", true);
    ASSERT_GT(n, 0u);
    std::string s(text, n);
    EXPECT_EQ(0u, s.find("\"C:\\100%%Tools\\%%PATH%%\\u.exe\" /wait\r\n"));
    EXPECT_NE(std::string::npos, s.find("rd \"C:\\100%%Tools\\%%PATH%%\"\r\n"));
    // Every run of '%' has an even length: none is left single.
    for (size_t at = s.find('%'); at != std::string::npos; at = s.find('%', at))
    {
        size_t run = s.find_first_not_of('%', at) - at;
        EXPECT_EQ(0u, run % 2) << "at " << at;
        at += run;
    }

    char small[8] = "xxxxxxx";
    size_t at = 2;
    strcpy(small, "ab");
    EXPECT_FALSE(AppendBatchPath(small, sizeof(small), &at, "c%d%e"));
    EXPECT_EQ(2u, at);
    EXPECT_STREQ("ab", small);
    EXPECT_TRUE(AppendBatchPath(small, sizeof(small), &at, "c%d"));
    EXPECT_STREQ("abc%%d", small);
}

TEST(UninstallText, BatchTextTooLongGivesNothing)
{
    // Paths of 1023 bytes full of '%' still fit the batch buffer.
    std::string path(1023, '%');
    static char text[BatchTextSize];
    size_t n = BuildBatchText(text, sizeof(text), path.c_str(), path.c_str(), path.c_str(), true);
    EXPECT_GT(n, 0u);
    EXPECT_EQ(n, strlen(text));
    char small[300];
    EXPECT_EQ(0u, BuildBatchText(small, sizeof(small), "C:\\Prog\\uninstall.exe", "C:\\Prog",
                                 "C:\\T\\b.bat", true));
    EXPECT_STREQ("", small);
}

// -------------------------------------------------------------- wininit

std::string AddRename(const std::string &text, const char *name, size_t outSize = 4096)
{
    std::vector<char> out(outSize + 1, 'x');
    size_t n = AddRenameEntry(text.data(), text.size(), name, out.data(), outSize);
    return n == 0 ? "<none>" : std::string(out.data(), n);
}

TEST(UninstallText, WininitRenameLines)
{
    struct Case
    {
        std::string Before;
        std::string After;
    } cases[] = {
        {"", "[Rename]\r\nNUL=C:\\P\\A.TMP\r\n"},
        {"[Other]\r\nx=1\r\n", "[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\P\\A.TMP\r\n"},
        {"[Other]\r\nx=1", "[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\P\\A.TMP\r\n"},
        // A second file gets a line of its own behind the first.
        {"[Rename]\r\nNUL=C:\\P\\B.DLL\r\n",
         "[Rename]\r\nNUL=C:\\P\\B.DLL\r\nNUL=C:\\P\\A.TMP\r\n"},
        {"[rename]\r\nNUL=C:\\P\\B.DLL", "[rename]\r\nNUL=C:\\P\\B.DLL\r\nNUL=C:\\P\\A.TMP\r\n"},
        // Other sections and blank lines stay where they were.
        {"; comment\r\n[Rename]\r\nC:\\NEW.SYS=C:\\OLD.SYS\r\n\r\n[Other]\r\ny=2\r\n",
         "; comment\r\n[Rename]\r\nC:\\NEW.SYS=C:\\OLD.SYS\r\nNUL=C:\\P\\A.TMP\r\n\r\n[Other]\r\ny=2\r\n"},
        {"  [ Rename ]\n", "  [ Rename ]\n[Rename]\r\nNUL=C:\\P\\A.TMP\r\n"},
        {" [RENAME] \n", " [RENAME] \nNUL=C:\\P\\A.TMP\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.After, AddRename(c.Before, "C:\\P\\A.TMP")) << c.Before;
    EXPECT_EQ("<none>", AddRename("[Rename]\r\n", "C:\\P\\A.TMP", 20));
}

// ------------------------------------------------------- deletion passes

// A program folder staged from a list of entries ("x\" a folder).
class Passes : public ::testing::Test
{
protected:
    Passes() : Dir("uninstall-passes") {}

    void Make(const std::vector<std::string> &entries)
    {
        for (const std::string &e : entries)
        {
            std::string path = Dir.File(e.c_str());
            if (!e.empty() && e.back() == '\\')
                ASSERT_TRUE(CreateDirectoryA(path.c_str(), NULL)) << e;
            else
                ASSERT_TRUE(WriteFileBytes(path, "data of " + e)) << e;
        }
    }

    bool Exists(const std::string &entry) const
    {
        return GetFileAttributesA(Dir.File(entry.c_str()).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Runs the passes over the list text; the list lies outside the folder.
    int Run(const std::string &listText, bool *restart)
    {
        std::string listPath = TestDir() + "passes-list.tmp";
        EXPECT_TRUE(WriteFileBytes(listPath, listText));
        FILE *list = fopen(listPath.c_str(), "rb");
        EXPECT_NE(nullptr, list);
        if (list == NULL)
            return -1;
        int passes = RunDeletionPasses(list, Dir.Path().c_str(), "uninstall.exe", restart);
        fclose(list);
        DeleteFileA(listPath.c_str());
        return passes;
    }

    ScratchDir Dir;
};

TEST_F(Passes, FoldersBeforeContentsTakeDepthPlusOnePasses)
{
    Make({"Velmor.exe", "Doc\\", "Doc\\a\\", "Doc\\a\\b\\", "Doc\\a\\b\\deep.txt",
          "Doc\\readme.txt", "keep.txt", "Doc\\a\\mine.txt"});
    SetFileAttributesA(Dir.File("Doc\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    bool restart = false;
    int passes = Run("Doc\\\r\nDoc\\a\r\nDoc\\a\\b\\  \r\n\r\n   \t\r\nmissing.dll\r\n"
                     "Doc\\a\\b\\deep.txt\nDoc\\readme.txt\r\nVelmor.exe\t \r\n",
                     &restart);
    // The files go in the first pass, the emptied b in the second; the
    // third removes nothing. Doc\a stays, since it holds an unlisted file.
    EXPECT_EQ(3, passes);
    for (const char *gone : {"Velmor.exe", "Doc\\a\\b\\deep.txt", "Doc\\a\\b", "Doc\\readme.txt"})
        EXPECT_FALSE(Exists(gone)) << gone;
    for (const char *kept : {"keep.txt", "Doc\\a\\mine.txt", "Doc\\a", "Doc"})
        EXPECT_TRUE(Exists(kept)) << kept;
    EXPECT_FALSE(restart);

    DeleteFileA(Dir.File("Doc\\a\\mine.txt").c_str());
    EXPECT_EQ(3, Run("Doc\r\nDoc\\a\\\r\n", &restart)) << "a\\ then Doc, then nothing";
    EXPECT_FALSE(Exists("Doc"));
}

TEST_F(Passes, NestingDepthTable)
{
    for (int depth = 1; depth <= 6; ++depth)
    {
        std::string list, path;
        std::vector<std::string> make;
        for (int level = 1; level < depth; ++level)
        {
            path += "d" + std::to_string(level) + "\\";
            make.push_back(path);
            list += path + "\r\n";   // folders before their contents
        }
        make.push_back(path + "f.txt");
        list += path + "f.txt\r\n";
        Make(make);
        bool restart = false;
        EXPECT_EQ(depth + 1, Run(list, &restart)) << "depth " << depth;
        EXPECT_FALSE(Exists("d1")) << "depth " << depth;
        EXPECT_FALSE(Exists("f.txt"));
    }
}

TEST_F(Passes, ProgramFileAndListAreLeftAlone)
{
    Make({"UNINSTALL.EXE", "Uninstall.lst", "sub\\", "sub\\uninstall.exe"});
    // Locked like the running program and the open list are.
    HANDLE a = CreateFileA(Dir.File("UNINSTALL.EXE").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                           OPEN_EXISTING, 0, NULL);
    HANDLE b = CreateFileA(Dir.File("Uninstall.lst").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                           OPEN_EXISTING, 0, NULL);
    HANDLE c = CreateFileA(Dir.File("sub\\uninstall.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                           NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, a);
    ASSERT_NE(INVALID_HANDLE_VALUE, b);
    ASSERT_NE(INVALID_HANDLE_VALUE, c);
    bool restart = false;
    EXPECT_EQ(1, Run("uninstall.exe\r\nuninstall.LST\r\nsub\\Uninstall.Exe\r\nsub\r\n", &restart));
    CloseHandle(a);
    CloseHandle(b);
    CloseHandle(c);
    EXPECT_FALSE(restart) << "never moved or scheduled, so no restart";
    for (const char *kept : {"UNINSTALL.EXE", "Uninstall.lst", "sub\\uninstall.exe"})
        EXPECT_TRUE(Exists(kept)) << kept;
    EXPECT_FALSE(Exists("UNINSTALL.EXE.0.tmp"));
    EXPECT_FALSE(Exists("sub\\uninstall.exe.0.tmp"));
}

TEST_F(Passes, NothingOutsideTheFolder)
{
    ScratchDir outside("uninstall-outside");
    ASSERT_TRUE(WriteFileBytes(outside.File("victim.txt"), "not the product's"));
    ASSERT_TRUE(CreateDirectoryA(outside.File("empty").c_str(), NULL));
    Make({"in.txt"});
    std::string drive = outside.File("victim.txt");   // "C:\..."
    std::string list = "..\\uninstall-outside\\victim.txt\r\n"
                       "..\\uninstall-outside\\empty\r\n"
                       "in.txt\\..\\..\\uninstall-outside\\victim.txt\r\n"
                       "... \\uninstall-outside\\victim.txt\r\n" +
                       drive + "\r\n" + "C:victim.txt\r\n" + "in.txt:data\r\n" +
                       std::string(3000, 'a') + "\\..\\..\\..\\uninstall-outside\\victim.txt\r\n";
    bool restart = false;
    EXPECT_EQ(1, Run(list, &restart));
    EXPECT_TRUE(GetFileAttributesA(outside.File("victim.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(GetFileAttributesA(outside.File("empty").c_str()) != INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(Exists("in.txt"));
}

// ---------------------------------------------------------- files in use

class InUse : public Passes
{
protected:
    void SetUp() override
    {
        // A module of the folder: the language module fixture, a real DLL.
        ASSERT_TRUE(CopyFileA((TestDir() + "vmzlng_fixture.dll").c_str(),
                              Dir.File("vmzext.dll").c_str(), FALSE));
        Make({"vmzext.dll.0.tmp", "Velmor.exe", "order.htm"});
    }
    void TearDown() override
    {
        // Scheduled names would be deleted at a restart the test never has.
        for (const char *name : {"vmzext.dll", "vmzext.dll.0.tmp", "vmzext.dll.1.tmp", "Velmor.exe"})
        {
            SetFileAttributesA(Dir.File(name).c_str(), 0);
            DeleteFileA(Dir.File(name).c_str());
        }
    }
    std::string Short(const char *entry)
    {
        char s[MAX_PATH];
        DWORD n = GetShortPathNameA(Dir.File(entry).c_str(), s, MAX_PATH);
        return n > 0 && n < MAX_PATH ? s : "";
    }
};

TEST_F(InUse, LoadedModuleMovesToFreeTmpNameOpenFileWaitsForRestart)
{
    PendingOperations pending;
    Wininit wininit;
    Holder loaded("load", Dir.File("vmzext.dll"));
    ASSERT_TRUE(loaded.Held);
    Holder open("open", Dir.File("Velmor.exe"));
    ASSERT_TRUE(open.Held);
    // What each holder allows, on this system.
    ASSERT_FALSE(DeleteFileA(Dir.File("vmzext.dll").c_str()));
    ASSERT_FALSE(DeleteFileA(Dir.File("Velmor.exe").c_str()));

    bool restart = false;
    int passes = Run("vmzext.dll\r\nVelmor.exe\r\norder.htm\r\n", &restart);
    EXPECT_EQ(2, passes) << "moves and schedules count as no removal";
    EXPECT_FALSE(Exists("order.htm"));
    EXPECT_FALSE(Exists("vmzext.dll")) << "moved away";
    EXPECT_TRUE(Exists("vmzext.dll.0.tmp")) << "an existing tmp name is not taken";
    EXPECT_TRUE(Exists("vmzext.dll.1.tmp"));
    EXPECT_TRUE(Exists("Velmor.exe"));
    EXPECT_TRUE(restart) << "Velmor.exe could not be moved";

    std::string tmp = Dir.File("vmzext.dll.1.tmp"), own = Dir.File("Velmor.exe");
    if (NtVersion() != 0)
    {
        std::vector<std::string> scheduled = pending.Deletions();
        // Velmor.exe is tried again in the second pass and scheduled again;
        // deleting it twice at restart is harmless.
        ASSERT_EQ(3u, scheduled.size());
        EXPECT_EQ(0, lstrcmpiA(tmp.c_str(), scheduled[0].c_str())) << scheduled[0];
        EXPECT_EQ(0, lstrcmpiA(own.c_str(), scheduled[1].c_str())) << scheduled[1];
        EXPECT_EQ(0, lstrcmpiA(own.c_str(), scheduled[2].c_str())) << scheduled[2];
        EXPECT_EQ(wininit.Saved, wininit.Text()) << "wininit.ini is the 9x way only";
    }
    else
    {
        // One line of its own per file, by short name.
        std::string text = wininit.Text();
        std::string first = "NUL=" + Short("vmzext.dll.1.tmp") + "\r\n";
        std::string second = "NUL=" + Short("Velmor.exe") + "\r\n";
        EXPECT_NE(std::string::npos, text.find("[Rename]\r\n" + first + second + second)) << text;
        EXPECT_EQ(0u, pending.Deletions().size());
    }
}

TEST_F(InUse, AllTmpNamesTakenSchedulesOwnName)
{
    PendingOperations pending;
    Wininit wininit;
    for (int i = 1; i < 1000; ++i)
        ASSERT_TRUE(WriteFileBytes(Dir.File(("vmzext.dll." + std::to_string(i) + ".tmp").c_str()), ""));
    Holder loaded("load", Dir.File("vmzext.dll"));
    ASSERT_TRUE(loaded.Held);
    bool restart = false;
    HandleFileInUse(Dir.File("vmzext.dll").c_str(), &restart);
    EXPECT_TRUE(restart);
    EXPECT_TRUE(Exists("vmzext.dll"));
    if (NtVersion() != 0)
    {
        std::vector<std::string> scheduled = pending.Deletions();
        ASSERT_EQ(1u, scheduled.size());
        EXPECT_EQ(0, lstrcmpiA(Dir.File("vmzext.dll").c_str(), scheduled[0].c_str()));
    }
    else
        EXPECT_NE(std::string::npos, wininit.Text().find("NUL=" + Short("vmzext.dll") + "\r\n"));
    for (int i = 1; i < 1000; ++i)
        DeleteFileA(Dir.File(("vmzext.dll." + std::to_string(i) + ".tmp").c_str()).c_str());
}

TEST_F(InUse, WininitKeepsOtherLines)
{
    if (NtVersion() != 0)
        GTEST_SKIP() << "wininit.ini is the 9x way";
    Wininit wininit;
    ASSERT_TRUE(WriteFileBytes(wininit.Path, "[Rename]\r\nC:\\NEW.SYS=C:\\OLD.SYS\r\n\r\n[Other]\r\nkeep=1\r\n"));
    ASSERT_TRUE(ScheduleDeleteAtRestart(Dir.File("order.htm").c_str()));
    ASSERT_TRUE(ScheduleDeleteAtRestart(Dir.File("Velmor.exe").c_str()));
    EXPECT_EQ("[Rename]\r\nC:\\NEW.SYS=C:\\OLD.SYS\r\nNUL=" + Short("order.htm") + "\r\nNUL=" +
                  Short("Velmor.exe") + "\r\n\r\n[Other]\r\nkeep=1\r\n",
              wininit.Text());
}

// --------------------------------------------------------- batch file

TEST(UninstallBatch, WrittenBytesAndCodePage)
{
    ScratchDir dir("uninstall-batch");
    // A folder whose name holds letters of the ANSI code page.
    std::string name = ExpectedCodePage() == 1252 ? "Caf\xc3\xa9 100%" : "\xe5\x8d\xb8\xe8\xbd\xbd 100%";
    std::string folder = dir.File(AnsiFromUtf8(name).c_str());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    std::string program = folder + "\\uninstall.exe";
    ASSERT_TRUE(WriteFileBytes(program, "x"));
    std::string batch = dir.File("Uninstall_Vmz.Bat");
    ASSERT_TRUE(WriteUninstallBatch(batch.c_str(), program.c_str(), folder.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(batch, &bytes));

    auto oem = [](const std::string &ansi) {
        std::string s(ansi.size(), '\0');
        CharToOemBuffA(ansi.c_str(), &s[0], (DWORD)ansi.size());
        std::string doubled;
        for (char c : s)
            doubled += c == '%' ? std::string("%%") : std::string(1, c);
        return doubled;
    };
    std::string p = oem(program), f = oem(folder), b = oem(batch);
    std::string want = (NtVersion() != 0 ? "\"" : "start /wait \"") + p + "\" /wait\r\n";
    for (int i = 0; i < 5; ++i)
        want += "del \"" + p + "\"\r\nrd \"" + f + "\"\r\nif not exist \"" + p + "\" goto done\r\n";
    want += ":done\r\nif exist \"" + p + "\" \"" + p + "\" /warning\r\ndel \"" + b + "\"";
    EXPECT_EQ(want, bytes);
    if (GetOEMCP() != GetACP())
    {
        EXPECT_EQ(std::string::npos, bytes.find("\xe9")) << "the ANSI form of the letter";
    }
    DeleteFileA(batch.c_str());
    DeleteFileA(program.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(UninstallBatch, LetterWithoutOemFormUsesShortName)
{
    if (GetACP() != 1252 || GetOEMCP() == 1252)
        GTEST_SKIP() << "needs ANSI 1252 with another OEM code page";
    ScratchDir dir("uninstall-batch-euro");
    std::string folder = dir.File("Price \x80 list");   // the euro sign has no form in 437
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    std::string program = folder + "\\uninstall.exe";
    ASSERT_TRUE(WriteFileBytes(program, "x"));
    std::string batch = dir.File("Uninstall_Vmz.Bat");
    char shortFolder[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(folder.c_str(), shortFolder, MAX_PATH), 0u);
    ASSERT_TRUE(WriteUninstallBatch(batch.c_str(), program.c_str(), folder.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(batch, &bytes));
    EXPECT_NE(std::string::npos, bytes.find("rd \"" + std::string(shortFolder) + "\"\r\n")) << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("?")) << "a '?' would be a wildcard for del";
    DeleteFileA(batch.c_str());
    DeleteFileA(program.c_str());
    RemoveDirectoryA(folder.c_str());
}

} // namespace
