#include "lang/file.h"

// Consoles and pipes may refuse a large read outright; such a read is
// tried once more with this many bytes.
static const int32_t DeviceReadChunk = 20000;

bool File::Open(const char *name)
{
    Close();
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    Handle = h;
    return true;
}

int32_t File::DirectRead(void *buffer, int32_t count)
{
    if (count < 0)
        return -1;
    DWORD got = 0;
    if (ReadFile(Handle, buffer, (DWORD)count, &got, NULL))
        return (int32_t)got;
    if (IsDevice() && count > DeviceReadChunk)
        return DirectRead(buffer, DeviceReadChunk);
    return -1;
}

bool File::IsDevice() const
{
    if (Handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD type = GetFileType(Handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

int64_t File::Tell()
{
    LONG high = 0;
    DWORD low = SetFilePointer(Handle, 0, &high, FILE_CURRENT);
    return (int64_t)(((uint64_t)(DWORD)high << 32) | low);
}

bool File::Seek(int64_t position)
{
    LONG high = (LONG)(position >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(Handle, (LONG)(uint32_t)position, &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool File::Close()
{
    if (Handle == INVALID_HANDLE_VALUE)
        return true;
    BOOL ok = CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
    return ok != FALSE;
}
