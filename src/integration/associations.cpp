#include "integration/associations.h"

#include <stdio.h>
#include <string.h>

#include <windows.h>

#include "lang/format.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "platform/text.h"

unsigned char OwnFormatTemplate[OwnTemplateSize] = {
    0x00, 0x6D, 0x7A, 0x21, 0x1A, 0x07, 0x00,   // "Vmz!" 1A 07 00
    0xCF, 0x90,                                 // CRC-32 of the header, low 16 bits
    0x73, 0x00, 0x00, 0x0D, 0x00,               // type, flags, size 13
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
unsigned char ZipTemplate[ZipTemplateSize] = {
    0x00, 0x4B, 0x05, 0x06};                    // "PK" 05 06, then 18 zero bytes

// Read limits of the previous owner's values; a longer value counts as
// absent.
const DWORD ProgIdSize = 512;
const DWORD TemplateNameSize = 1024;
const DWORD NullFileProbeSize = 10;

const int NtVolumeCount = 30;         // .v00 .. .v29 taken on NT
const int AllVolumeCount = 100;       // .v00 .. .v99 on 9x, and at give-back

// ".v%02d"
static void FormatVolumeExtension(char *dst, int number)
{
    dst[0] = '.';
    dst[1] = 'v';
    dst[2] = (char)('0' + number / 10);
    dst[3] = (char)('0' + number % 10);
    dst[4] = 0;
}

static bool IsProductProgId(const char *progId)
{
    return EqualsNoCaseAscii(progId, "Velmor") || EqualsNoCaseAscii(progId, "Velmor.ZIP");
}

// Windows Me, 2000 and later take a template file name; 95, 98 and NT 4
// only the template bytes themselves.
static bool TakesTemplateFile()
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    return info.dwMajorVersion >= 5 || info.dwMinorVersion >= 11;
}

static void SaveOwner(const char *extension, const char *shellNewKey, const char *backupKey)
{
    char progId[ProgIdSize];
    char contentType[ProgIdSize];
    char templateName[TemplateNameSize];
    char nullFile[NullFileProbeSize];
    GetRegString(HKEY_CLASSES_ROOT, extension, "", progId, "", sizeof(progId));
    GetRegString(HKEY_CLASSES_ROOT, extension, "Content Type", contentType, "", sizeof(contentType));
    GetRegString(HKEY_CLASSES_ROOT, shellNewKey, "FileName", templateName, "", sizeof(templateName));
    // An empty NullFile still holds its terminator, so it counts.
    bool hasNullFile = GetRegString(HKEY_CLASSES_ROOT, shellNewKey, "NullFile",
                                    nullFile, "", sizeof(nullFile));

    SetProductDword(backupKey, "Exist", RegKeyExists(HKEY_CLASSES_ROOT, extension) ? 1 : 0);
    SetProductString(backupKey, "Type", progId);
    SetProductString(backupKey, "Content", contentType);
    SetProductString(backupKey, "ShellNew",
                     templateName[0] == 0 && hasNullFile ? "*" : templateName);
}

static void InstallTemplate(const char *shellNewKey, bool isZip)
{
    const unsigned char *bytes = isZip ? ZipTemplate : OwnFormatTemplate;
    DWORD size = isZip ? ZipTemplateSize : OwnTemplateSize;
    DeleteRegKey(HKEY_CLASSES_ROOT, shellNewKey);
    if (!TakesTemplateFile())
    {
        SetRegBinary(HKEY_CLASSES_ROOT, shellNewKey, "Data", bytes, size);
        return;
    }
    char path[TemplateNameSize];
    if (!GetProgramPath(path, sizeof(path)) ||
        !BuildPathBesideProgram(path, sizeof(path), path, isZip ? "zipnew.dat" : "vmznew.dat"))
        return;
    // A template already there (the user's own, or from an earlier setup)
    // is never rewritten.
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
    {
        FILE *file = fopen(path, "wb");
        if (file != NULL)
        {
            fwrite(bytes, 1, size, file);
            fclose(file);
        }
    }
    SetRegString(HKEY_CLASSES_ROOT, shellNewKey, "FileName", path);
}

static void TakeOver(const char *extension, const char *shellNewKey, const char *backupKey,
                     bool shellIntegration, bool isZip, bool isOwnFormat)
{
    // While the product owns the extension the first backup stays, so that
    // running setup again never records the product as its own previous
    // owner.
    if (!IsOwnAssociation(extension))
        SaveOwner(extension, shellNewKey, backupKey);
    SetRegString(HKEY_CLASSES_ROOT, extension, "", isZip ? "Velmor.ZIP" : "Velmor");
    DeleteRegValue(HKEY_CLASSES_ROOT, extension, "Content Type");
    if (isOwnFormat)
    {
        // Windows 9x shows the old-style volumes up to .v99 in its own
        // way; NT needs only the first 30.
        int count = NtVersion() != 0 ? NtVolumeCount : AllVolumeCount;
        for (int number = 0; number < count; ++number)
        {
            char volume[8];
            FormatVolumeExtension(volume, number);
            SetRegString(HKEY_CLASSES_ROOT, volume, "", "Velmor");
            DeleteRegValue(HKEY_CLASSES_ROOT, volume, "Content Type");
        }
    }
    if (shellIntegration && (isZip || isOwnFormat))
        InstallTemplate(shellNewKey, isZip);
}

static void GiveBack(const char *extension, const char *shellNewKey, const char *backupKey,
                     bool isOwnFormat)
{
    // Somebody else took the extension after setup, or nobody has it:
    // leave it to them.
    if (!IsOwnAssociation(extension))
        return;
    bool existed = GetProductDword(backupKey, "Exist", 1) != 0;
    char progId[ProgIdSize];
    char contentType[ProgIdSize];
    GetProductString(backupKey, "Type", progId, "", sizeof(progId));
    if (IsProductProgId(progId))
        progId[0] = 0;
    GetProductString(backupKey, "Content", contentType, "", sizeof(contentType));

    if (existed)
    {
        SetRegString(HKEY_CLASSES_ROOT, extension, "", progId);
        if (contentType[0] != 0)
            SetRegString(HKEY_CLASSES_ROOT, extension, "Content Type", contentType);
        else
            DeleteRegValue(HKEY_CLASSES_ROOT, extension, "Content Type");
        char templateName[TemplateNameSize];
        GetProductString(backupKey, "ShellNew", templateName, "", sizeof(templateName));
        DeleteRegValue(HKEY_CLASSES_ROOT, shellNewKey, "FileName");
        if (templateName[0] == '*')
            SetRegString(HKEY_CLASSES_ROOT, shellNewKey, "NullFile", "");
        else if (templateName[0] != 0)
            SetRegString(HKEY_CLASSES_ROOT, shellNewKey, "FileName", templateName);
    }
    else
    {
        DeleteRegKey(HKEY_CLASSES_ROOT, shellNewKey);
        SetRegString(HKEY_CLASSES_ROOT, extension, "", "");
        // Fails while the key has sub-keys; it then stays with an empty
        // default value.
        DeleteRegKey(HKEY_CLASSES_ROOT, extension);
    }

    if (isOwnFormat)
    {
        bool restore = existed && progId[0] != 0;
        for (int number = 0; number < AllVolumeCount; ++number)
        {
            char volume[8];
            FormatVolumeExtension(volume, number);
            if (restore)
            {
                SetRegString(HKEY_CLASSES_ROOT, volume, "", progId);
                if (contentType[0] != 0)
                    SetRegString(HKEY_CLASSES_ROOT, volume, "Content Type", contentType);
            }
            else
                DeleteRegKey(HKEY_CLASSES_ROOT, volume);
        }
    }
}

void SetAssociation(const char *extension, bool associate, bool shellIntegration,
                    bool isZip, bool isOwnFormat)
{
    OwnFormatTemplate[0] = 0x56;    // 'V'
    ZipTemplate[0] = 0x50;          // 'P'

    // Names that would not fit are refused, never cut into another key's;
    // an extension whose keys the registry layer would refuse is not
    // touched at all, nor are the volumes that go with it.
    char shellNewKey[RegPathSize];
    char backupKey[RegPathSize];
    if (!FormatMessageText1(shellNewKey, RegPathMaxLength + 1, "%s\\ShellNew", extension) ||
        !FormatMessageText1(backupKey, RegPathMaxLength + 1, "Setup\\%s", extension))
        return;
    if (associate)
        TakeOver(extension, shellNewKey, backupKey, shellIntegration, isZip, isOwnFormat);
    else
        GiveBack(extension, shellNewKey, backupKey, isOwnFormat);
}

void ApplyAssociations(const IntegrationSettings *settings)
{
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        const char *cursor = ArchiveTypeTable[row].Extensions;
        char extension[32];
        while (NextExtension(&cursor, extension, sizeof(extension)))
            SetAssociation(extension, settings->Associate[row] != 0, settings->ShellExt != 0,
                           row == ZipRow, row == OwnFormatRow);
    }
}
