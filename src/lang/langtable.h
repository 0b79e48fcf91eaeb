// The language table: the text of uninstall.lng (lines separated by form
// feeds) and a sorted index of its line starts, with the key lookup.
// Pure code: the file access and the resource checks live elsewhere.
#ifndef VELMOR_LANG_LANGTABLE_H
#define VELMOR_LANG_LANGTABLE_H

#include <stddef.h>
#include <stdint.h>

#include "lang/array.h"

// Kinds of source text, each with the byte that starts its key.
enum TextKind
{
    KindMessage = 's',   // string-table messages, no context
    KindDialog = '$'     // dialog captions, control texts, scale and direction entries
};

enum { LangKeyLength = 8, LangValueMax = 255 };

// The language file as the loader reads it: the header is searched in up
// to 64 chunks of 8192 bytes that overlap by 16, and at most 131,072 bytes
// from the header on are loaded into a buffer with 1024 bytes to spare.
enum
{
    LangChunkSize = 8192,
    LangChunkCount = 64,
    LangChunkOverlap = 16,
    LangTextLimit = 131072,
    LangTextSlack = 1024
};

// Offset of the section header ("**" then "*messages**") in a chunk of n
// bytes, looked for at offsets 0 to n - 16 only; -1 when absent.
int32_t FindLanguageHeader(const char *chunk, int32_t n);

// Processes the n bytes read in place: escapes (\" \\ \n \r \t) become their
// characters, raw CR and LF become form feeds, a zero byte ends the text.
// Writes the ending zero and returns the length of the result (never more
// than n). buf must have room for n + 1 bytes.
int32_t ProcessLanguageText(char *buf, int32_t n);

// The decimal number at text, read like atoi: white space skipped, one
// sign, digits up to the first other character, none gives 0. The value is
// held within the 32-bit range.
int32_t ParseScaleNumber(const char *text);

// A 64-bit value held within the 32-bit range (at its edge when beyond).
int32_t HoldInt32(int64_t value);

// value * percent / 100 in 32-bit terms, truncated toward zero; a result
// beyond the 32-bit range is held at its edge.
int32_t ScaleByPercent(int32_t value, int32_t percent);

// Writes the key of a text: the CRC-32 of kind byte + context + source as
// 8 lowercase hex digits. key must hold 9 bytes.
void MakeLanguageKey(char *key, const char *source, const char *context, TextKind kind);

class LanguageResources
{
public:
    LanguageResources();
    ~LanguageResources();
    LanguageResources(const LanguageResources &) = delete;
    LanguageResources &operator=(const LanguageResources &) = delete;

    bool IsLoaded() const { return Text != NULL; }

    // Writes the translation of source, or source itself, into dst of
    // dstSize bytes (dst may be source). A value is cut to what fits.
    void Translate(const char *source, char *dst, size_t dstSize,
                   const char *context, TextKind kind) const;

    // Start of the entry line of an 8-character key, or NULL.
    const char *FindEntry(const char *key) const;   // bisection over LineIndex
    const char *ScanEntry(const char *key) const;   // linear, from the first line

    // Sets Rtl from the language module or the direction entry.
    void DetectTextDirection();

    // Loads the language file of that name beside the running program, or
    // from the given full path; the table is left empty when there is no
    // file or no header in it.
    void ReadLanguageText(const char *name);
    void ReadLanguageFileAt(const char *path);

    // Reads the dialog's scale entry ("X*Y" percentages) into x and y, 100
    // each without one; true when scaling is wanted (not both 100).
    bool GetDialogScale(const char *dialogName, int32_t *x, int32_t *y) const;

    // Takes a processed text (form-feed separated, zero-ended, length bytes
    // before the zero) allocated with malloc, and indexes it.
    void AdoptText(char *text, int32_t length);

    // Indexes every line start but the first (and none in the last 8
    // bytes) and sorts the offsets by their first 8 characters.
    void BuildLineIndex();

    char *Text;
    int32_t TextLength;
    Array<int> LineIndex;
    bool Rtl;
};

extern LanguageResources LanguageTable;

#endif
