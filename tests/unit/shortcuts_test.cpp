// The shortcuts against the real shell of the prefix: real shell link
// files in the real desktop, Start menu and Programs folders, found here
// with the shell's wide call independently of the program's own lookup.
// Every link made is loaded back through the shell link object. The win7
// group leaves one link in C:\velmor-tests-out for the host-side check
// with an independent link reader (tests/wine/lnk_check.sh).
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "integration/settings.h"
#include "integration/shortcuts.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "res/resource.h"
#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

// ------------------------------------------------------------ file helpers

// The long-path form, so that paths beyond MAX_PATH can be looked at and
// removed too.
std::wstring Long(const std::wstring &path) { return L"\\\\?\\" + path; }

std::wstring NoEndSlash(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool Exists(const std::wstring &path)
{
    return GetFileAttributesW(Long(NoEndSlash(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring &path)
{
    DWORD attr = GetFileAttributesW(Long(NoEndSlash(path)).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Names in a folder, without "." and "..", sorted.
std::vector<std::wstring> Entries(const std::wstring &folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Long(NoEndSlash(folder) + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// Removes a file or a folder with everything in it, by wide names.
void RemoveAll(const std::wstring &path)
{
    std::wstring p = NoEndSlash(path);
    DWORD attr = GetFileAttributesW(Long(p).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(Long(p).c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attr & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        DeleteFileW(Long(p).c_str());
        return;
    }
    for (const std::wstring &name : Entries(p))
        RemoveAll(p + L"\\" + name);
    RemoveDirectoryW(Long(p).c_str());
}

bool WriteWide(const std::wstring &path, const std::string &bytes)
{
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::string ReadWide(const std::wstring &path)
{
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string bytes;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof(buf), &n, NULL) && n > 0)
        bytes.append(buf, n);
    CloseHandle(h);
    return bytes;
}

std::string AnsiFromWide(const std::wstring &wide) { return AnsiFromUtf8(Utf8FromWide(wide)); }
std::wstring WideFromAnsi(const std::string &ansi) { return WideFromUtf8(Utf8FromAnsi(ansi)); }
std::string Show(const std::wstring &wide) { return Utf8FromWide(wide); }

std::string Utf8Text(int id)
{
    for (const ExpectedString &s : ExpectedStrings)
        if (s.id == id)
            return s.text;
    return std::string();
}

// ------------------------------------------------------------ shell links

struct LinkFields
{
    bool Loaded = false;
    std::string Target;
    std::string Description;
    std::string Arguments;
    std::string WorkingDirectory;
};

// Loads a link file through the shell link object, as Explorer would.
LinkFields ReadLink(const std::wstring &linkPath)
{
    LinkFields fields;
    IShellLinkA *link = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void **)&link)))
        return fields;
    IPersistFile *file = NULL;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file)))
    {
        if (SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ)))
        {
            fields.Loaded = true;
            char buf[INFOTIPSIZE];
            buf[0] = 0;
            WIN32_FIND_DATAA found;
            if (SUCCEEDED(link->GetPath(buf, MAX_PATH, &found, SLGP_RAWPATH)))
                fields.Target = buf;
            buf[0] = 0;
            if (SUCCEEDED(link->GetDescription(buf, sizeof(buf))))
                fields.Description = buf;
            buf[0] = 0;
            if (SUCCEEDED(link->GetArguments(buf, sizeof(buf))))
                fields.Arguments = buf;
            buf[0] = 0;
            if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH)))
                fields.WorkingDirectory = buf;
        }
        file->Release();
    }
    link->Release();
    return fields;
}

// A link of the program: to target (ANSI), with the shortcut description
// and nothing else.
void ExpectLink(const std::wstring &linkPath, const std::string &target)
{
    SCOPED_TRACE("link " + Show(linkPath));
    LinkFields fields = ReadLink(linkPath);
    ASSERT_TRUE(fields.Loaded) << "the shell cannot load it";
    EXPECT_EQ(target, fields.Target);
    EXPECT_EQ(ExpectedAnsi(IDS_SHORTCUT_COMMENT), fields.Description);
    EXPECT_EQ("", fields.Arguments);
    EXPECT_EQ("", fields.WorkingDirectory);
}

// The members of a program group: the archiver, its help file and its
// console manual, named by the string table.
struct Member
{
    int NameId;               // 0: "Velmor"
    const char *File;         // beside the program
};
const Member Members[3] = {
    {0, "Velmor.exe"},
    {IDS_HELP_SHORTCUT, "Velmor.chm"},
    {IDS_MANUAL_SHORTCUT, "Vmz.txt"},
};
enum { AllMembers = 7, ManualMember = 4 };

std::wstring MemberName(const Member &member)
{
    return (member.NameId == 0 ? std::wstring(L"Velmor") : WideFromUtf8(Utf8Text(member.NameId))) +
           L".lnk";
}

// The group folder holds exactly the members of the mask (bit i for
// Members[i]), each a link to its file in programFolder (ANSI, ending
// in '\').
void ExpectGroup(const std::wstring &group, const std::string &programFolder, int mask)
{
    SCOPED_TRACE("group " + Show(group));
    ASSERT_TRUE(IsFolder(group)) << "no group folder";
    std::vector<std::wstring> expected;
    for (int i = 0; i < 3; ++i)
        if (mask & (1 << i))
            expected.push_back(MemberName(Members[i]));
    std::sort(expected.begin(), expected.end());
    std::vector<std::wstring> found = Entries(group);
    std::string foundText;
    for (const std::wstring &name : found)
        foundText += " [" + Show(name) + "]";
    ASSERT_EQ(expected, found) << "the group holds" << foundText;
    for (int i = 0; i < 3; ++i)
        if (mask & (1 << i))
            ExpectLink(NoEndSlash(group) + L"\\" + MemberName(Members[i]),
                       programFolder + Members[i].File);
}

// ------------------------------------------------------------ the places

// The places of the product's shortcuts (support/testutil.h).
typedef ShortcutPlace Place;
const int PlaceCount = ShortcutPlaceCount;
const ShortcutPlaceInfo *const Places = ProductShortcutPlaces;

// What an update does to a place.
enum Role
{
    FollowsDesktop,           // made with the desktop slot on, removed with it off
    FollowsStartMenu,
    FollowsPrograms,
    AlwaysRemoved,            // removed whatever the record says
    Untouched,
};

struct VersionRow
{
    const char *WinVersion;   // the test group's Wine version
    int Nt;                   // NtVersion() there
    Role Roles[PlaceCount];
    Place BufferGroup;        // the group named in the output buffer
};

// The folder table of each Windows family.
const VersionRow Versions[] = {
    {"win7", 6,
     {AlwaysRemoved, FollowsDesktop, Untouched, FollowsStartMenu, FollowsPrograms, FollowsPrograms},
     CommonGroup},
    {"winxp64", 5,
     {FollowsDesktop, Untouched, FollowsStartMenu, Untouched, FollowsPrograms, FollowsPrograms},
     CommonGroup},
    {"win98", 0,
     {FollowsDesktop, Untouched, FollowsStartMenu, Untouched, FollowsPrograms, Untouched},
     UserGroup},
};

struct Record
{
    const char *Name;
    unsigned char Desktop;
    unsigned char StartMenu;
    unsigned char Programs;
};

const Record AllOn = {"all on", 1, 1, 1};
const Record AllOff = {"all off", 0, 0, 0};
const Record Records[] = {
    AllOn,
    AllOff,
    {"only desktop", 1, 0, 0},
    {"only Start menu", 0, 1, 0},
    {"only programs", 0, 0, 1},
};

IntegrationSettings SettingsOf(const Record &record)
{
    IntegrationSettings settings;
    memset(&settings, 0, sizeof(settings));
    settings.Desktop = record.Desktop;
    settings.StartMenu = record.StartMenu;
    settings.Programs = record.Programs;
    return settings;
}

// Whether a place holds the program's shortcut after an update with the
// record; before: whether it held one already.
bool ExpectedAfter(Role role, const Record &record, bool before)
{
    switch (role)
    {
    case FollowsDesktop:
        return record.Desktop != 0;
    case FollowsStartMenu:
        return record.StartMenu != 0;
    case FollowsPrograms:
        return record.Programs != 0;
    case AlwaysRemoved:
        return false;
    case Untouched:
        break;
    }
    return before;
}

// A marker of the output buffer's untouched bytes.
const char BufferMarker = 'Q';

// COM for the shell link object, the program's own string table, the
// places of this Windows group; removes every shortcut and group it finds
// in them when the test ends, however it ends.
class ShortcutPlaces : public testing::Test
{
protected:
    void SetUp() override
    {
        ComReady = SUCCEEDED(CoInitialize(NULL));
        ASSERT_TRUE(ComReady);
        LanguageModule.LoadLangModule(GetModuleHandleA(NULL));
        ASSERT_FALSE(LanguageModule.Loaded) << "no language module lies beside the tests";
        for (const VersionRow &row : Versions)
            if (ExpectedWinVersion() == row.WinVersion)
                Version = &row;
        ASSERT_TRUE(Version != NULL) << "no folder table for " << ExpectedWinVersion();
        ASSERT_EQ(Version->Nt, NtVersion()) << "the prefix runs another Windows version";
        for (int p = 0; p < PlaceCount; ++p)
        {
            std::wstring folder = WideFromUtf8(ShellFolder(Places[p].Csidl));
            ASSERT_TRUE(IsFolder(folder)) << Places[p].Name << ": " << Show(folder);
            Paths[p] = folder + (Places[p].Group ? L"Velmor" : L"Velmor.lnk");
            ASSERT_FALSE(Exists(Paths[p])) << "the prefix already holds " << Show(Paths[p]);
        }
        Started = true;
    }

    void TearDown() override
    {
        if (Started)
        {
            for (int p = 0; p < PlaceCount; ++p)
            {
                RemoveAll(Paths[p]);
                EXPECT_FALSE(Exists(Paths[p])) << "cannot remove " << Show(Paths[p]);
            }
        }
        if (ComReady)
            CoUninitialize();
    }

    Role RoleOf(int place) const { return Version->Roles[place]; }

    void ClearPlaces()
    {
        for (int p = 0; p < PlaceCount; ++p)
            RemoveAll(Paths[p]);
    }

    static void Update(const Record &record, char *groupFolder = NULL)
    {
        IntegrationSettings settings = SettingsOf(record);
        UpdateShortcuts(&settings, groupFolder);
    }

    // The program's shortcut in a place: the link to the archiver, or the
    // whole group, for a program in programFolder (ANSI, ending in '\').
    void ExpectShortcut(int place, const std::string &programFolder)
    {
        SCOPED_TRACE(Places[place].Name);
        if (Places[place].Group)
            ExpectGroup(Paths[place], programFolder, AllMembers);
        else
            ExpectLink(Paths[place], programFolder + "Velmor.exe");
    }

    // The group path as the program names it: ANSI, without a final '\'.
    std::string AnsiGroupPath(int place) const { return AnsiFromWide(Paths[place]); }

    const VersionRow *Version = NULL;
    std::wstring Paths[PlaceCount];

private:
    bool ComReady = false;
    bool Started = false;
};

class ShortcutFolders : public ShortcutPlaces
{
};
class ShortcutLinks : public ShortcutPlaces
{
};
class ShortcutGroupFolder : public ShortcutPlaces
{
};
class ShortcutBadInput : public ShortcutPlaces
{
};

// ------------------------------------------------------------ folder table

// Each record from a clean prefix and over a full set of shortcuts: every
// place holds the shortcut exactly when its slot says so, and a place the
// family does not use gets nothing.
TEST_F(ShortcutFolders, EachPlaceFollowsItsSlot)
{
    const std::string programFolder = TestDir();
    for (const Record &record : Records)
    {
        for (bool overFull : {false, true})
        {
            SCOPED_TRACE(std::string(record.Name) + (overFull ? ", over all on" : ", from clean"));
            ClearPlaces();
            if (overFull)
            {
                Update(AllOn);
                for (int p = 0; p < PlaceCount; ++p)
                    ASSERT_EQ(ExpectedAfter(RoleOf(p), AllOn, false), Exists(Paths[p]))
                        << Places[p].Name << " after all on";
            }
            Update(record);
            for (int p = 0; p < PlaceCount; ++p)
            {
                bool expected = ExpectedAfter(RoleOf(p), record, false);
                EXPECT_EQ(expected, Exists(Paths[p])) << Places[p].Name;
                if (expected)
                    ExpectShortcut(p, programFolder);
            }
        }
    }
}

// What was there before: a place the record governs is replaced or
// emptied, a place the family leaves alone keeps the user's own file, and
// an old group goes with every file and folder the user put into it, a
// read-only one too.
TEST_F(ShortcutFolders, EarlierEntriesReplacedRemovedOrKept)
{
    const std::string programFolder = TestDir();
    const std::string seedBytes = "the user's own shortcut, not a shell link";
    const std::wstring extraFolder = WideFromUtf8("旧的文件");
    const std::wstring extraFile = WideFromUtf8("说明.txt");
    for (const Record &record : {AllOn, AllOff})
    {
        SCOPED_TRACE(record.Name);
        ClearPlaces();
        for (int p = 0; p < PlaceCount; ++p)
        {
            if (Places[p].Group)
            {
                ASSERT_TRUE(CreateDirectoryW(Paths[p].c_str(), NULL)) << Show(Paths[p]);
                ASSERT_TRUE(WriteWide(Paths[p] + L"\\Velmor.lnk", seedBytes));
                ASSERT_TRUE(WriteWide(Paths[p] + L"\\" + extraFile, seedBytes));
                ASSERT_TRUE(SetFileAttributesW((Paths[p] + L"\\" + extraFile).c_str(),
                                               FILE_ATTRIBUTE_READONLY));
                ASSERT_TRUE(CreateDirectoryW((Paths[p] + L"\\" + extraFolder).c_str(), NULL));
                ASSERT_TRUE(WriteWide(Paths[p] + L"\\" + extraFolder + L"\\notes.txt", seedBytes));
            }
            else
                ASSERT_TRUE(WriteWide(Paths[p], seedBytes)) << Show(Paths[p]);
        }

        Update(record);

        for (int p = 0; p < PlaceCount; ++p)
        {
            SCOPED_TRACE(Places[p].Name);
            if (RoleOf(p) == Untouched)
            {
                if (Places[p].Group)
                {
                    std::vector<std::wstring> expected = {L"Velmor.lnk", extraFile, extraFolder};
                    std::sort(expected.begin(), expected.end());
                    EXPECT_EQ(expected, Entries(Paths[p]));
                    EXPECT_EQ(seedBytes, ReadWide(Paths[p] + L"\\Velmor.lnk"));
                    EXPECT_EQ(seedBytes, ReadWide(Paths[p] + L"\\" + extraFolder + L"\\notes.txt"));
                }
                else
                    EXPECT_EQ(seedBytes, ReadWide(Paths[p]));
            }
            else if (ExpectedAfter(RoleOf(p), record, true))
                ExpectShortcut(p, programFolder);
            else
                EXPECT_FALSE(Exists(Paths[p])) << Show(Paths[p]);
        }
    }
}

// ------------------------------------------------------------ the links

// Every link of a full set loads back through the shell link object with
// its target and description; the win7 group leaves the desktop link for
// the host-side check.
TEST_F(ShortcutLinks, EveryLinkLoadsBack)
{
    const std::string programFolder = TestDir();
    ASSERT_EQ("C:\\velmor-tests\\", programFolder);
    Update(AllOn);
    int links = 0;
    int expectedLinks = 0;
    for (int p = 0; p < PlaceCount; ++p)
    {
        if (ExpectedAfter(RoleOf(p), AllOn, false))
            expectedLinks += Places[p].Group ? 3 : 1;
        std::vector<std::wstring> files;
        if (Places[p].Group)
        {
            for (const std::wstring &name : Entries(Paths[p]))
                files.push_back(Paths[p] + L"\\" + name);
        }
        else if (Exists(Paths[p]))
            files.push_back(Paths[p]);
        for (const std::wstring &file : files)
        {
            SCOPED_TRACE(Show(file));
            LinkFields fields = ReadLink(file);
            EXPECT_TRUE(fields.Loaded);
            EXPECT_EQ(0u, fields.Target.find(programFolder)) << fields.Target;
            EXPECT_EQ(ExpectedAnsi(IDS_SHORTCUT_COMMENT), fields.Description);
            ++links;
        }
    }
    EXPECT_EQ(Version->Nt != 0 ? 8 : 5, expectedLinks) << "the folder table of this family";
    EXPECT_EQ(expectedLinks, links);

    if (ExpectedWinVersion() == "win7")
    {
        const std::wstring out = L"C:\\velmor-tests-out";
        CreateDirectoryW(out.c_str(), NULL);
        EXPECT_TRUE(CopyFileW(Paths[CommonDesktop].c_str(), (out + L"\\Velmor.lnk").c_str(), FALSE))
            << GetLastError();
    }
}

// The help and manual links carry their Chinese names as Unicode file
// names in every group, not the code page's bytes read some other way.
TEST_F(ShortcutLinks, MembersHaveTheirChineseNames)
{
    ASSERT_EQ(936u, ExpectedCodePage());
    ASSERT_EQ(936u, GetACP());
    Update(AllOn);
    const std::wstring help = WideFromUtf8("Velmor 中文帮助.lnk");
    const std::wstring manual = WideFromUtf8("控制台 VMZ 中文手册.lnk");
    int groups = 0;
    for (int p = 0; p < PlaceCount; ++p)
    {
        if (!Places[p].Group || RoleOf(p) != FollowsPrograms)
            continue;
        SCOPED_TRACE(Places[p].Name);
        ++groups;
        std::vector<std::wstring> expected = {L"Velmor.lnk", help, manual};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, Entries(Paths[p]));
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((Paths[p] + L"\\" + manual).c_str(), &fd);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << "no file of the exact wide name";
        FindClose(h);
        EXPECT_EQ(manual, std::wstring(fd.cFileName));
        ExpectLink(Paths[p] + L"\\" + help, TestDir() + "Velmor.chm");
        ExpectLink(Paths[p] + L"\\" + manual, TestDir() + "Vmz.txt");
    }
    EXPECT_EQ(Version->Nt != 0 ? 2 : 1, groups);
}

// ------------------------------------------------------------ group folder

// With the programs slot on the buffer names the group the program ends
// with: the all users' group on NT, the user's on 9x; with it off the
// buffer keeps every byte.
TEST_F(ShortcutGroupFolder, NamesTheGroupOnlyWithProgramsOn)
{
    for (const Record &record : Records)
    {
        SCOPED_TRACE(record.Name);
        ClearPlaces();
        char buffer[ShortcutPathSize];
        memset(buffer, BufferMarker, sizeof(buffer));
        buffer[sizeof(buffer) - 1] = 0;
        const std::string untouched(buffer);
        Update(record, buffer);
        if (record.Programs)
        {
            EXPECT_EQ(AnsiGroupPath(Version->BufferGroup), std::string(buffer));
            EXPECT_TRUE(IsFolder(Paths[Version->BufferGroup]));
        }
        else
            EXPECT_EQ(untouched, std::string(buffer, sizeof(buffer) - 1));
    }
}

// No buffer: the groups are made all the same.
TEST_F(ShortcutGroupFolder, NoBufferNeeded)
{
    Update(AllOn, NULL);
    for (int p = 0; p < PlaceCount; ++p)
        if (RoleOf(p) == FollowsPrograms)
            ExpectShortcut(p, TestDir());
}

// ------------------------------------------------------------ bad input

// A fresh folder for long link paths, removed by wide names (the ANSI
// calls stop at MAX_PATH).
class LongScratch
{
public:
    LongScratch() : Scratch("shortcut") { Root = WideFromAnsi(Scratch.Path()); }
    ~LongScratch()
    {
        for (const std::wstring &name : Entries(Root))
            RemoveAll(Root + name);
    }
    LongScratch(const LongScratch &) = delete;
    LongScratch &operator=(const LongScratch &) = delete;

    // Creates the subfolders of relative (ending in '\') below the root.
    std::wstring MakeFolders(const std::wstring &relative)
    {
        std::wstring path = Root;
        size_t start = 0;
        for (size_t end; (end = relative.find(L'\\', start)) != std::wstring::npos; start = end + 1)
        {
            path += relative.substr(start, end - start + 1);
            CreateDirectoryW(Long(NoEndSlash(path)).c_str(), NULL);
        }
        return path;
    }

    std::wstring Root;        // ends in '\'

private:
    ScratchDir Scratch;
};

struct LinkPathCase
{
    const char *What;
    const char *Unit;         // UTF-8: one character of the folders and name
    int FolderUnits;          // per folder level, two levels
    int Chars;                // wide characters of the whole link path
    bool Saved;
};

// The link path must fit MAX_PATH wide characters, whatever its length in
// code page bytes.
const LinkPathCase LinkPathCases[] = {
    {"259 characters", "d", 90, 259, true},
    {"260 characters", "d", 90, 260, false},
    {"400 characters", "d", 90, 400, false},
    {"259 characters in 400 bytes", "长", 70, 259, true},
    {"260 characters in 400 bytes", "长", 70, 260, false},
};

TEST_F(ShortcutBadInput, LinkPathMustFitMaxPath)
{
    const std::string target = TestDir() + "Velmor.exe";
    for (const LinkPathCase &c : LinkPathCases)
    {
        SCOPED_TRACE(c.What);
        LongScratch scratch;
        std::wstring unit = WideFromUtf8(c.Unit);
        std::wstring level(c.FolderUnits, unit[0]);
        std::wstring folder = scratch.MakeFolders(level + L"\\" + level + L"\\");
        ASSERT_TRUE(IsFolder(folder)) << Show(folder);
        ASSERT_LT(folder.size() + 4, (size_t)c.Chars);
        std::wstring link = folder + std::wstring(c.Chars - folder.size() - 4, unit[0]) + L".lnk";
        ASSERT_EQ((size_t)c.Chars, link.size());
        std::string ansiLink = AnsiFromWide(link);
        ASSERT_EQ(link, WideFromAnsi(ansiLink)) << "the code page holds the name";
        if (unit[0] > 0x7F)
        {
            ASSERT_GT(ansiLink.size(), 260u);
        }

        EXPECT_EQ(c.Saved, CreateShortcut(target.c_str(), ansiLink.c_str(), "description"));
        if (c.Saved)
        {
            LinkFields fields = ReadLink(link);
            EXPECT_TRUE(fields.Loaded);
            EXPECT_EQ(target, fields.Target);
            EXPECT_EQ("description", fields.Description);
        }
        else
            EXPECT_TRUE(Entries(folder).empty()) << "nothing saved for a refused path";
    }
}

struct TargetCase
{
    int Chars;
    bool Saved;
};

const TargetCase TargetCases[] = {{259, true}, {260, false}, {1000, false}};

TEST_F(ShortcutBadInput, TargetMustFitMaxPath)
{
    for (const TargetCase &c : TargetCases)
    {
        SCOPED_TRACE("target of " + std::to_string(c.Chars) + " characters");
        LongScratch scratch;
        std::string target = "C:\\" + std::string(c.Chars - 3 - 11, 'x') + "\\Velmor.exe";
        ASSERT_EQ((size_t)c.Chars, target.size());
        std::wstring link = scratch.Root + L"long target.lnk";
        EXPECT_EQ(c.Saved, CreateShortcut(target.c_str(), AnsiFromWide(link).c_str(), NULL));
        if (c.Saved)
        {
            LinkFields fields = ReadLink(link);
            EXPECT_TRUE(fields.Loaded);
            EXPECT_EQ(target, fields.Target) << "kept whole";
            EXPECT_EQ("", fields.Description) << "none given";
        }
        else
            EXPECT_FALSE(Exists(link));
    }
}

// What an update does for a program in a long folder.
enum Outcome
{
    EverythingMade,           // every link, to the long folder
    ManualOnly,               // no link but the group's manual, the only short target
    EmptyGroups,              // no link at all; the groups are made empty
    NothingHappens,           // the path does not fit: no change anywhere
};

struct ProgramPathCase
{
    const char *What;
    const char *HeadUtf8;     // the folder begins with this
    int Fill;                 // then this many 'x', then '\'
    const char *File;
    size_t Bytes;             // of the whole program path
    Outcome Result;
};

const ProgramPathCase ProgramPathCases[] = {
    {"Chinese folder", "C:\\软件\\Velmor 压缩", 0, "uninstall.exe", 0, EverythingMade},
    {"targets of 259 characters", "C:\\", 245, "uninstall.exe", 262, EverythingMade},
    {"targets of 260 characters", "C:\\", 246, "uninstall.exe", 263, ManualOnly},
    {"folder of 1004 bytes", "C:\\", 1000, "uninstall.exe", 1017, EmptyGroups},
    {"path of 1023 bytes", "C:\\", 1006, "uninstall.exe", 1023, EmptyGroups},
    {"targets beyond 1023 bytes", "C:\\", 1011, "u.exe", 1020, EmptyGroups},
    {"path of 1024 bytes", "C:\\", 1007, "uninstall.exe", 1024, NothingHappens},
    {"path of 5000 bytes", "C:\\", 4983, "uninstall.exe", 5000, NothingHappens},
};

TEST_F(ShortcutBadInput, LongProgramFolder)
{
    for (const ProgramPathCase &c : ProgramPathCases)
    {
        SCOPED_TRACE(c.What);
        ClearPlaces();
        std::string folder = AnsiFromUtf8(c.HeadUtf8) + std::string(c.Fill, 'x') + "\\";
        std::string path = folder + c.File;
        if (c.Bytes != 0)
        {
            ASSERT_EQ(c.Bytes, path.size());
        }
        char buffer[ShortcutPathSize];
        memset(buffer, BufferMarker, sizeof(buffer));
        buffer[sizeof(buffer) - 1] = 0;
        const std::string untouched(buffer);
        IntegrationSettings on = SettingsOf(AllOn);
        IntegrationSettings off = SettingsOf(AllOff);

        if (c.Result == NothingHappens)
        {
            Update(AllOn);
            UpdateShortcutsFor(path.c_str(), &on, buffer);
            EXPECT_EQ(untouched, std::string(buffer, sizeof(buffer) - 1));
            UpdateShortcutsFor(path.c_str(), &off, buffer);
            EXPECT_EQ(untouched, std::string(buffer, sizeof(buffer) - 1));
            for (int p = 0; p < PlaceCount; ++p)
            {
                bool expected = ExpectedAfter(RoleOf(p), AllOn, false);
                EXPECT_EQ(expected, Exists(Paths[p])) << Places[p].Name;
                if (expected)
                    ExpectShortcut(p, TestDir());
            }
            continue;
        }

        UpdateShortcutsFor(path.c_str(), &on, buffer);
        EXPECT_EQ(AnsiGroupPath(Version->BufferGroup), std::string(buffer));
        for (int p = 0; p < PlaceCount; ++p)
        {
            SCOPED_TRACE(Places[p].Name);
            bool made = ExpectedAfter(RoleOf(p), AllOn, false);
            if (!made)
                EXPECT_FALSE(Exists(Paths[p]));
            else if (Places[p].Group)
                ExpectGroup(Paths[p], folder,
                            c.Result == EverythingMade ? AllMembers
                            : c.Result == ManualOnly   ? ManualMember
                                                       : 0);
            else if (c.Result == EverythingMade)
                ExpectLink(Paths[p], folder + "Velmor.exe");
            else
                EXPECT_FALSE(Exists(Paths[p])) << "no link to a target cut short";
        }
    }
}

// ------------------------------------------------------------ tree deletion

TEST(ShortcutDeleteTree, MissingFolderIsFalse)
{
    ScratchDir scratch("deltree");
    EXPECT_FALSE(DeleteFolderTree(scratch.File("missing").c_str()));
    EXPECT_FALSE(DeleteFolderTree(scratch.File("missing\\below").c_str()));
    EXPECT_TRUE(IsFolder(WideFromAnsi(scratch.Path()))) << "the parent stays";
}

TEST(ShortcutDeleteTree, WholeTreeGoes)
{
    ScratchDir scratch("deltree");
    const std::wstring root = WideFromAnsi(scratch.Path());
    const std::wstring tree = root + WideFromUtf8("程序组");
    const std::wstring inner = tree + L"\\" + WideFromUtf8("子文件夹");
    ASSERT_TRUE(CreateDirectoryW(tree.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW((inner + L"\\empty").c_str(), NULL));
    ASSERT_TRUE(WriteWide(tree + L"\\a.lnk", "a"));
    ASSERT_TRUE(WriteWide(tree + L"\\" + WideFromUtf8("帮助.txt"), "b"));
    ASSERT_TRUE(WriteWide(inner + L"\\c.txt", "c"));
    ASSERT_TRUE(WriteWide(root + L"beside.txt", "stays"));

    EXPECT_TRUE(DeleteFolderTree(AnsiFromWide(tree).c_str()));
    EXPECT_FALSE(Exists(tree));
    EXPECT_EQ(std::vector<std::wstring>{L"beside.txt"}, Entries(root)) << "only the tree goes";
}

}  // namespace
