#include "platform/registry.h"

#include <string.h>

#include "platform/os.h"
#include "platform/text.h"

static REGSAM RegView = 0;            // KEY_WOW64_64KEY while switched on

// Tree deletion state; the deletion is not re-entrant.
static int TreePassCount = 0;         // keys deleted in the current pass
static int TreePasses = 0;            // passes of the last DeleteRegTree

const int TreePathSize = 512;
const int TreeNameSize = 200;

bool RegKey::Close()
{
    HKEY key = Key;
    Key = NULL;
    return CloseRegKey(key);
}

bool BuildRegPath(HKEY root, char *buffer, const char *path, int size)
{
    size_t len = strlen(path);
    if (size < 20 || len > (size_t)(size - 20))
        return false;
    if (root == HKEY_CURRENT_USER)
    {
        if (path[0] == '\\')
        {
            memcpy(buffer, path + 1, len);          // len - 1 bytes and the zero
            return true;
        }
        static const char Product[] = "Software\\Velmor";
        memcpy(buffer, Product, sizeof(Product));
        if (path[0] != 0)
        {
            // 15 + 1 + 236 + 1 bytes at most: fits the 20 spared.
            buffer[sizeof(Product) - 1] = '\\';
            memcpy(buffer + sizeof(Product), path, len + 1);
        }
        return true;
    }
    memcpy(buffer, path, len + 1);
    return true;
}

HKEY OpenRegWrite(HKEY root, const char *path, LONG *error)
{
    char full[RegPathSize];
    if (!BuildRegPath(root, full, path, sizeof(full)))
    {
        *error = RegPathRefused;
        return NULL;
    }
    HKEY key = NULL;
    *error = RegCreateKeyExA(root, full, 0, NULL, 0, KEY_WRITE | RegView, NULL, &key, NULL);
    return *error == ERROR_SUCCESS ? key : NULL;
}

HKEY OpenRegRead(HKEY root, const char *path)
{
    char full[RegPathSize];
    if (!BuildRegPath(root, full, path, sizeof(full)))
        return NULL;
    HKEY key = NULL;
    if (RegOpenKeyExA(root, full, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

bool CloseRegKey(HKEY key)
{
    return key != NULL && RegCloseKey(key) == ERROR_SUCCESS;
}

static LONG SetRegValue(HKEY root, const char *path, const char *name, DWORD type,
                        const void *data, DWORD size)
{
    LONG error;
    RegKey key(OpenRegWrite(root, path, &error));
    if (!key.IsOpen())
        return error;
    return RegSetValueExA(key.Get(), name, 0, type, (const BYTE *)data, size);
}

LONG SetRegString(HKEY root, const char *path, const char *name, const char *text)
{
    return SetRegValue(root, path, name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

LONG SetRegDword(HKEY root, const char *path, const char *name, DWORD value)
{
    return SetRegValue(root, path, name, REG_DWORD, &value, sizeof(value));
}

LONG SetRegBinary(HKEY root, const char *path, const char *name, const void *data, DWORD size)
{
    return SetRegValue(root, path, name, REG_BINARY, data, size);
}

bool GetRegString(HKEY root, const char *path, const char *name, char *buffer,
                  const char *defaultText, DWORD size)
{
    if (size == 0)
        return false;
    RegKey key(OpenRegRead(root, path));
    if (key.IsOpen())
    {
        DWORD got = size;
        LONG result = RegQueryValueExA(key.Get(), name, NULL, NULL, (BYTE *)buffer, &got);
        key.Close();
        // The stored bytes are delivered as they are, but always terminated:
        // a value that leaves no room for a terminator behind its last
        // non-zero byte does not fit and counts as absent.
        if (result == ERROR_SUCCESS && got != 0 && got <= size)
        {
            if (got < size)
            {
                buffer[got] = 0;
                return true;
            }
            if (buffer[size - 1] == 0)
                return true;
        }
    }
    CopyLimited(buffer, defaultText, size);
    return false;
}

DWORD GetRegDword(HKEY root, const char *path, const char *name, DWORD defaultValue)
{
    RegKey key(OpenRegRead(root, path));
    if (!key.IsOpen())
        return defaultValue;
    DWORD value = 0;
    DWORD got = sizeof(value);
    LONG result = RegQueryValueExA(key.Get(), name, NULL, NULL, (BYTE *)&value, &got);
    if (result != ERROR_SUCCESS || got == 0 || got > sizeof(value))
        return defaultValue;
    return value;
}

// RegDeleteKeyExA exists from Windows XP x64 on; it is the only way to
// delete a key of the other registry view by name. Looked up at run time so
// that the program still starts where it is missing.
typedef LONG(WINAPI *DeleteKeyExFunction)(HKEY, LPCSTR, REGSAM, DWORD);

void DeleteRegKey(HKEY root, const char *path)
{
    char full[RegPathSize];
    if (!BuildRegPath(root, full, path, sizeof(full)))
        return;
    if (RegView != 0)
    {
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        DeleteKeyExFunction deleteKeyEx =
            advapi != NULL ? (DeleteKeyExFunction)(void *)GetProcAddress(advapi, "RegDeleteKeyExA")
                           : NULL;
        if (deleteKeyEx != NULL)
        {
            deleteKeyEx(root, full, RegView, 0);
            return;
        }
    }
    RegDeleteKeyA(root, full);
}

void DeleteRegValue(HKEY root, const char *path, const char *name)
{
    char full[RegPathSize];
    if (!BuildRegPath(root, full, path, sizeof(full)))
        return;
    HKEY opened = NULL;
    if (RegOpenKeyExA(root, full, 0, KEY_WRITE, &opened) != ERROR_SUCCESS)
        return;
    RegKey key(opened);
    RegDeleteValueA(key.Get(), name);
}

// One depth-first pass below path (length len, in a TreePathSize buffer
// shared by the whole walk). Enumerating by rising index while deleting
// what was visited skips keys that moved down; the next pass finds them.
static void DeleteTreePass(HKEY root, char *path, size_t len)
{
    if (len == 0)
        return;
    HKEY opened = NULL;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    RegKey key(opened);
    for (DWORD index = 0;; ++index)
    {
        char name[TreeNameSize];
        DWORD nameLen = sizeof(name);
        if (RegEnumKeyExA(key.Get(), index, name, &nameLen, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        // The joined path must fit whole; a branch that does not is left.
        if (len + 1 + nameLen + 1 > (size_t)TreePathSize)
            continue;
        path[len] = '\\';
        memcpy(path + len + 1, name, nameLen + 1);
        DeleteTreePass(root, path, len + 1 + nameLen);
        path[len] = 0;
    }
    key.Close();
    if (RegDeleteKeyA(root, path) == ERROR_SUCCESS)
        ++TreePassCount;
}

void DeleteRegTree(HKEY root, const char *path)
{
    TreePasses = 0;
    char full[TreePathSize];
    if (!BuildRegPath(root, full, path, RegPathSize) || full[0] == 0)
        return;
    // Windows 9x deletes a key together with all its sub-keys.
    if (NtVersion() == 0 && RegDeleteKeyA(root, full) == ERROR_SUCCESS)
        return;
    size_t len = strlen(full);
    do
    {
        TreePassCount = 0;
        ++TreePasses;
        DeleteTreePass(root, full, len);
    } while (TreePassCount != 0);
}

int LastDeleteRegTreePasses()
{
    return TreePasses;
}

bool RegKeyExists(HKEY root, const char *path)
{
    char full[RegPathSize];
    if (!BuildRegPath(root, full, path, sizeof(full)))
        return false;
    HKEY key = NULL;
    if (RegOpenKeyExA(root, full, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SetRegView64(bool on)
{
    RegView = on ? KEY_WOW64_64KEY : 0;
}

LONG SetProductString(const char *path, const char *name, const char *text)
{
    return SetRegString(HKEY_CURRENT_USER, path, name, text);
}

LONG SetProductDword(const char *path, const char *name, DWORD value)
{
    return SetRegDword(HKEY_CURRENT_USER, path, name, value);
}

bool GetProductString(const char *path, const char *name, char *buffer,
                      const char *defaultText, DWORD size)
{
    return GetRegString(HKEY_CURRENT_USER, path, name, buffer, defaultText, size);
}

DWORD GetProductDword(const char *path, const char *name, DWORD defaultValue)
{
    return GetRegDword(HKEY_CURRENT_USER, path, name, defaultValue);
}
