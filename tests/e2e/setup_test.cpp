// Setup mode of the real uninstall.exe, end to end: the program runs from a
// scratch program folder with /setup, the window robot works its dialogs,
// and the test then reads what it left in the prefix's real registry and
// shell folders, and which folder window the shell opened for it. Every
// test gives the prefix back as it found it: the removal of the
// integration runs in this process, and what it keeps by design (the
// shell's handler keys, a 9x ZIP template) goes too.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/e2e_support.h"
#include "integration/apply.h"
#include "integration/registration.h"
#include "integration/settings.h"
#include "integration/shellext.h"
#include "platform/os.h"
#include "res/resource.h"
#include "setup/cleanup.h"
#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCR = HKEY_CLASSES_ROOT;

// Both the setup and the completion dialog carry this caption.
const wchar_t SetupCaption[] = L"Velmor \x7b80\x4f53\x4e2d\x6587\x7248\x5b89\x88c5";
const wchar_t ItemsCaption[] = L"\x5173\x8054\x83dc\x5355\x9879\x76ee";

std::wstring Lower(std::wstring s)
{
    for (wchar_t &c : s)
        c = towlower(c);
    return s;
}

bool ExistsW(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ------------------------------------------------------- the robot's runs

struct RobotRun
{
    DWORD Code = 0xDEADBEEF;
    std::map<std::string, std::string> Fields;
    std::string Output;
};

// Runs the robot on the running program and waits for it to end. With
// program given (started suspended), the program is resumed once the robot
// watches it.
RobotRun Drive(DWORD pid, const std::wstring &args, Child *suspended = NULL)
{
    RobotRun run;
    Robot bot;
    if (!bot.Start(L"--pid " + std::to_wstring(pid) + L" " + args))
    {
        run.Output = "the robot did not start";
        if (suspended != NULL)
            suspended->Resume();
        return run;
    }
    if (suspended != NULL)
        suspended->Resume();
    run.Code = bot.Finish();
    run.Fields = bot.Fields;
    run.Output = bot.Output;
    return run;
}

// The robot's "check <id>" and "enabled <id>" lines of one control as
// "<check>/<enabled>", e.g. "1/0" for checked and disabled.
std::string Box(const RobotRun &run, int id)
{
    std::string key = std::to_string(id);
    auto check = run.Fields.find("check " + key);
    auto enabled = run.Fields.find("enabled " + key);
    if (check == run.Fields.end() || enabled == run.Fields.end())
        return "<not reported>";
    return check->second + "/" + enabled->second;
}

std::wstring Checks(std::initializer_list<int> ids)
{
    std::wstring args;
    for (int id : ids)
        args += L" --check " + std::to_wstring(id);
    return args;
}

// --------------------------------------------- folder windows of the shell

// The command line of another process, read from its process block.
std::wstring CommandLineOf(DWORD pid)
{
    typedef LONG(WINAPI * QueryFunction)(HANDLE, int, void *, ULONG, ULONG *);
    QueryFunction query = (QueryFunction)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                                "NtQueryInformationProcess");
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (query == NULL || process == NULL)
    {
        if (process != NULL)
            CloseHandle(process);
        return L"";
    }
    std::wstring line;
    PROCESS_BASIC_INFORMATION basic;
    ULONG size = 0;
    PEB peb;
    RTL_USER_PROCESS_PARAMETERS parameters;
    SIZE_T got = 0;
    if (query(process, 0 /* ProcessBasicInformation */, &basic, sizeof(basic), &size) == 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof(peb), &got) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof(parameters),
                          &got) &&
        parameters.CommandLine.Length < 65534)
    {
        line.resize(parameters.CommandLine.Length / sizeof(wchar_t));
        if (line.empty() || !ReadProcessMemory(process, parameters.CommandLine.Buffer, &line[0],
                                               parameters.CommandLine.Length, &got))
            line.clear();
    }
    CloseHandle(process);
    return line;
}

// A folder window that Wine's shell opened: Wine 8 starts a new
// explorer.exe for it, a child of the program that asked, with the folder
// as its one argument, and that process shows a top-level window of class
// ExplorerWClass captioned with the folder's name.
struct FolderWindow
{
    DWORD Pid = 0;
    std::wstring CommandLine;
    HWND Window = NULL;
    std::wstring Caption;
};

struct WindowOfPid
{
    DWORD Pid;
    HWND Found;
};

BOOL CALLBACK FindExplorerWindow(HWND h, LPARAM param)
{
    WindowOfPid *search = reinterpret_cast<WindowOfPid *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    wchar_t cls[64];
    if (pid == search->Pid && IsWindowVisible(h) && GetClassNameW(h, cls, 64) > 0 &&
        wcscmp(cls, L"ExplorerWClass") == 0)
    {
        search->Found = h;
        return FALSE;
    }
    return TRUE;
}

// The explorer processes that parent started, apart from the desktop
// process that the first window of a prefix starts.
std::vector<FolderWindow> FolderWindowsOf(DWORD parent)
{
    std::vector<FolderWindow> found;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W pe;
    pe.dwSize = sizeof(pe);
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
    {
        if (pe.th32ParentProcessID != parent || _wcsicmp(pe.szExeFile, L"explorer.exe") != 0)
            continue;
        FolderWindow f;
        f.Pid = pe.th32ProcessID;
        f.CommandLine = CommandLineOf(f.Pid);
        if (Lower(f.CommandLine).find(L"/desktop") != std::wstring::npos)
            continue;
        WindowOfPid search = {f.Pid, NULL};
        EnumWindows(FindExplorerWindow, reinterpret_cast<LPARAM>(&search));
        f.Window = search.Found;
        wchar_t caption[512] = L"";
        if (f.Window != NULL)
            GetWindowTextW(f.Window, caption, 512);
        f.Caption = caption;
        found.push_back(f);
    }
    CloseHandle(snap);
    return found;
}

// Closes the window as its close box would and waits for its process to
// end; a process that stays is ended.
void CloseFolderWindow(const FolderWindow &f)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, f.Pid);
    WindowOfPid search = {f.Pid, NULL};
    EnumWindows(FindExplorerWindow, reinterpret_cast<LPARAM>(&search));
    if (search.Found != NULL)
        PostMessageW(search.Found, WM_CLOSE, 0, 0);
    if (process != NULL)
    {
        if (WaitForSingleObject(process, 15000) != WAIT_OBJECT_0)
            TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

// ------------------------------------------------------------ the places

// The places of the product's shortcuts (support/testutil.h).
typedef ShortcutPlace Place;
const int PlaceCount = ShortcutPlaceCount;
const ShortcutPlaceInfo *const Places = ProductShortcutPlaces;

// Velmor.lnk or the group folder Velmor in that place; empty when the
// shell cannot locate the place.
std::wstring PlacePath(Place p)
{
    return WideFromUtf8(ShortcutPlacePath(p));
}

struct ShortcutChoice
{
    bool Desktop;
    bool StartMenu;
    bool Programs;
};

// Where setup puts each shortcut on the Windows version of this prefix: the
// all users' desktop and Start menu from Vista on, the user's before; the
// group in the user's Programs, and on the NT family in the all users'
// Programs too.
bool Expected(Place p, const ShortcutChoice &c)
{
    bool vista = NtVersion() >= 6, nt = NtVersion() != 0;
    switch (p)
    {
    case UserDesktop: return c.Desktop && !vista;
    case CommonDesktop: return c.Desktop && vista;
    case UserStartMenu: return c.StartMenu && !vista;
    case CommonStartMenu: return c.StartMenu && vista;
    case UserGroup: return c.Programs;
    case CommonGroup: return c.Programs && nt;
    default: return false;
    }
}

// The group whose folder setup opens: the all users' one where it exists.
Place OpenedGroup()
{
    return NtVersion() != 0 ? CommonGroup : UserGroup;
}

// The target of a shell link, loaded back through the shell link object.
std::wstring LinkTarget(const std::wstring &link)
{
    std::wstring target;
    IShellLinkW *shellLink = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                (void **)&shellLink)))
        return L"<no link object>";
    IPersistFile *file = NULL;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void **)&file)))
    {
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)))
        {
            wchar_t path[MAX_PATH] = L"";
            if (SUCCEEDED(shellLink->GetPath(path, MAX_PATH, NULL, 0)))
                target = path;
        }
        else
            target = L"<not loadable>";
        file->Release();
    }
    shellLink->Release();
    return target;
}

// Checks every place against the choice: a link to the program folder's
// Velmor.exe where one belongs, a group of the three members, nothing
// elsewhere.
void ExpectShortcuts(const ShortcutChoice &choice, const std::wstring &programFolder)
{
    const std::wstring archiver = programFolder + L"Velmor.exe";
    const std::wstring members[3] = {
        L"Velmor.lnk",
        WideFromUtf8(Utf8FromAnsi(ExpectedAnsi(IDS_HELP_SHORTCUT))) + L".lnk",
        WideFromUtf8(Utf8FromAnsi(ExpectedAnsi(IDS_MANUAL_SHORTCUT))) + L".lnk",
    };
    for (int p = 0; p < PlaceCount; ++p)
    {
        SCOPED_TRACE(Places[p].Name);
        std::wstring path = PlacePath((Place)p);
        if (path.empty())
        {
            EXPECT_FALSE(Expected((Place)p, choice)) << "the shell cannot locate it";
            continue;
        }
        if (!Expected((Place)p, choice))
        {
            EXPECT_FALSE(ExistsW(path)) << Utf8FromWide(path);
            continue;
        }
        ASSERT_TRUE(ExistsW(path)) << Utf8FromWide(path);
        if (!Places[p].Group)
        {
            EXPECT_EQ(Utf8FromWide(Lower(archiver)), Utf8FromWide(Lower(LinkTarget(path))));
            continue;
        }
        for (const std::wstring &member : members)
            EXPECT_TRUE(ExistsW(path + L"\\" + member)) << Utf8FromWide(member);
        EXPECT_EQ(Utf8FromWide(Lower(archiver)),
                  Utf8FromWide(Lower(LinkTarget(path + L"\\Velmor.lnk"))));
    }
}

// ----------------------------------------------------- registry contents

std::vector<std::string> Extensions(int row)
{
    std::vector<std::string> list;
    const char *cursor = ArchiveTypeTable[row].Extensions;
    char extension[32];
    while (NextExtension(&cursor, extension, sizeof(extension)))
        list.push_back(extension);
    return list;
}

// Every key that setup may write, for the before-and-after comparison.
struct KeyRef
{
    HKEY Root;
    std::string Path;
};

std::vector<KeyRef> IntegrationKeys()
{
    std::vector<KeyRef> keys = {
        {HKCU, "Software\\Velmor"},
        {HKLM, "Software\\Velmor"},
        {HKLM, "Software\\RegisteredApplications"},
        {HKLM, AppPathKey},
        {HKLM, UninstallKey},
        {HKLM, ApprovedKey},
        {HKCR, ".rev"},
        {HKCR, "Velmor"},
        {HKCR, "Velmor.ZIP"},
        {HKCR, "Velmor.REV"},
        {HKCR, "Velmor32"},
        {HKCR, std::string("CLSID\\") + ShellExtClassId32},
        {HKCR, std::string("CLSID\\") + ShellExtClassId64},
        {HKCR, "exefile\\shellex\\PropertySheetHandlers"},
    };
    for (const char *handler : {"*\\shellex\\ContextMenuHandlers", "Folder\\shellex\\ContextMenuHandlers",
                                "Folder\\shellex\\DragDropHandlers", "Drive\\shellex\\DragDropHandlers",
                                "Directory\\shellex\\ContextMenuHandlers",
                                "Directory\\shellex\\DragDropHandlers"})
        for (const char *name : {"Velmor", "Velmor32"})
            keys.push_back({HKCR, std::string(handler) + "\\" + name});
    for (int row = 0; row < ArchiveTypeCount; ++row)
        for (const std::string &extension : Extensions(row))
            keys.push_back({HKCR, extension});
    for (int volume = 0; volume < 100; ++volume)
    {
        char name[8];
        snprintf(name, sizeof(name), ".v%02d", volume);
        keys.push_back({HKCR, name});
    }
    return keys;
}

DWORD StoredDword(const std::string &path, const char *name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadValue(HKCU, "Software\\Velmor\\" + path, name, &type, &data) || type != REG_DWORD ||
        data.size() != 4)
        return 0xDEADBEEF;
    DWORD value;
    memcpy(&value, data.data(), 4);
    return value;
}

// The values of the context items 101 to 111, in order.
const char *const MenuItemValues[11] = {"ExtrTo", "ExtrHere", "Extr",     "ExtrSep",
                                        "OpenSFX", "AddTo",   "AddArc",   "EmailArc",
                                        "EmailOpt", "Test",   "Convert"};

// The integration choices a test expects to find applied.
struct Choices
{
    bool Types[ArchiveTypeCount];
    ShortcutChoice Links;
    bool ShellExt;
    bool CascadedMenu;
    bool MenuIcons;
};

Choices AllTypes(ShortcutChoice links, bool shellExt, bool cascaded, bool icons)
{
    Choices c;
    for (bool &t : c.Types)
        t = true;
    c.Links = links;
    c.ShellExt = shellExt;
    c.CascadedMenu = cascaded;
    c.MenuIcons = icons;
    return c;
}

// The stored record and the applied associations, shortcuts and
// uninstall entry match the choices.
void ExpectApplied(const Choices &c, const std::string &programPath)
{
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        SCOPED_TRACE(ArchiveTypeTable[row].Primary);
        EXPECT_EQ(c.Types[row] ? 1u : 0u,
                  StoredDword(ArchiveTypeTable[row].SettingsKey, "Set"));
        for (const std::string &extension : Extensions(row))
            EXPECT_EQ(c.Types[row], IsOwnAssociation(extension.c_str()))
                << extension << " is owned by \"" << ReadString(HKCR, extension, "") << "\"";
    }
    EXPECT_EQ(c.Links.Desktop ? 1u : 0u, StoredDword("Setup\\Links", "Desktop"));
    EXPECT_EQ(c.Links.StartMenu ? 1u : 0u, StoredDword("Setup\\Links", "StartMenu"));
    EXPECT_EQ(c.Links.Programs ? 1u : 0u, StoredDword("Setup\\Links", "Programs"));
    EXPECT_EQ(c.ShellExt ? 1u : 0u, StoredDword("Setup", "ShellExt"));
    EXPECT_EQ(c.CascadedMenu ? 1u : 0u, StoredDword("Setup", "CascadedMenu"));
    EXPECT_EQ(c.MenuIcons ? 1u : 0u, StoredDword("Setup", "MenuIcons"));
    // The context menu handler for all files names the extension's class
    // with shell integration only (a 64-bit program registers vmzext.dll).
    EXPECT_EQ(c.ShellExt ? ShellExtClassId32 : "<missing>",
              ReadString(HKCR, "*\\shellex\\ContextMenuHandlers\\Velmor", ""));
    // The program that ran is the uninstaller of the entry.
    EXPECT_EQ(programPath, ReadString(HKLM, UninstallKey, "UninstallString"));
    size_t slash = programPath.rfind('\\');
    ExpectShortcuts(c.Links, WideFromUtf8(Utf8FromAnsi(programPath.substr(0, slash + 1))));
}

// -------------------------------------------------------------- fixture

class SetupMode : public testing::Test
{
protected:
    SetupMode() : Dir(AnsiFromUtf8("e2e-\xe5\xae\x89\xe8\xa3\x85 setup").c_str()) {}   // 安装

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        ComReady = true;
        ASSERT_FALSE(KeyExists(HKCU, "Software\\Velmor")) << "Velmor was set up before this test";
        for (int p = 0; p < PlaceCount; ++p)
            ASSERT_FALSE(!PlacePath((Place)p).empty() && ExistsW(PlacePath((Place)p)))
                << Places[p].Name << " holds Velmor's shortcut from an earlier test";
        for (const KeyRef &k : IntegrationKeys())
        {
            Existed.push_back(KeyExists(k.Root, k.Path));
            Before += SnapshotKey(k.Root, k.Path);
        }
        for (const char *name : {"vmznew.dat", "zipnew.dat"})
            ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((TestDir() + name).c_str()));
        ExePath = Dir.File("uninstall.exe");
        ASSERT_TRUE(CopyFileA((TestDir() + "uninstall.exe").c_str(), ExePath.c_str(), FALSE))
            << "uninstall.exe missing from the test stage";
        ASSERT_TRUE(CopyFileA((TestDir() + "Velmor.exe").c_str(), Dir.File("Velmor.exe").c_str(),
                              FALSE));
    }

    void TearDown() override
    {
        if (ComReady)
        {
            Restore();
            CoUninitialize();
        }
    }

    // Starts the program suspended in its folder; the first robot resumes
    // it.
    void Start(Child *program, const char *args, const std::wstring *environment = NULL)
    {
        ASSERT_TRUE(program->Start(WideFromUtf8(Utf8FromAnsi(ExePath)), WideFromUtf8(args),
                                   WideFromUtf8(Utf8FromAnsi(Dir.Path())), environment));
        Programs.push_back(program->Info.dwProcessId);
    }

    // Everything a run of setup left goes: the folder windows it opened,
    // the integration (removed the way uninstall removes it), then what
    // that removal keeps, and shortcuts it could not reach. The prefix
    // must then hold what it held before the test.
    void Restore()
    {
        for (DWORD pid : Programs)
            for (const FolderWindow &f : FolderWindowsOf(pid))
                CloseFolderWindow(f);
        RemoveIntegration();
        std::vector<KeyRef> keys = IntegrationKeys();
        std::string after;
        for (size_t i = 0; i < keys.size(); ++i)
        {
            if (!Existed[i] && KeyExists(keys[i].Root, keys[i].Path))
                RegDeleteTreeA(keys[i].Root, keys[i].Path.c_str());
            after += SnapshotKey(keys[i].Root, keys[i].Path);
        }
        EXPECT_EQ(Before, after) << "the registry differs from the one before the test";
        for (int p = 0; p < PlaceCount; ++p)
        {
            std::wstring path = PlacePath((Place)p);
            if (path.empty() || !ExistsW(path))
                continue;
            ADD_FAILURE() << "removal left " << Places[p].Name;
            DeleteTree(AnsiFromUtf8(Utf8FromWide(path)));
        }
        for (const char *name : {"vmznew.dat", "zipnew.dat"})
            DeleteFileA((TestDir() + name).c_str());
    }

    // Runs setup with /setup and works its dialogs with the robot: the
    // setup dialog gets setupSteps, and returns the first robot's run.
    RobotRun OpenSetup(Child *program, const std::wstring &setupSteps)
    {
        Start(program, "/setup");
        return Drive(program->Info.dwProcessId,
                     L"--timeout 30000 --caption \"" + std::wstring(SetupCaption) + L"\"" +
                         setupSteps,
                     program);
    }

    ScratchDir Dir;
    std::string ExePath;
    std::vector<DWORD> Programs;
    bool ComReady = false;
    std::vector<bool> Existed;
    std::string Before;
};

// --------------------------------------------------------------- tests

TEST_F(SetupMode, ClicksApplyChosenIntegration)
{
    const int ids[] = {5101, 5102, 5103, 5104, 5110, 5111, 5112, 5113, 5114,
                       5115, 5116, 5117, 5118, 5119, 5120};
    std::wstring all;
    for (int id : ids)
        all += L" --check " + std::to_wstring(id);
    Child program;
    // First the boxes as this fresh machine shows them; then ZIP and CAB
    // cleared, put back by select all; then ARJ and UUE cleared, the
    // desktop shortcut and the cascaded menu on, shell integration off;
    // last the context items.
    RobotRun first = OpenSetup(
        &program, all + L" --click 5102 --click 5103" + Checks({5102, 5103}) +
                      L" --click 5121" + Checks({5102, 5103}) +
                      L" --click 5104 --click 5110 --click 5115 --click 5119 --click 5118" + all +
                      L" --click 5123");
    ASSERT_EQ(0u, first.Code) << first.Output;
    // Defaults, as reported before the first click: every type (no other
    // program owns .jar or .iso here), the program group, shell integration
    // and menu icons.
    size_t afterDefaults = first.Output.find("clicked 5102");
    ASSERT_NE(std::string::npos, afterDefaults) << first.Output;
    std::string defaults = first.Output.substr(0, afterDefaults);
    for (int id : {5101, 5102, 5103, 5104, 5110, 5111, 5112, 5113, 5114, 5117, 5118, 5120})
        EXPECT_NE(std::string::npos, defaults.find("check " + std::to_string(id) + ": 1\n")) << id;
    for (int id : {5115, 5116, 5119})
        EXPECT_NE(std::string::npos, defaults.find("check " + std::to_string(id) + ": 0\n")) << id;
    // Select all put ZIP and CAB back.
    EXPECT_NE(std::string::npos,
              first.Output.find("check 5102: 0\nenabled 5102: 1\ncheck 5103: 0\nenabled 5103: 1\n"
                                "clicked 5121: Button\ncheck 5102: 1\nenabled 5102: 1\ncheck 5103: 1\n"))
        << first.Output;
    // The final states (the robot's last line for each box wins).
    for (int id : {5101, 5102, 5103, 5111, 5112, 5113, 5114, 5115, 5117})
        EXPECT_EQ("1/1", Box(first, id)) << id;
    for (int id : {5104, 5110, 5116, 5118})
        EXPECT_EQ("0/1", Box(first, id)) << id;
    EXPECT_EQ("1/0", Box(first, 5119)) << "kept checked, disabled with shell integration";
    EXPECT_EQ("1/0", Box(first, 5120));

    const DWORD pid = program.Info.dwProcessId;
    // Context items: the first and fifth off, Test on.
    RobotRun items = Drive(pid, L"--timeout 30000 --caption " + std::wstring(ItemsCaption) +
                                    Checks({101, 105, 109, 110, 111}) +
                                    L" --click 101 --click 105 --click 110 --press #1 --wait-gone");
    ASSERT_EQ(0u, items.Code) << items.Output;
    for (int id : {101, 105, 109})
        EXPECT_NE(std::string::npos, items.Output.find("check " + std::to_string(id) + ": 1\n"));
    for (int id : {110, 111})
        EXPECT_NE(std::string::npos, items.Output.find("check " + std::to_string(id) + ": 0\n"));

    // Back in the setup dialog, OK; then Finish in the completion dialog.
    RobotRun ok = Drive(pid, L"--timeout 30000 --caption \"" + std::wstring(SetupCaption) +
                                 L"\" --check 5104 --check 5119 --press #1 --wait-gone");
    ASSERT_EQ(0u, ok.Code) << ok.Output;
    EXPECT_EQ("0/1", Box(ok, 5104)) << "the choices survived the context items dialog";
    EXPECT_EQ("1/0", Box(ok, 5119));
    RobotRun done = Drive(pid, L"--timeout 30000 --caption \"" + std::wstring(SetupCaption) +
                                   L"\" --press #1 --wait-gone");
    ASSERT_EQ(0u, done.Code) << done.Output;
    EXPECT_NE(std::string::npos, done.Output.find("control: 5107 ")) << "not the completion dialog";
    // The installation folder is the program's current directory (the
    // robot doubles its backslashes).
    std::string folder;
    for (char ch : Utf8FromAnsi(Dir.Path().substr(0, Dir.Path().size() - 1)))
        folder += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
    EXPECT_NE(std::string::npos, done.Output.find("control: 5101 Static \"" + folder + "\"\n"))
        << done.Output;
    ASSERT_GE(program.WaitEnd(60000), 0) << "the program did not end after Finish";
    EXPECT_EQ(0u, program.ExitCode());

    // The group folder is opened: a folder window of its own explorer.
    const std::wstring group = PlacePath(OpenedGroup());
    std::vector<FolderWindow> opened;
    for (int i = 0; i < 600 && (opened.empty() || opened[0].Window == NULL); ++i)
    {
        Sleep(50);
        opened = FolderWindowsOf(pid);
    }
    ASSERT_EQ(1u, opened.size()) << "no folder was opened for " << Utf8FromWide(group);
    EXPECT_NE(std::wstring::npos, Lower(opened[0].CommandLine).find(Lower(group)))
        << Utf8FromWide(opened[0].CommandLine);
    EXPECT_NE(HWND(NULL), opened[0].Window) << "the folder process shows no window";
    EXPECT_EQ("Velmor", Utf8FromWide(opened[0].Caption));
    printf("opened: pid %lu, %s, window \"%s\"\n", (unsigned long)opened[0].Pid,
           Utf8FromWide(opened[0].CommandLine).c_str(), Utf8FromWide(opened[0].Caption).c_str());

    Choices expected = AllTypes({true, false, true}, false, true, true);
    expected.Types[3] = false;   // ARJ
    expected.Types[9] = false;   // UUE
    ExpectApplied(expected, ExePath);
    const DWORD itemValues[11] = {0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(itemValues[i], StoredDword("Setup\\MenuItems", MenuItemValues[i]))
            << MenuItemValues[i];
}

// Silent setup, by the switch or by the installer's sfxcmd variable,
// applies what is stored, or the defaults, with no window and opens no
// folder.
struct SilentCase
{
    const char *Name;
    const char *Args;
    const wchar_t *Sfxcmd;    // NULL: not set
    bool Seeded;              // stored choices before the run
};

const SilentCase SilentCases[] = {
    {"defaults, /setup /s", "/setup /s", NULL, false},
    {"stored choices, /setup /s", "/setup /s", NULL, true},
    {"defaults, sfxcmd -s", "/setup", L"-s", false},
};

TEST_F(SetupMode, SilentAppliesStoredOrDefaultChoicesWithoutWindows)
{
    for (const SilentCase &c : SilentCases)
    {
        SCOPED_TRACE(c.Name);
        Choices expected = AllTypes({false, false, true}, true, false, true);
        if (c.Seeded)
        {
            PutValue(HKCU, "Software\\Velmor\\Setup\\.zip", "Set", REG_DWORD, std::string("\0\0\0\0", 4));
            PutValue(HKCU, "Software\\Velmor\\Setup\\.7z", "Set", REG_DWORD, std::string("\0\0\0\0", 4));
            PutValue(HKCU, "Software\\Velmor\\Setup\\Links", "Desktop", REG_DWORD, std::string("\1\0\0\0", 4));
            PutValue(HKCU, "Software\\Velmor\\Setup\\Links", "StartMenu", REG_DWORD, std::string("\1\0\0\0", 4));
            PutValue(HKCU, "Software\\Velmor\\Setup\\Links", "Programs", REG_DWORD, std::string("\0\0\0\0", 4));
            PutValue(HKCU, "Software\\Velmor\\Setup", "ShellExt", REG_DWORD, std::string("\0\0\0\0", 4));
            expected = AllTypes({true, true, false}, false, false, true);
            expected.Types[1] = false;
            expected.Types[6] = false;
        }
        std::wstring environment =
            EnvironmentWith({{L"sfxcmd", c.Sfxcmd != NULL ? c.Sfxcmd : L""}});
        Child program;
        Start(&program, c.Args, &environment);
        ASSERT_FALSE(HasFatalFailure());
        RobotRun run = Drive(program.Info.dwProcessId, L"--expect-none --timeout 60000", &program);
        EXPECT_EQ(0u, run.Code) << "a window showed\n" << run.Output;
        ASSERT_GE(program.WaitEnd(60000), 0) << "did not end";
        EXPECT_EQ(0u, program.ExitCode());
        // The shell starts a folder's explorer before its open call
        // returns, so an opened folder would be seen now.
        std::vector<FolderWindow> opened = FolderWindowsOf(program.Info.dwProcessId);
        EXPECT_TRUE(opened.empty()) << "opened " << Utf8FromWide(opened[0].CommandLine);
        ExpectApplied(expected, ExePath);
        EXPECT_FALSE(KeyExists(HKCU, "Software\\Velmor\\Setup\\MenuItems"));
        Restore();
    }
}

// Closing the setup dialog, by its close box or by WM_CLOSE, ends the
// program: no completion dialog, nothing stored or applied, no uninstall.
// Context items confirmed before stay stored.
struct CloseCase
{
    const char *Name;
    const wchar_t *Close;
    bool ConfirmItems;
};

const CloseCase CloseCases[] = {
    {"close box", L"--close", false},
    {"WM_CLOSE", L"--wm-close", false},
    {"close box after context items", L"--close", true},
};

TEST_F(SetupMode, ClosedSetupDialogEndsWithoutStoringOrApplying)
{
    // A list of the program folder's files, so that an uninstall run by
    // mistake would have something to delete.
    ASSERT_TRUE(WriteFileBytes(Dir.File("Uninstall.lst"), Dir.File("Velmor.exe") + "\r\n" + ExePath + "\r\n"));
    for (const CloseCase &c : CloseCases)
    {
        SCOPED_TRACE(c.Name);
        Child program;
        Start(&program, "/setup");
        ASSERT_FALSE(HasFatalFailure());
        const DWORD pid = program.Info.dwProcessId;
        std::wstring changes = L" --click 5101 --click 5115 --click 5118";
        if (c.ConfirmItems)
        {
            RobotRun setup = Drive(pid, L"--timeout 30000 --caption \"" + std::wstring(SetupCaption) +
                                            L"\"" + changes + L" --click 5123",
                                   &program);
            ASSERT_EQ(0u, setup.Code) << setup.Output;
            RobotRun items = Drive(pid, L"--timeout 30000 --caption " + std::wstring(ItemsCaption) +
                                            L" --click 111 --press #1 --wait-gone");
            ASSERT_EQ(0u, items.Code) << items.Output;
            changes.clear();
        }
        RobotRun close = Drive(pid,
                               L"--timeout 30000 --caption \"" + std::wstring(SetupCaption) + L"\"" +
                                   changes + L" " + c.Close + L" --wait-gone",
                               c.ConfirmItems ? NULL : &program);
        ASSERT_EQ(0u, close.Code) << close.Output;
        RobotRun after = Drive(pid, L"--expect-none --timeout 30000");
        EXPECT_EQ(0u, after.Code) << "a window followed the closed setup dialog\n" << after.Output;
        ASSERT_GE(program.WaitEnd(30000), 0) << "did not end";
        EXPECT_EQ(0u, program.ExitCode());

        if (c.ConfirmItems)
        {
            // Only the eleven item values, Convert now on.
            EXPECT_EQ(3, CountKeys(HKCU, "Software\\Velmor")) << SnapshotKey(HKCU, "Software\\Velmor");
            EXPECT_TRUE(KeyExists(HKCU, "Software\\Velmor\\Setup\\MenuItems"));
            EXPECT_EQ(11, CountValues(SnapshotKey(HKCU, "Software\\Velmor")));
            EXPECT_EQ(1u, StoredDword("Setup\\MenuItems", "Convert"));
        }
        else
            EXPECT_FALSE(KeyExists(HKCU, "Software\\Velmor")) << SnapshotKey(HKCU, "Software\\Velmor");
        // Apart from the product key (missing before the test) every key
        // is as it was.
        std::string now;
        for (const KeyRef &k : IntegrationKeys())
            if (!(k.Root == HKCU && k.Path == "Software\\Velmor"))
                now += SnapshotKey(k.Root, k.Path);
        EXPECT_EQ(Before, now) << "the integration was applied";
        for (int p = 0; p < PlaceCount; ++p)
            EXPECT_FALSE(!PlacePath((Place)p).empty() && ExistsW(PlacePath((Place)p)))
                << Places[p].Name;
        EXPECT_TRUE(FolderWindowsOf(pid).empty()) << "a folder was opened";
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ExePath.c_str()));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Dir.File("Velmor.exe").c_str()));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Dir.File("Uninstall.lst").c_str()));
        Restore();
    }
}

} // namespace
