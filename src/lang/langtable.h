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
