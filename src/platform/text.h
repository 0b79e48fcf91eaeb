// Path and text helpers over 8-bit strings in the ANSI code page.
// Pure code: no windows.h here, so that it also builds natively for
// sanitizers and fuzzing. The lead-byte table itself is filled by the
// platform layer (os.cpp) from the ANSI code page at program start.
#ifndef VELMOR_PLATFORM_TEXT_H
#define VELMOR_PLATFORM_TEXT_H

#include <stddef.h>

// Entry v (0..255) is 1 when byte v starts a double-byte character in the
// ANSI code page; entry 256 is 1 when the code page has such characters.
class LeadByteInfo
{
public:
    LeadByteInfo();               // fills the table from the ANSI code page
    unsigned char Table[257];
    bool IsMultiByte() const { return Table[256] != 0; }
};

extern LeadByteInfo LeadByteTable;

// Two bytes on when *p is a lead byte, else one. Never steps over the
// terminator: a lead byte directly followed by zero counts as one byte.
const char *NextChar(const char *p);
char *NextChar(char *p);

// Start of the last character of s; s itself when s is empty.
const char *PointToLastChar(const char *s);

// Start of the file-name part: behind the last '\' or '/', else behind a
// drive prefix "X:", else the path itself.
const char *PointToName(const char *path);
char *PointToName(char *path);

// Appends '\' unless the path is empty or its last character is '\'.
// The caller's buffer must have room for one more byte.
void AddEndSlash(char *path);

// Cuts the file-name part and the separator before it, keeping a root.
void RemoveNameFromPath(char *path);

// Removes trailing CR, LF, space and tab bytes; returns s.
char *TrimTrailingSpaces(char *s);

// Copies at most size - 1 bytes, zero-fills the rest and always terminates.
// size 0 leaves the destination untouched.
char *CopyLimited(char *dst, const char *src, size_t size);

// Copies src into dst (size bytes; dst may be src) only when it fits whole,
// terminator included; returns false and leaves dst empty otherwise. Used
// wherever a cut name could name another, existing path.
bool CopyWhole(char *dst, const char *src, size_t size);

// Appends src to the text in dst only when the result fits in size bytes;
// returns false and leaves dst unchanged otherwise.
bool AppendWhole(char *dst, const char *src, size_t size);

// ASCII-only case-insensitive helpers for switches and fixed names.
char AsciiUpper(char c);
bool IsAsciiLetter(char c);
// True when text begins with prefix, compared without regard to ASCII case.
bool StartsWithNoCase(const char *text, const char *prefix);
bool EqualsNoCaseAscii(const char *a, const char *b);

#endif
