// Registry access: one-call operations that open and close the key
// themselves, over ANSI key paths.
//
// Path rule: under HKEY_CURRENT_USER a key path that does not begin with
// '\' lies below the product key Software\Velmor, and the empty path is
// that key itself; "\Software\Other" names Software\Other. Under any other
// root the path is used as it stands. A key path longer than
// RegPathSize - 20 (236) characters is refused and never cut.
#ifndef VELMOR_PLATFORM_REGISTRY_H
#define VELMOR_PLATFORM_REGISTRY_H

#include <windows.h>

const int RegPathSize = 256;          // full key path buffer, in bytes
const int RegPathMaxLength = RegPathSize - 20;    // longest key path taken
const LONG RegPathRefused = ERROR_INVALID_NAME;   // 123

// Owns one open key; closes it when it goes.
class RegKey
{
public:
    explicit RegKey(HKEY key = NULL) : Key(key) {}
    ~RegKey() { Close(); }
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;

    HKEY Get() const { return Key; }
    bool IsOpen() const { return Key != NULL; }
    // True when a key was open and closed cleanly.
    bool Close();

private:
    HKEY Key;
};

// Writes the full path into buffer (size bytes) and returns true; returns
// false and leaves the buffer untouched when path is longer than size - 20.
bool BuildRegPath(HKEY root, char *buffer, const char *path, int size);

// Opens for writing (KEY_WRITE plus the current view flag), creating the key
// when missing. On failure returns NULL with *error set: 123 when the path
// was refused, else the system's code (5 when access is denied).
HKEY OpenRegWrite(HKEY root, const char *path, LONG *error);
// Opens for reading values and enumerating sub-keys; NULL on failure.
HKEY OpenRegRead(HKEY root, const char *path);
// False for a null handle or a failed close.
bool CloseRegKey(HKEY key);

// Writers return 0 or the Win32 error code. A value name "" is the key's
// default value. Texts are stored as REG_SZ with their terminator.
LONG SetRegString(HKEY root, const char *path, const char *name, const char *text);
LONG SetRegDword(HKEY root, const char *path, const char *name, DWORD value);
LONG SetRegBinary(HKEY root, const char *path, const char *name,
                  const void *data, DWORD size);

// Reads the value's bytes, whatever its type, into buffer (size bytes) and
// returns true when it held at least one byte and fits with a terminator;
// the buffer is then always terminated behind the stored bytes. Otherwise
// (no key, no value, zero bytes, too long, or a text without terminator
// that fills the buffer) defaultText is copied, cut to the buffer, and the
// result is false.
bool GetRegString(HKEY root, const char *path, const char *name, char *buffer,
                  const char *defaultText, DWORD size);
// The stored number when the value has 1 to 4 bytes (missing high bytes
// read as zero), else defaultValue. The type is not tested.
DWORD GetRegDword(HKEY root, const char *path, const char *name, DWORD defaultValue);

// Deletes one key; on NT it must have no sub-keys (9x deletes them too).
void DeleteRegKey(HKEY root, const char *path);
void DeleteRegValue(HKEY root, const char *path, const char *name);
// Deletes the key with everything below it. Where Windows 9x cannot delete
// the tree in one call, and always on NT, it runs deletion passes; there a
// branch whose joined path would not fit 512 bytes, or whose name has 200
// characters or more, is left in place together with the keys above it.
void DeleteRegTree(HKEY root, const char *path);
// Number of deletion passes the last DeleteRegTree ran (0 when it ran none,
// as when 9x removed the tree in one call).
int LastDeleteRegTreePasses();

bool RegKeyExists(HKEY root, const char *path);

// While on, keys opened for writing and keys deleted by DeleteRegKey are
// those of the 64-bit registry view. Values are never deleted through it.
void SetRegView64(bool on);

// HKEY_CURRENT_USER with product-relative paths.
LONG SetProductString(const char *path, const char *name, const char *text);
LONG SetProductDword(const char *path, const char *name, DWORD value);
bool GetProductString(const char *path, const char *name, char *buffer,
                      const char *defaultText, DWORD size);
DWORD GetProductDword(const char *path, const char *name, DWORD defaultValue);

#endif
