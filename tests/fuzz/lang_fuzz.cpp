// libFuzzer target: arbitrary bytes loaded as a language file, then
// lookups of keys and texts taken from the same bytes, the scale entries
// of the program's dialogs and of contexts from the input. Built natively
// with AddressSanitizer and UndefinedBehaviorSanitizer; every finding is a
// fault, and each one fixed is kept in corpus/ as a regression case.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "lang/langload.h"
#include "lang/langtable.h"

namespace {

// A file in memory that reads, tells and seeks like File. The first byte
// of the input chooses how reads behave: whole requests, short pieces as a
// pipe gives them, or a failing read once the header was searched.
class MemoryFile
{
public:
    MemoryFile(const uint8_t *data, size_t size, int mode)
        : Data(data), Size(size), Position(0), Mode(mode), Reads(0) {}

    int32_t Read(void *buffer, int32_t count)
    {
        ++Reads;
        if (count < 0)
            return -1;
        if (Mode == 2 && Reads > 1)
            return -1;
        size_t n = (size_t)count;
        if (Mode == 1)
            n = std::min(n, (size_t)4099);
        if (Position >= (int64_t)Size)
            return 0;
        n = std::min(n, Size - (size_t)Position);
        memcpy(buffer, Data + Position, n);
        Position += (int64_t)n;
        return (int32_t)n;
    }

    int64_t Tell() const { return Position; }

    bool Seek(int64_t position)
    {
        if (position < 0)
            return false;
        Position = position;
        return true;
    }

private:
    const uint8_t *Data;
    size_t Size;
    int64_t Position;
    int Mode;
    int Reads;
};

// A zero-ended text of at most max bytes taken from the input.
std::string Piece(const uint8_t *data, size_t size, size_t at, size_t max)
{
    std::string s;
    for (size_t i = at; i < size && s.size() < max; ++i)
    {
        if (data[i] == 0)
            break;
        s += (char)data[i];
    }
    return s;
}

// The processing rules one byte at a time, as the file format states them:
// the result the program's processing must give for the same bytes.
std::string ReferenceProcessing(const uint8_t *data, size_t n)
{
    std::string out;
    size_t j = 0;
    while (j < n)
    {
        char ch = (char)data[j++];
        if (ch == 0)
            break;
        if (ch == '\\' && j < n)
        {
            const char next = (char)data[j];
            const char *from = "\"\\nrt";
            const char *to = "\"\\\n\r\t";
            const char *hit = next != 0 ? strchr(from, next) : NULL;
            if (hit != NULL)
            {
                out += to[hit - from];
                ++j;
                continue;
            }
        }
        if (ch == '\r' || ch == '\n')
            ch = '\f';
        out += ch;
    }
    return out;
}

void CheckProcessing(const uint8_t *data, size_t size)
{
    std::string buf((const char *)data, size);
    buf += '#';   // room for the ending zero
    const int32_t length = ProcessLanguageText(&buf[0], (int32_t)size);
    const std::string expected = ReferenceProcessing(data, size);
    if (length != (int32_t)expected.size() || buf[(size_t)length] != 0 ||
        memcmp(buf.data(), expected.data(), expected.size()) != 0)
        __builtin_trap();
}

void Lookups(const LanguageResources &table, const uint8_t *data, size_t size)
{
    static const char *const dialogs[] = {"SETUPDLG", "DONEDLG", "CONTEXTITEMS", "LTR", ""};
    int32_t x = 0;
    int32_t y = 0;
    for (const char *name : dialogs)
    {
        table.GetDialogScale(name, &x, &y);
        (void)ScaleByPercent(INT32_MAX, x);
        (void)ScaleByPercent(INT32_MIN, y);
    }

    // Keys straight from the input, and texts (with contexts) whose keys
    // are computed, each looked up both ways and translated into the
    // destinations the program uses, in place too.
    char small[512];
    char large[1024];
    const size_t step = size / 16 + 1;
    for (size_t at = 0; at < size; at += step)
    {
        char key[LangKeyLength + 1] = {0};
        std::string k = Piece(data, size, at, LangKeyLength);
        memcpy(key, k.data(), k.size());
        table.FindEntry(key);
        table.ScanEntry(key);

        std::string source = Piece(data, size, at, 600);
        std::string context = Piece(data, size, (at * 7) % size, 40);
        table.Translate(source.c_str(), small, sizeof(small), NULL, KindMessage);
        table.Translate(source.c_str(), large, sizeof(large), context.c_str(), KindDialog);
        snprintf(small, sizeof(small), "%s", source.substr(0, 511).c_str());
        table.Translate(small, small, sizeof(small), NULL, KindMessage);
        table.GetDialogScale(context.c_str(), &x, &y);
        int32_t parsed = ParseScaleNumber(source.c_str());
        (void)parsed;
    }

    // Every indexed line is found again by its own first 8 characters.
    for (int32_t i = 0; i < table.LineIndex.Count; ++i)
    {
        char key[LangKeyLength + 1] = {0};
        strncpy(key, table.Text + table.LineIndex.Items[i], LangKeyLength);
        if (strlen(key) == LangKeyLength && table.FindEntry(key) == NULL)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int mode = size > 0 ? data[0] % 3 : 0;
    MemoryFile file(data, size, mode);
    LanguageResources table;
    ReadLanguageSource(table, file);
    if (table.IsLoaded())
    {
        // The processed text never grows and is zero-ended at its length.
        if (table.TextLength < 0 || table.TextLength > LangTextLimit ||
            table.Text[table.TextLength] != 0)
            __builtin_trap();
    }
    Lookups(table, data, size);
    CheckProcessing(data, size);
    return 0;
}
