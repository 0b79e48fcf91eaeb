#include "integration/settings.h"

#include <stddef.h>
#include <string.h>

#include <windows.h>

#include "platform/registry.h"
#include "platform/text.h"

static_assert(sizeof(IntegrationSettings) == 26, "26 one-byte flags");

const ArchiveType ArchiveTypeTable[ArchiveTypeCount] = {
    {".vmz", ".vmz", "Setup\\.vmz", 5101},
    {".zip", ".zip", "Setup\\.zip", 5102},
    {".cab", ".cab", "Setup\\.cab", 5103},
    {".arj", ".arj", "Setup\\.arj", 5104},
    {".lzh.lha", ".lzh", "Setup\\.lzh", 5105},
    {".ace", ".ace", "Setup\\.ace", 5106},
    {".7z", ".7z", "Setup\\.7z", 5107},
    {".tar", ".tar", "Setup\\.tar", 5108},
    {".gz.tgz", ".gz", "Setup\\.gz", 5109},
    {".uue.xxe.uu", ".uue", "Setup\\.uue", 5110},
    {".bz2.tbz2.bz.tbz", ".bz2", "Setup\\.bz2", 5111},
    {".jar", ".jar", "Setup\\.jar", 5112},
    {".iso", ".iso", "Setup\\.iso", 5113},
    {".z.taz", ".z", "Setup\\.z", 5114},
};

// Extension default values are read into 80 bytes; a longer one counts as
// no owner at all.
const DWORD OwnerSize = 80;

struct OptionValue
{
    const char *Key;
    const char *Name;
    size_t Offset;
    DWORD Default;
};

static const OptionValue Options[] = {
    {"Setup\\Links", "Desktop", offsetof(IntegrationSettings, Desktop), 0},
    {"Setup\\Links", "StartMenu", offsetof(IntegrationSettings, StartMenu), 0},
    {"Setup\\Links", "Programs", offsetof(IntegrationSettings, Programs), 1},
    {"Setup", "ShellExt", offsetof(IntegrationSettings, ShellExt), 1},
    {"Setup", "CascadedMenu", offsetof(IntegrationSettings, CascadedMenu), 0},
    {"Setup", "MenuIcons", offsetof(IntegrationSettings, MenuIcons), 1},
};

bool IsOwnAssociation(const char *extension)
{
    char owner[OwnerSize];
    GetRegString(HKEY_CLASSES_ROOT, extension, "", owner, "", sizeof(owner));
    return EqualsNoCaseAscii(owner, "Velmor") || EqualsNoCaseAscii(owner, "Velmor.ZIP");
}

void LoadSettings(IntegrationSettings *settings)
{
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        const ArchiveType &type = ArchiveTypeTable[row];
        unsigned char on = GetProductDword(type.SettingsKey, "Set", 1) != 0;
        // JAR and ISO files usually belong to a Java runtime or a disc
        // tool; setup offers them only when nobody has claimed them.
        if ((row == JarRow || row == IsoRow) && !IsOwnAssociation(type.Primary))
        {
            char owner[OwnerSize];
            GetRegString(HKEY_CLASSES_ROOT, type.Primary, "", owner, "", sizeof(owner));
            if (owner[0] != 0)
                on = 0;
        }
        settings->Associate[row] = on;
    }
    unsigned char *bytes = (unsigned char *)settings;
    for (const OptionValue &option : Options)
        bytes[option.Offset] = GetProductDword(option.Key, option.Name, option.Default) != 0;
}

void SaveSettings(const IntegrationSettings *settings)
{
    for (int row = 0; row < ArchiveTypeCount; ++row)
        SetProductDword(ArchiveTypeTable[row].SettingsKey, "Set", settings->Associate[row] != 0);
    const unsigned char *bytes = (const unsigned char *)settings;
    for (const OptionValue &option : Options)
        SetProductDword(option.Key, option.Name, bytes[option.Offset] != 0);
}

bool NextExtension(const char **cursor, char *extension, unsigned size)
{
    const char *p = *cursor;
    if (*p == 0)
        return false;
    const char *next = strchr(p + 1, '.');
    size_t len = next != NULL ? (size_t)(next - p) : strlen(p);
    if (len >= size)
        return false;
    memcpy(extension, p, len);
    extension[len] = 0;
    *cursor = p + len;
    return true;
}
