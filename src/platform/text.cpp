#include "platform/text.h"

#include <string.h>

const char *NextChar(const char *p)
{
    if (LeadByteTable.Table[(unsigned char)*p] && p[1] != 0)
        return p + 2;
    return p + 1;
}

char *NextChar(char *p)
{
    return const_cast<char *>(NextChar(static_cast<const char *>(p)));
}

// One step of a character walk: by characters on a double-byte code page,
// by bytes otherwise.
static inline const char *Step(const char *p, bool multiByte)
{
    return multiByte ? NextChar(p) : p + 1;
}

const char *PointToLastChar(const char *s)
{
    const bool mb = LeadByteTable.IsMultiByte();
    const char *last = s;
    for (const char *p = s; *p != 0; p = Step(p, mb))
        last = p;
    return last;
}

const char *PointToName(const char *path)
{
    const bool mb = LeadByteTable.IsMultiByte();
    const char *afterSep = NULL;
    for (const char *p = path; *p != 0; p = Step(p, mb))
    {
        if (*p == '\\' || *p == '/')
            afterSep = p + 1;
    }
    if (afterSep != NULL)
        return afterSep;
    if (path[0] == 0)
        return path;
    // "X:name": only when the first character is a single byte, so that a
    // double-byte character whose trail byte is ':' is not a drive.
    if (path[1] == ':' && Step(path, mb) == path + 1)
        return path + 2;
    return path;
}

char *PointToName(char *path)
{
    return const_cast<char *>(PointToName(static_cast<const char *>(path)));
}

void AddEndSlash(char *path)
{
    if (path[0] == 0)
        return;
    const char *last = PointToLastChar(path);
    if (*last == '\\')
        return;
    size_t len = strlen(path);
    path[len] = '\\';
    path[len + 1] = 0;
}

void RemoveNameFromPath(char *path)
{
    char *name = PointToName(path);
    ptrdiff_t into = name - path;
    if (into >= 2 && (path[1] != ':' || into >= 4))
        --name;
    *name = 0;
}

char *TrimTrailingSpaces(char *s)
{
    size_t len = strlen(s);
    while (len > 0)
    {
        char c = s[len - 1];
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            break;
        s[--len] = 0;
    }
    return s;
}

char *CopyLimited(char *dst, const char *src, size_t size)
{
    if (size == 0)
        return dst;
    size_t i = 0;
    for (; i < size - 1 && src[i] != 0; ++i)
        dst[i] = src[i];
    for (; i < size; ++i)
        dst[i] = 0;
    return dst;
}

bool CopyWhole(char *dst, const char *src, size_t size)
{
    if (size == 0)
        return false;
    size_t len = strlen(src);
    if (len >= size)
    {
        dst[0] = 0;
        return false;
    }
    memmove(dst, src, len + 1);   // dst may be src
    return true;
}

bool AppendWhole(char *dst, const char *src, size_t size)
{
    size_t have = strnlen(dst, size);
    size_t add = strlen(src);
    if (have >= size || add >= size - have)
        return false;
    memcpy(dst + have, src, add + 1);
    return true;
}

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool StartsWithNoCase(const char *text, const char *prefix)
{
    for (; *prefix != 0; ++text, ++prefix)
    {
        if (AsciiUpper(*text) != AsciiUpper(*prefix))
            return false;   // also stops at the end of text
    }
    return true;
}

bool EqualsNoCaseAscii(const char *a, const char *b)
{
    for (;; ++a, ++b)
    {
        if (AsciiUpper(*a) != AsciiUpper(*b))
            return false;
        if (*a == 0)
            return true;
    }
}
