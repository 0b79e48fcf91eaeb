#include "integration/shortcuts.h"

#include <string.h>

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "lang/messages.h"
#include "platform/os.h"
#include "platform/text.h"
#include "res/resource.h"

// Owns the shell's allocator for one operation; frees item lists with it.
class ShellAllocator
{
public:
    ShellAllocator() : Malloc(NULL)
    {
        if (FAILED(SHGetMalloc(&Malloc)))
            Malloc = NULL;
    }
    ~ShellAllocator()
    {
        if (Malloc != NULL)
            Malloc->Release();
    }
    ShellAllocator(const ShellAllocator &) = delete;
    ShellAllocator &operator=(const ShellAllocator &) = delete;

    // The folder of a CSIDL value into path (ShortcutPathSize bytes),
    // ending in '\'; false when the shell cannot locate it.
    bool GetFolder(int csidl, char *path)
    {
        path[0] = 0;
        LPITEMIDLIST list = NULL;
        if (FAILED(SHGetSpecialFolderLocation(NULL, csidl, &list)) || list == NULL)
            return false;
        // SHGetPathFromIDListA writes at most MAX_PATH bytes.
        bool found = SHGetPathFromIDListA(list, path) != FALSE && path[0] != 0;
        if (Malloc != NULL)
            Malloc->Free(list);
        else
            CoTaskMemFree(list);
        if (!found)
        {
            path[0] = 0;
            return false;
        }
        AddEndSlash(path);
        return true;
    }

private:
    IMalloc *Malloc;
};

bool CreateShortcut(const char *target, const char *linkPath, const char *description)
{
    // The link stores its target in MAX_PATH characters; a longer one would
    // be cut into a link to something else.
    if (strlen(target) >= MAX_PATH)
        return false;
    IShellLinkA *link = NULL;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void **)&link)))
        return false;
    bool saved = false;
    if (SUCCEEDED(link->SetPath(target)))
    {
        if (description != NULL)
            link->SetDescription(description);
        IPersistFile *file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file)))
        {
            WCHAR widePath[MAX_PATH];
            if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH) != 0)
                saved = SUCCEEDED(file->Save(widePath, TRUE));
            file->Release();
        }
    }
    link->Release();
    return saved;
}

bool DeleteFolderTree(const char *path)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return false;
    // The shell takes a list of names ended by an empty one.
    char list[ShortcutPathSize + 1];
    if (!CopyWhole(list, path, ShortcutPathSize))
        return false;
    list[strlen(list) + 1] = 0;
    SHFILEOPSTRUCTA op;
    memset(&op, 0, sizeof(op));
    op.hwnd = NULL;
    op.wFunc = FO_DELETE;
    op.pFrom = list;
    op.pTo = NULL;
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    return SHFileOperationA(&op) == 0;
}

// folder (ending in '\') + name + extension into dst; false when it does
// not fit whole.
static bool JoinPath(char *dst, const char *folder, const char *name, const char *extension)
{
    dst[0] = 0;
    return AppendWhole(dst, folder, ShortcutPathSize) && AppendWhole(dst, name, ShortcutPathSize) &&
           AppendWhole(dst, extension, ShortcutPathSize);
}

// Creates or deletes folder + "Velmor.lnk" by the flag. Without a target
// (the program path was too long) nothing is created.
static void UpdateLink(const char *folder, bool create, const char *target)
{
    char link[ShortcutPathSize];
    if (!JoinPath(link, folder, "Velmor", ".lnk"))
        return;
    if (!create)
        DeleteFileA(link);
    else if (target[0] != 0)
        CreateShortcut(target, link, GetMsg(IDS_SHORTCUT_COMMENT));
}

// The three members of a program group, under the names given.
static void CreateGroupMembers(const char *group, const char *programFolder,
                               const char *const names[3])
{
    static const char *const Files[3] = {"Velmor.exe", "Velmor.chm", "Vmz.txt"};
    char folder[ShortcutPathSize];
    if (!JoinPath(folder, group, "\\", ""))
        return;
    for (int i = 0; i < 3; ++i)
    {
        char link[ShortcutPathSize];
        char target[ShortcutPathSize];
        if (JoinPath(link, folder, names[i], ".lnk") && JoinPath(target, programFolder, Files[i], ""))
            CreateShortcut(target, link, GetMsg(IDS_SHORTCUT_COMMENT));
    }
}

// Removes the group Velmor in the Programs folder programs (ending in
// '\'), and with create set makes it anew with its three members. The
// user's group names itself in groupFolder before anything else happens;
// the all users' group only once its folder exists.
static void UpdateGroup(const char *programs, bool create, bool allUsers,
                        const char *programFolder, const char *const names[3], char *groupFolder)
{
    char group[ShortcutPathSize];
    if (!JoinPath(group, programs, "Velmor", ""))
        return;
    if (create && groupFolder != NULL && !allUsers)
        CopyLimited(groupFolder, group, ShortcutPathSize);
    DeleteFolderTree(group);
    if (!create)
        return;
    CreateDirectoryA(group, NULL);
    bool exists = GetFileAttributesA(group) != INVALID_FILE_ATTRIBUTES;
    if (exists && groupFolder != NULL && allUsers)
        CopyLimited(groupFolder, group, ShortcutPathSize);
    if (exists)
        CreateGroupMembers(group, programFolder, names);
}

void UpdateShortcutsFor(const char *programPath, const IntegrationSettings *settings,
                        char *groupFolder)
{
    ShellAllocator shell;
    char programFolder[ShortcutPathSize];
    if (!CopyWhole(programFolder, programPath, sizeof(programFolder)))
        return;
    *PointToName(programFolder) = 0;
    char target[ShortcutPathSize];
    if (!JoinPath(target, programFolder, "Velmor.exe", ""))
        target[0] = 0;

    int version = NtVersion();
    char folder[ShortcutPathSize];

    // Desktop. From Vista on the shortcut belongs on the all users' desktop;
    // one left on the user's desktop by an earlier setup goes first.
    if (version >= 6)
    {
        if (shell.GetFolder(CSIDL_DESKTOPDIRECTORY, folder))
            UpdateLink(folder, false, target);
        if (shell.GetFolder(CSIDL_COMMON_DESKTOPDIRECTORY, folder))
            UpdateLink(folder, settings->Desktop != 0, target);
    }
    else if (shell.GetFolder(CSIDL_DESKTOPDIRECTORY, folder))
        UpdateLink(folder, settings->Desktop != 0, target);

    // Start menu: the all users' one from Vista on; the user's own is then
    // left alone.
    if (shell.GetFolder(version >= 6 ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU, folder))
        UpdateLink(folder, settings->StartMenu != 0, target);

    // The member names are fetched once for both groups; GetMsg's ring of
    // eight keeps them while the six descriptions take its other buffers.
    const char *names[3] = {"Velmor", GetMsg(IDS_HELP_SHORTCUT), GetMsg(IDS_MANUAL_SHORTCUT)};
    bool create = settings->Programs != 0;

    if (shell.GetFolder(CSIDL_PROGRAMS, folder))
        UpdateGroup(folder, create, false, programFolder, names, groupFolder);
    // The 9x family has no all users' group for this program.
    if (version != 0 && shell.GetFolder(CSIDL_COMMON_PROGRAMS, folder))
        UpdateGroup(folder, create, true, programFolder, names, groupFolder);
}

void UpdateShortcuts(const IntegrationSettings *settings, char *groupFolder)
{
    char programPath[ShortcutPathSize];
    if (!GetProgramPath(programPath, sizeof(programPath)))
        return;
    UpdateShortcutsFor(programPath, settings, groupFolder);
}
