// Windows version, locale-aware comparison, wide/narrow conversion and file
// existence and deletion that prefer the wide name on NT.
#ifndef VELMOR_PLATFORM_OS_H
#define VELMOR_PLATFORM_OS_H

#include <windows.h>

// Major Windows version on the NT family (4 NT 4, 5 2000/XP, 6 Vista and
// later), 0 on Windows 95/98/Me. Asked once per process.
int NtVersion();

// -1, 0 or 1 like a sort order, case-insensitive in the user's locale;
// -2 when the comparison itself failed.
int CompareNoCase(const char *a, const char *b);

// Converts to the ANSI code page into size bytes; true on success.
bool WideToNarrow(const wchar_t *wide, char *dst, int size);

// Copies the wide string with its terminator; dst must have room.
void CopyWide(wchar_t *dst, const wchar_t *src);

// The wide name is used on NT when it is given and not empty, so that a
// name outside the ANSI code page still works; otherwise the ANSI one.
bool FileExistsAW(const char *ansiPath, const wchar_t *widePath);
bool DeleteFileAW(const char *ansiPath, const wchar_t *widePath);

// Full path of this program's file, always terminated; false when the
// path did not fit the buffer whole.
bool GetProgramPath(char *path, DWORD size);

#endif
