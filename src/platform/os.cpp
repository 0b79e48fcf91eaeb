#include "platform/os.h"
#include "platform/text.h"

LeadByteInfo::LeadByteInfo()
{
    CPINFO info;
    Table[256] = (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1) ? 1 : 0;
    for (int v = 0; v < 256; ++v)
        Table[v] = IsDBCSLeadByte((BYTE)v) ? 1 : 0;
}

static DWORD CachedPlatformId = 0xFFFFFFFF;  // not asked yet
static DWORD CachedMajorVersion = 0;

int NtVersion()
{
    if (CachedPlatformId == 0xFFFFFFFF)
    {
        // The ANSI record without the service-pack extension: 148 bytes is
        // the size that Windows 95 and NT 4 accept.
        static_assert(sizeof(OSVERSIONINFOA) == 148, "ANSI version record");
        OSVERSIONINFOA info;
        ZeroMemory(&info, sizeof(info));
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        GetVersionExA(&info);
        CachedPlatformId = info.dwPlatformId;
        CachedMajorVersion = info.dwMajorVersion;
    }
    return CachedPlatformId == VER_PLATFORM_WIN32_NT ? (int)CachedMajorVersion : 0;
}

int CompareNoCase(const char *a, const char *b)
{
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT,
                          a, -1, b, -1) - 2;
}

bool WideToNarrow(const wchar_t *wide, char *dst, int size)
{
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, dst, size, NULL, NULL) != 0;
}

void CopyWide(wchar_t *dst, const wchar_t *src)
{
    while ((*dst++ = *src++) != 0)
    {
    }
}

// Windows 9x has the wide file functions only as stubs that fail.
static bool UseWide(const wchar_t *widePath)
{
    return NtVersion() != 0 && widePath != NULL && widePath[0] != 0;
}

bool FileExistsAW(const char *ansiPath, const wchar_t *widePath)
{
    DWORD attr = UseWide(widePath) ? GetFileAttributesW(widePath)
                                   : GetFileAttributesA(ansiPath);
    return attr != INVALID_FILE_ATTRIBUTES;
}

bool DeleteFileAW(const char *ansiPath, const wchar_t *widePath)
{
    return UseWide(widePath) ? DeleteFileW(widePath) != 0
                             : DeleteFileA(ansiPath) != 0;
}

bool GetProgramPath(char *path, DWORD size)
{
    if (size == 0)
        return false;
    // A cut path is not terminated on XP and is terminated on later
    // versions; both return the buffer size.
    DWORD n = GetModuleFileNameA(NULL, path, size);
    path[size - 1] = 0;
    if (n == 0 || n >= size)
    {
        if (n == 0)
            path[0] = 0;
        return false;
    }
    return true;
}
