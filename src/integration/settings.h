// The user's integration choices, the fixed table of archive types, and
// their storage below HKEY_CURRENT_USER Software\Velmor.
#ifndef VELMOR_INTEGRATION_SETTINGS_H
#define VELMOR_INTEGRATION_SETTINGS_H

const int ArchiveTypeCount = 14;
const int AssociationSlots = 20;      // 14 used, 14..19 spare
const int OwnFormatRow = 0;
const int ZipRow = 1;
const int JarRow = 11;
const int IsoRow = 12;

// 26 one-byte flags, each 0 or 1.
struct IntegrationSettings
{
    unsigned char Associate[AssociationSlots];   // by archive type row
    unsigned char Desktop;
    unsigned char StartMenu;
    unsigned char Programs;
    unsigned char ShellExt;
    unsigned char CascadedMenu;
    unsigned char MenuIcons;
};

struct ArchiveType
{
    const char *Extensions;       // ".lzh.lha": each with its dot, no separator
    const char *Primary;          // the first of them
    const char *SettingsKey;      // product-relative, "Setup\" + Primary
    int CheckBoxId;               // 5101 + row
};

extern const ArchiveType ArchiveTypeTable[ArchiveTypeCount];

// Takes the next extension of a type's list from *cursor into extension
// (size bytes) and moves the cursor behind it. Each extension runs up to
// the next '.' after its own first character. False at the end of the list,
// or when the extension would not fit (the walk then ends).
bool NextExtension(const char **cursor, char *extension, unsigned size);

// Fills slots 0..13 and 20..25 from the stored choices and their defaults;
// slots 14..19 keep what they hold.
void LoadSettings(IntegrationSettings *settings);
// Stores slots 0..13 and 20..25, every value, as 0 or 1.
void SaveSettings(const IntegrationSettings *settings);

// True when the extension's HKEY_CLASSES_ROOT default value is "Velmor" or
// "Velmor.ZIP" (ASCII case ignored).
bool IsOwnAssociation(const char *extension);

#endif
