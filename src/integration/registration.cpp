#include "integration/registration.h"

#include <windows.h>
#include <shlobj.h>

#include "lang/format.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "res/resource.h"

const char AppPathKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Velmor.exe";

const unsigned PathSize = 1024;

bool GetArchiverPath(char *path, unsigned size)
{
    // A cut program path would name another program; write nothing then.
    if (!GetProgramPath(path, size) || !BuildPathBesideProgram(path, size, path, "Velmor.exe"))
    {
        path[0] = 0;
        return false;
    }
    return true;
}

bool RegisterAppPath()
{
    char path[PathSize];
    if (!GetArchiverPath(path, sizeof(path)))
        return true;
    if (SetRegString(HKEY_LOCAL_MACHINE, AppPathKey, "", path) == ERROR_ACCESS_DENIED)
        return false;
    // The folder without a trailing backslash, except a drive root ("C:\").
    RemoveNameFromPath(path);
    SetRegString(HKEY_LOCAL_MACHINE, AppPathKey, "Path", path);
    return true;
}

// Writes the icon unless the user (or a previous setup) left a non-empty one.
static void SetIconIfEmpty(const char *key, const char *icon)
{
    char current[PathSize];
    GetRegString(HKEY_CLASSES_ROOT, key, "", current, "", sizeof(current));
    if (current[0] == 0)
        SetRegString(HKEY_CLASSES_ROOT, key, "", icon);
}

struct ProgIdEntry
{
    const char *ProgId;
    const char *Command;
    const char *IconKey;
    int Description;
    bool VolumeIcon;
};

static const ProgIdEntry ProgIds[] = {
    {"Velmor", "Velmor\\shell\\open\\command", "Velmor\\DefaultIcon", IDS_PROGID_VMZ, false},
    {"Velmor.ZIP", "Velmor.ZIP\\shell\\open\\command", "Velmor.ZIP\\DefaultIcon", IDS_PROGID_ZIP, false},
    {"Velmor.REV", "Velmor.REV\\shell\\open\\command", "Velmor.REV\\DefaultIcon", IDS_PROGID_REV, true},
};

bool RegisterProgIds(const char *archiveIcon, const char *volumeIcon)
{
    char path[PathSize];
    if (!GetArchiverPath(path, sizeof(path)))
        return true;
    char command[PathSize + 8];
    char ownArchiveIcon[PathSize + 4];
    char ownVolumeIcon[PathSize + 4];
    // The path is at most 1023 bytes, so none of these is ever cut.
    FormatMessageText1(command, sizeof(command), "\"%s\" \"%%1\"", path);
    FormatMessageText1(ownArchiveIcon, sizeof(ownArchiveIcon), "%s,0", path);
    FormatMessageText1(ownVolumeIcon, sizeof(ownVolumeIcon), "%s,1", path);
    if (archiveIcon == NULL)
        archiveIcon = ownArchiveIcon;
    if (volumeIcon == NULL)
        volumeIcon = ownVolumeIcon;

    for (const ProgIdEntry &entry : ProgIds)
    {
        if (entry.VolumeIcon)
            SetRegString(HKEY_CLASSES_ROOT, ".rev", "", "Velmor.REV");
        LONG result = SetRegString(HKEY_CLASSES_ROOT, entry.ProgId, "", GetMsg(entry.Description));
        if (result == ERROR_ACCESS_DENIED && &entry == &ProgIds[0])
            return false;
        SetRegString(HKEY_CLASSES_ROOT, entry.Command, "", command);
        SetIconIfEmpty(entry.IconKey, entry.VolumeIcon ? volumeIcon : archiveIcon);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, NULL, NULL);
    return true;
}
