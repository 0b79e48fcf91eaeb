// The language file of the real uninstall.exe, end to end: an uninstall.lng
// beside the program in its folder renames what setup writes (the
// Add/Remove Programs entry, the program group's members, the ProgID
// descriptions) and what uninstall asks. The file is written the way a
// translator's tool writes it: 8-bit text in the ANSI code page, another
// section before the messages, CR LF line ends, escapes in the values; its
// keys are the CRC-32 keys of the program's own strings, taken from the
// string table that this test program links too.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/e2e_support.h"
#include "integration/apply.h"
#include "integration/registration.h"
#include "lang/langtable.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "setup/cleanup.h"
#include "support/testutil.h"

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCR = HKEY_CLASSES_ROOT;

// ------------------------------------------------------ the language file

// A string of the program's table as the program sees it: the ANSI bytes
// that LoadStringA gives, over which its keys are computed.
std::string SourceAnsi(int id)
{
    char text[512] = "";
    LoadStringA(GetModuleHandleA(NULL), (UINT)id, text, sizeof(text));
    return text;
}

std::string SourceShown(int id)
{
    return Utf8FromAnsi(SourceAnsi(id));
}

std::string KeyOf(int id)
{
    char key[LangKeyLength + 1];
    MakeLanguageKey(key, SourceAnsi(id).c_str(), NULL, KindMessage);
    return key;
}

// One message of the file: its value as written in the file (with its
// escapes) and the text the program is to show for it, both UTF-8.
struct Translation
{
    int Id;
    const char *InFile;
    const char *Shown;   // NULL: the same as InFile
};

const Translation Translations[] = {
    // Escaped quotes inside the value are real quotes in the entry.
    {5101, "Velmor \\\"\xe4\xb8\x93\xe4\xb8\x9a\xe7\x89\x88\\\" \xe5\xbd\x92\xe6\xa1\xa3\xe7\xae\xa1"
           "\xe7\x90\x86\xe5\x99\xa8",
     "Velmor \"\xe4\xb8\x93\xe4\xb8\x9a\xe7\x89\x88\" \xe5\xbd\x92\xe6\xa1\xa3\xe7\xae\xa1\xe7\x90\x86"
     "\xe5\x99\xa8"},                                          // Velmor "专业版" 归档管理器
    {5102, "Velmor \xe5\xb8\xae\xe5\x8a\xa9\xe6\x89\x8b\xe5\x86\x8c\xef\xbc\x88\xe7\xae\x80\xe4\xbd"
           "\x93\xef\xbc\x89",
     NULL},                                                    // Velmor 帮助手册（简体）
    {5103, "\xe6\x8e\xa7\xe5\x88\xb6\xe5\x8f\xb0 VMZ \xe7\x94\xa8\xe6\x88\xb7\xe6\x8c\x87\xe5\x8d\x97",
     NULL},                                                    // 控制台 VMZ 用户指南
    {5104, "\xe7\xa7\xbb\xe9\x99\xa4 Velmor \xe7\xa8\x8b\xe5\xba\x8f", NULL},   // 移除 Velmor 程序
    // An escaped line feed is part of the value and does not end its line.
    {5107, "\xe6\x82\xa8\xe7\xa1\xae\xe5\xae\x9a\xe8\xa6\x81\xe7\xa7\xbb\xe9\x99\xa4 Velmor \xe5\x8f"
           "\x8a\xe5\x85\xb6\xe5\x85\xa8\xe9\x83\xa8\xe7\xbb\x84\xe4\xbb\xb6\xe5\x90\x97\xef\xbc\x9f"
           "\\n\xe8\xaf\xb7\xe9\x80\x89\xe6\x8b\xa9\xe3\x80\x82",
     "\xe6\x82\xa8\xe7\xa1\xae\xe5\xae\x9a\xe8\xa6\x81\xe7\xa7\xbb\xe9\x99\xa4 Velmor \xe5\x8f\x8a"
     "\xe5\x85\xb6\xe5\x85\xa8\xe9\x83\xa8\xe7\xbb\x84\xe4\xbb\xb6\xe5\x90\x97\xef\xbc\x9f\n\xe8"
     "\xaf\xb7\xe9\x80\x89\xe6\x8b\xa9\xe3\x80\x82"},          // 您确定要移除 Velmor 及其全部组件吗？ 请选择。
    {5109, "Velmor \xe5\xbd\x92\xe6\xa1\xa3", NULL},           // Velmor 归档
    {5110, "Velmor ZIP \xe5\xbd\x92\xe6\xa1\xa3", NULL},       // Velmor ZIP 归档
    {5111, "VMZ \xe4\xbf\xae\xe5\xa4\x8d\xe5\x8d\xb7", NULL},  // VMZ 修复卷
};

// What the program shows for a translated id, in UTF-8.
std::string Shown(int id)
{
    for (const Translation &t : Translations)
        if (t.Id == id)
            return t.Shown != NULL ? t.Shown : t.InFile;
    return "<no translation of " + std::to_string(id) + ">";
}

const char *InFile(int id)
{
    for (const Translation &t : Translations)
        if (t.Id == id)
            return t.InFile;
    return "";
}

std::string EntryLine(int id, const char *inFileUtf8)
{
    return KeyOf(id) + "=\"" + AnsiFromUtf8(inFileUtf8) + "\"\r\n";
}

// The shortcuts' description (5113) has an entry only in the section before
// the messages, which the program never reads.
const char DecoyDescription[] = "\xe9\x94\x99\xe8\xaf\xaf\xe7\x9a\x84\xe5\x90\x8d\xe7\xa7\xb0";   // 错误的名称

// The file, in the ANSI code page: a comment and another section first,
// then the messages with a comment line and the entries.
std::string LanguageFile()
{
    std::string file = AnsiFromUtf8("; Velmor \xe7\xae\x80\xe4\xbd\x93\xe4\xb8\xad\xe6\x96\x87\r\n")   // 简体中文
                       + "***dialogs***\r\n" + EntryLine(5113, DecoyDescription) + "\r\n" +
                       "***messages***\r\n" +
                       AnsiFromUtf8("; \xe6\xb6\x88\xe6\x81\xaf\r\n");   // 消息
    for (const Translation &t : Translations)
        file += EntryLine(t.Id, t.InFile);
    return file;
}

// The checks need the program's strings to stay apart in this code page:
// where its letters are missing, several strings share one key.
bool SourcesDistinct()
{
    std::set<std::string> keys;
    for (int id = 5101; id <= 5114; ++id)
    {
        wchar_t wide[512] = L"";
        LoadStringW(GetModuleHandleA(NULL), (UINT)id, wide, 512);
        if (SourceShown(id) != Utf8FromWide(wide) || !keys.insert(KeyOf(id)).second)
            return false;
    }
    for (const Translation &t : Translations)
        if (Utf8FromAnsi(AnsiFromUtf8(t.InFile)) != t.InFile)
            return false;
    return true;
}

// ------------------------------------------------------------ the places

bool ExistsW(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The program groups that setup makes on this Windows version: the user's,
// and on the NT family the all users' too.
std::vector<std::wstring> GroupFolders()
{
    std::vector<std::wstring> groups;
    groups.push_back(WideFromUtf8(ShortcutPlacePath(UserGroup)));
    if (NtVersion() != 0)
        groups.push_back(WideFromUtf8(ShortcutPlacePath(CommonGroup)));
    return groups;
}

// The description of a shell link, read back through the link object.
std::string LinkDescription(const std::wstring &link)
{
    std::string description = "<not loadable>";
    IShellLinkW *shellLink = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                (void **)&shellLink)))
        return "<no link object>";
    IPersistFile *file = NULL;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void **)&file)))
    {
        wchar_t text[1024] = L"";
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
            SUCCEEDED(shellLink->GetDescription(text, 1024)))
            description = Utf8FromWide(text);
        file->Release();
    }
    shellLink->Release();
    return description;
}

// Names in a folder, sorted.
std::vector<std::wstring> FolderNames(const std::wstring &folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0)
            names.push_back(fd.cFileName);
    while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// ------------------------------------------------------------ the registry

// The registry that setup writes into and uninstall gives back: the whole
// of HKEY_CLASSES_ROOT and the product's machine and user keys, one line
// per key and value, tagged with its root.
struct Watched
{
    const char *Tag;
    HKEY Root;
    const char *Path;
};

const Watched WatchedKeys[] = {
    {"HKCR", HKCR, ""},
    {"HKLM\\", HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
    {"HKLM\\", HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {"HKLM\\", HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
    {"HKLM\\", HKLM, "Software\\RegisteredApplications"},
    {"HKLM\\", HKLM, "Software\\Velmor"},
    {"HKCU\\", HKCU, "Software\\Velmor"},
};

std::set<std::string> RegistryLines()
{
    std::set<std::string> lines;
    for (const Watched &w : WatchedKeys)
    {
        std::string snapshot = SnapshotKey(w.Root, w.Path);
        for (size_t at = 0; at < snapshot.size();)
        {
            size_t end = snapshot.find('\n', at);
            if (end == std::string::npos)
                end = snapshot.size();
            lines.insert(std::string(w.Tag) + snapshot.substr(at, end - at));
            at = end + 1;
        }
    }
    return lines;
}

// The root and path of a tagged line ("HKCR\x\ty..." gives HKCR and "x").
HKEY RootOf(const std::string &line, std::string *path)
{
    HKEY root = line.compare(0, 4, "HKCR") == 0 ? HKCR : line.compare(0, 4, "HKLM") == 0 ? HKLM : HKCU;
    *path = line.substr(5, line.find('\t') - 5);
    return root;
}

std::string Listed(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// ------------------------------------------------------------ the runs

// One run of the program until it ends, with the robot on its window.
struct ProgramRun
{
    bool Started = false;
    DWORD RobotCode = 0xDEADBEEF;
    std::map<std::string, std::string> Fields;
    std::string Output;
    bool Ended = false;
    DWORD ExitCode = 0xDEADBEEF;
};

class LocalizeE2E : public testing::Test
{
protected:
    LocalizeE2E() : Dir(AnsiFromUtf8("e2e-\xe8\xaf\xad\xe8\xa8\x80 localize").c_str()) {}   // 语言

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        ComReady = true;
        if (!SourcesDistinct())
            GTEST_SKIP() << "the program's strings lose their letters in code page " << GetACP();
        ASSERT_FALSE(KeyExists(HKCU, "Software\\Velmor")) << "Velmor was set up before this test";
        for (const std::wstring &group : GroupFolders())
            ASSERT_FALSE(ExistsW(group)) << Utf8FromWide(group) << " is left from an earlier test";
        Before = RegistryLines();
        Watching = true;
        ExePath = Dir.File("uninstall.exe");
        Temp = Dir.File("tmp");
        ASSERT_TRUE(CopyFileA((TestDir() + "uninstall.exe").c_str(), ExePath.c_str(), FALSE))
            << "uninstall.exe missing from the test stage";
        ASSERT_TRUE(CopyFileA((TestDir() + "Velmor.exe").c_str(), Dir.File("Velmor.exe").c_str(),
                              FALSE));
        ASSERT_TRUE(CreateDirectoryA(Temp.c_str(), NULL));
        // The product's list, so that uninstall goes on past its question.
        ASSERT_TRUE(WriteFileBytes(Dir.File("Uninstall.lst"), "Velmor.exe\r\nuninstall.lng\r\n"));
    }

    void TearDown() override
    {
        if (Watching)
            Restore();
        if (ComReady)
            CoUninitialize();
    }

    void WriteLanguageFile(const std::string &bytes)
    {
        ASSERT_TRUE(WriteFileBytes(Dir.File("uninstall.lng"), bytes));
    }

    // Starts the program in its folder with these switches, the robot on
    // it, and waits for both to end. The temporary folder is the test's;
    // the command interpreter is out of reach, so the self-removal batch
    // file of an uninstall is written there but not run: the program file
    // goes with the test's folder.
    ProgramRun RunProgram(const char *args, const std::wstring &robotArgs)
    {
        ProgramRun run;
        std::wstring temp = WideFromUtf8(Utf8FromAnsi(Temp));
        std::wstring environment = EnvironmentWith({{L"TMP", temp},
                                                    {L"TEMP", temp},
                                                    {L"sfxcmd", L""},
                                                    {L"COMSPEC", L"C:\\velmor-no-interpreter\\cmd.exe"}});
        Child program;
        run.Started = program.Start(WideFromUtf8(Utf8FromAnsi(ExePath)), WideFromUtf8(args),
                                    WideFromUtf8(Utf8FromAnsi(Dir.Path())), &environment);
        if (!run.Started)
            return run;
        Robot bot;
        bool watching = bot.Start(L"--pid " + std::to_wstring(program.Info.dwProcessId) + L" " +
                                  robotArgs);
        program.Resume();
        if (watching)
        {
            run.RobotCode = bot.Finish();
            run.Fields = bot.Fields;
            run.Output = bot.Output;
        }
        else
            run.Output = "the robot did not start";
        run.Ended = program.WaitEnd(60000) >= 0;
        run.ExitCode = program.ExitCode();
        return run;
    }

    // Setup with /setup /s: every default, no window.
    void SilentSetup()
    {
        ProgramRun setup = RunProgram("/setup /s", L"--expect-none --timeout 60000");
        ASSERT_TRUE(setup.Started);
        EXPECT_EQ(0u, setup.RobotCode) << "a window showed\n" << setup.Output;
        ASSERT_TRUE(setup.Ended) << "setup did not end";
        EXPECT_EQ(0u, setup.ExitCode);
        ASSERT_TRUE(KeyExists(HKLM, UninstallKey)) << "setup wrote no uninstall entry";
    }

    // Uninstall with /s removes it all again, translated names included.
    void SilentUninstall()
    {
        ProgramRun uninstall = RunProgram("/s", L"--expect-none --timeout 60000");
        ASSERT_TRUE(uninstall.Started);
        EXPECT_EQ(0u, uninstall.RobotCode) << "a window showed\n" << uninstall.Output;
        ASSERT_TRUE(uninstall.Ended) << "uninstall did not end";
        EXPECT_FALSE(KeyExists(HKLM, UninstallKey));
        for (const char *progId : {"Velmor", "Velmor.ZIP", "Velmor.REV"})
            EXPECT_FALSE(KeyExists(HKCR, progId)) << progId;
        EXPECT_FALSE(KeyExists(HKCU, "Software\\Velmor"));
        for (const std::wstring &group : GroupFolders())
            EXPECT_FALSE(ExistsW(group)) << Utf8FromWide(group);
    }

    // The prefix as before the test: whatever the program's uninstall
    // left (it keeps the shell's emptied handler keys by design) goes, and
    // anything else it left is a failure.
    void Restore()
    {
        bool left = KeyExists(HKCU, "Software\\Velmor") || KeyExists(HKCR, "Velmor") ||
                    KeyExists(HKLM, UninstallKey);
        for (const std::wstring &group : GroupFolders())
            left = left || ExistsW(group);
        if (left)
        {
            ADD_FAILURE() << "the test ended with Velmor set up";
            LanguageModule.LoadLangModule(GetModuleHandleA(NULL));
            RemoveIntegration();
            for (const char *name : {"vmznew.dat", "zipnew.dat"})
                DeleteFileA((TestDir() + name).c_str());
        }
        std::set<std::string> now = RegistryLines();
        std::vector<std::string> lost, added, values;
        std::set_difference(Before.begin(), Before.end(), now.begin(), now.end(),
                            std::back_inserter(lost));
        std::set_difference(now.begin(), now.end(), Before.begin(), Before.end(),
                            std::back_inserter(added));
        // Deepest first: a key's lines sort before its sub-keys' lines.
        for (auto it = added.rbegin(); it != added.rend(); ++it)
        {
            std::string path;
            HKEY root = RootOf(*it, &path);
            if (it->find('\t') == it->size() - 1)
            {
                RegDeleteTreeA(root, path.c_str());
                RegDeleteKeyA(root, path.c_str());
                continue;
            }
            values.push_back(*it);
            size_t nameAt = it->find('\t') + 1;
            std::string name = it->substr(nameAt, it->find('\t', nameAt) - nameAt);
            HKEY key;
            if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS)
            {
                RegDeleteValueA(key, name.c_str());
                RegCloseKey(key);
            }
        }
        EXPECT_EQ("", Listed(values)) << "values left in the registry";
        EXPECT_EQ("", Listed(lost)) << "lost from the registry";
        std::set<std::string> after = RegistryLines();
        std::vector<std::string> differing;
        std::set_symmetric_difference(Before.begin(), Before.end(), after.begin(), after.end(),
                                      std::back_inserter(differing));
        EXPECT_EQ("", Listed(differing)) << "the test's own clean-up";
        for (const std::wstring &group : GroupFolders())
            if (ExistsW(group))
                DeleteTree(AnsiFromUtf8(Utf8FromWide(group)));
    }

    ScratchDir Dir;
    std::string ExePath, Temp;
    bool ComReady = false;
    bool Watching = false;
    std::set<std::string> Before;
};

// --------------------------------------------------------------- tests

TEST_F(LocalizeE2E, SilentSetupWritesTranslatedNames)
{
    WriteLanguageFile(LanguageFile());
    ASSERT_NO_FATAL_FAILURE(SilentSetup());

    // The Add/Remove Programs entry, with the real quotes of its escapes.
    EXPECT_EQ(Shown(5101), Utf8FromAnsi(ReadString(HKLM, UninstallKey, "DisplayName")));
    // The ProgID descriptions.
    const struct
    {
        const char *ProgId;
        int Id;
    } progIds[] = {{"Velmor", 5109}, {"Velmor.ZIP", 5110}, {"Velmor.REV", 5111}};
    for (const auto &p : progIds)
        EXPECT_EQ(Shown(p.Id), Utf8FromAnsi(ReadString(HKCR, p.ProgId, ""))) << p.ProgId;
    // The group members named by the translations, none by the program's
    // own strings; the description has no entry among the messages.
    for (const std::wstring &group : GroupFolders())
    {
        SCOPED_TRACE(Utf8FromWide(group));
        std::vector<std::wstring> expected = {L"Velmor.lnk",
                                              WideFromUtf8(Shown(5102)) + L".lnk",
                                              WideFromUtf8(Shown(5103)) + L".lnk"};
        std::sort(expected.begin(), expected.end());
        std::vector<std::wstring> names = FolderNames(group);
        EXPECT_EQ(expected, names);
        for (int id : {5102, 5103})
        {
            EXPECT_TRUE(ExistsW(group + L"\\" + WideFromUtf8(Shown(id)) + L".lnk")) << Shown(id);
            EXPECT_FALSE(ExistsW(group + L"\\" + WideFromUtf8(SourceShown(id)) + L".lnk"))
                << SourceShown(id);
        }
        EXPECT_EQ(SourceShown(5113), LinkDescription(group + L"\\" + WideFromUtf8(Shown(5102)) + L".lnk"))
            << "an entry before the messages section was used";
    }

    ASSERT_NO_FATAL_FAILURE(SilentUninstall());
}

TEST_F(LocalizeE2E, TranslatedConfirmationAnsweredNoRemovesNothing)
{
    WriteLanguageFile(LanguageFile());
    ASSERT_NO_FATAL_FAILURE(SilentSetup());
    std::set<std::string> setUp = RegistryLines();
    std::vector<std::string> files;
    for (const std::wstring &name : FolderNames(WideFromUtf8(Utf8FromAnsi(Dir.Path()))))
        files.push_back(Utf8FromWide(name));
    std::vector<std::vector<std::wstring>> members;
    for (const std::wstring &group : GroupFolders())
        members.push_back(FolderNames(group));

    ProgramRun asked = RunProgram("", L"--timeout 30000 --press #7");
    ASSERT_TRUE(asked.Started);
    ASSERT_EQ(0u, asked.RobotCode) << asked.Output;
    EXPECT_EQ(Shown(5104), asked.Fields["caption"]);
    EXPECT_EQ(Shown(5107), asked.Fields["text"]) << "the escaped line feed is a real one";
    EXPECT_EQ("7", asked.Fields["pressed"]);
    ASSERT_TRUE(asked.Ended) << "the program did not end after No";
    EXPECT_EQ(0u, asked.ExitCode);

    // Nothing was removed: the registry, the program folder with its list,
    // the groups with their translated members.
    std::vector<std::string> changed;
    std::set<std::string> now = RegistryLines();
    std::set_symmetric_difference(setUp.begin(), setUp.end(), now.begin(), now.end(),
                                  std::back_inserter(changed));
    EXPECT_EQ("", Listed(changed));
    std::vector<std::string> filesNow;
    for (const std::wstring &name : FolderNames(WideFromUtf8(Utf8FromAnsi(Dir.Path()))))
        filesNow.push_back(Utf8FromWide(name));
    EXPECT_EQ(files, filesNow);
    EXPECT_NE(files.end(), std::find(files.begin(), files.end(), "Uninstall.lst"));
    EXPECT_EQ(0u, FolderNames(WideFromUtf8(Utf8FromAnsi(Temp))).size()) << "no batch file";
    std::vector<std::vector<std::wstring>> membersNow;
    for (const std::wstring &group : GroupFolders())
        membersNow.push_back(FolderNames(group));
    EXPECT_EQ(members, membersNow);

    ASSERT_NO_FATAL_FAILURE(SilentUninstall());
}

// Without a language file, or with one whose messages header is missing,
// the program's own strings are shown.
TEST_F(LocalizeE2E, WithoutHeaderOrFileTheProgramsStringsShow)
{
    struct Case
    {
        const char *Name;
        bool Write;
        std::string Bytes;
    } cases[] = {
        // The header one asterisk short.
        {"no header", true, "***messages*\r\n" + EntryLine(5104, InFile(5104)) +
                                EntryLine(5107, InFile(5107))},
        {"no file", false, ""},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.Name);
        DeleteFileA(Dir.File("uninstall.lng").c_str());
        if (c.Write)
            WriteLanguageFile(c.Bytes);
        ProgramRun asked = RunProgram("", L"--timeout 30000 --press #7");
        ASSERT_TRUE(asked.Started);
        ASSERT_EQ(0u, asked.RobotCode) << asked.Output;
        EXPECT_EQ(SourceShown(5104), asked.Fields["caption"]);
        EXPECT_EQ(SourceShown(5107), asked.Fields["text"]);
        EXPECT_TRUE(asked.Ended);
    }
}

} // namespace
