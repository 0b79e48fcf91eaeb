// Loads the language text from any source that reads, tells and seeks like
// File: the header search over overlapping chunks, the one read of the
// text behind it, the in-place processing and the index. Pure code, shared
// by the program (File over uninstall.lng) and the checks that feed it
// bytes from memory.
#ifndef VELMOR_LANG_LANGLOAD_H
#define VELMOR_LANG_LANGLOAD_H

#include <stdint.h>
#include <stdlib.h>

#include "lang/langtable.h"

// Source needs: int32_t Read(void *, int32_t) (-1 on failure, 0 at the
// end), int64_t Tell(), bool Seek(int64_t). On success the table owns a
// text (possibly empty, when the read behind the header failed); without
// a header, or without memory for the text, it stays empty.
template <class Source>
void ReadLanguageSource(LanguageResources &table, Source &source)
{
    char scan[LangChunkSize];
    int64_t found = -1;
    for (int chunk = 0; chunk < LangChunkCount && found < 0; ++chunk)
    {
        int64_t start = source.Tell();
        int32_t n = source.Read(scan, LangChunkSize);
        if (n < LangChunkOverlap)
            break;
        int32_t at = FindLanguageHeader(scan, n);
        if (at >= 0)
            found = start + at;
        source.Seek(start + n - LangChunkOverlap);
    }
    if (found < 0)
        return;

    source.Seek(found);
    char *text = static_cast<char *>(malloc(LangTextLimit + LangTextSlack));
    if (text == NULL)
        return;
    text[LangTextLimit] = 0;
    int32_t n = source.Read(text, LangTextLimit);
    if (n < 0)
        n = 0;   // a failed read leaves an empty, loaded text
    int32_t length = ProcessLanguageText(text, n);
    table.AdoptText(text, length);
}

#endif
