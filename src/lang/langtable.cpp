#include "lang/langtable.h"

#include <stdlib.h>
#include <string.h>

#include "lang/crc32.h"

static const char FormFeed = 0x0C;

void MakeLanguageKey(char *key, const char *source, const char *context, TextKind kind)
{
    const unsigned char prefix = (unsigned char)kind;
    uint32_t crc = UpdateCrc32(0xFFFFFFFFu, &prefix, 1);
    if (context != NULL)
        crc = UpdateCrc32(crc, context, strlen(context));
    crc = ~UpdateCrc32(crc, source, strlen(source));
    static const char digits[] = "0123456789abcdef";
    for (int i = LangKeyLength - 1; i >= 0; --i, crc >>= 4)
        key[i] = digits[crc & 0xF];
    key[LangKeyLength] = 0;
}

// Unsigned byte-wise comparison of at most 8 characters, stopping at a zero.
static int CompareKey8(const char *a, const char *b)
{
    for (int i = 0; i < LangKeyLength; ++i)
    {
        unsigned char ca = (unsigned char)a[i];
        unsigned char cb = (unsigned char)b[i];
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            break;
    }
    return 0;
}

LanguageResources::LanguageResources() : Text(NULL), TextLength(0), Rtl(false) {}

LanguageResources::~LanguageResources()
{
    free(Text);
}

const char *LanguageResources::FindEntry(const char *key) const
{
    if (Text == NULL)
        return NULL;
    const int *base = LineIndex.Items;
    int32_t n = LineIndex.Count;
    while (n > 0)
    {
        int32_t half = n / 2;
        const char *line = Text + base[half];
        int c = CompareKey8(key, line);
        if (c == 0)
            return line;
        if (c < 0)
            n = half;
        else
        {
            base += half + 1;
            n -= half + 1;
        }
    }
    return NULL;
}

const char *LanguageResources::ScanEntry(const char *key) const
{
    if (Text == NULL)
        return NULL;
    const char *p = Text;
    while (*p != 0)
    {
        // Key bytes are never zero, so the comparison stops at the end of
        // the text before reading past it.
        int i = 0;
        while (i < LangKeyLength && p[i] == key[i])
            ++i;
        if (i == LangKeyLength && p[8] == '=' && p[9] == '"')
            return p;
        while (*p != 0 && *p != FormFeed)
            ++p;
        while (*p == FormFeed)
            ++p;
    }
    return NULL;
}

void LanguageResources::Translate(const char *source, char *dst, size_t dstSize,
                                  const char *context, TextKind kind) const
{
    if (dstSize == 0)
        return;
    const char *line = NULL;
    if (Text != NULL)
    {
        char key[LangKeyLength + 1];
        MakeLanguageKey(key, source, context, kind);
        line = FindEntry(key);
        if (line == NULL)
            line = ScanEntry(key);
    }
    if (line == NULL)
    {
        if (dst != source)
        {
            size_t len = strnlen(source, dstSize - 1);
            memmove(dst, source, len);
            dst[len] = 0;
        }
        return;
    }

    // The value starts behind the key, '=' and the opening quote, even when
    // those two are something else; a line that ends before that has an
    // empty value.
    const char *value = line;
    for (int i = 0; i < 10 && *value != 0; ++i)
        ++value;

    // Up to and including the line's form feed, else at most 255 bytes.
    const char *ff = strchr(value, FormFeed);
    size_t n = ff != NULL ? (size_t)(ff - value) + 1 : (size_t)LangValueMax;
    if (n > dstSize - 1)
        n = dstSize - 1;
    size_t i = 0;
    for (; i < n && value[i] != 0; ++i)
        dst[i] = value[i];
    memset(dst + i, 0, n - i + 1);

    char *quote = strrchr(dst, '"');
    if (quote != NULL)
        *quote = 0;
}

void LanguageResources::AdoptText(char *text, int32_t length)
{
    free(Text);
    Text = text;
    TextLength = length;
    LineIndex.Count = 0;
    BuildLineIndex();
}

// qsort has no context argument; the program has one thread and sorts one
// index at a time.
static const char *SortText;

// The 8 bytes at an indexed line start as a number that orders like their
// unsigned byte-wise comparison. Every indexed line starts at least 9
// bytes before the text's end, and the text holds no zero byte before its
// end, so the comparison never meets a zero there.
static inline uint64_t LineStartOrder(const char *p)
{
    uint64_t v;
    memcpy(&v, p, sizeof(v));
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

static int CompareLineStartsByBytes(const void *a, const void *b)
{
    return CompareKey8(SortText + *static_cast<const int *>(a),
                       SortText + *static_cast<const int *>(b));
}

static int CompareLineStarts(const void *a, const void *b)
{
    uint64_t x = LineStartOrder(SortText + *static_cast<const int *>(a));
    uint64_t y = LineStartOrder(SortText + *static_cast<const int *>(b));
    return x < y ? -1 : (x > y ? 1 : 0);
}

void LanguageResources::BuildLineIndex()
{
    if (Text == NULL)
        return;
    // Every k from 1 while k < limit whose byte before is a form feed and
    // which is no form feed itself; the form feeds are found with memchr.
    const int32_t limit = TextLength - LangKeyLength;
    int32_t from = 0;
    while (from < limit - 1)
    {
        const char *ff = static_cast<const char *>(
            memchr(Text + from, FormFeed, (size_t)(limit - 1 - from)));
        if (ff == NULL)
            break;
        const int32_t k = (int32_t)(ff - Text) + 1;
        if (Text[k] != FormFeed)
            LineIndex.Add(k);
        from = k;
    }
    if (LineIndex.Count > 1)
    {
        // A text handed over with a zero byte inside needs the comparison
        // that stops there; the loader's texts never hold one.
        const bool plain = memchr(Text, 0, (size_t)TextLength) == NULL;
        SortText = Text;
        qsort(LineIndex.Items, (size_t)LineIndex.Count, sizeof(int),
              plain ? CompareLineStarts : CompareLineStartsByBytes);
        SortText = NULL;
    }
}

int32_t FindLanguageHeader(const char *chunk, int32_t n)
{
    // The program holds "*messages***"; its first 11 characters follow two
    // asterisks in the header.
    static const char Tail[] = "*messages**";
    for (int32_t i = 0; i <= n - LangChunkOverlap; ++i)
    {
        if (chunk[i] == '*' && chunk[i + 1] == '*' && memcmp(chunk + i + 2, Tail, 11) == 0)
            return i;
    }
    return -1;
}

// Bytes that the processing of the language text acts on: the end, the
// escape character and the raw line ends. Runs of other bytes only move.
struct SpecialBytes
{
    constexpr SpecialBytes() : Is()
    {
        Is[0] = 1;
        Is[(unsigned char)'\\'] = 1;
        Is[(unsigned char)'\r'] = 1;
        Is[(unsigned char)'\n'] = 1;
    }
    unsigned char Is[256];
};
static constexpr SpecialBytes Specials;

int32_t ProcessLanguageText(char *buf, int32_t n)
{
    int32_t i = 0;
    int32_t j = 0;
    while (j < n)
    {
        int32_t run = j;
        while (run < n && !Specials.Is[(unsigned char)buf[run]])
            ++run;
        if (i != j)
            memmove(buf + i, buf + j, (size_t)(run - j));
        i += run - j;
        j = run;
        if (j >= n)
            break;

        char ch = buf[j++];
        if (ch == 0)
            break;
        // A backslash that is the last byte read has nothing behind it and
        // stays what it is.
        if (ch == '\\' && j < n)
        {
            char escaped = 0;
            switch (buf[j])
            {
            case '"': escaped = '"'; break;
            case '\\': escaped = '\\'; break;
            case 'n': escaped = '\n'; break;
            case 'r': escaped = '\r'; break;
            case 't': escaped = '\t'; break;
            default: break;
            }
            if (escaped != 0)
            {
                buf[i++] = escaped;
                ++j;
                continue;
            }
        }
        if (ch == '\r' || ch == '\n')
            ch = FormFeed;
        buf[i++] = ch;
    }
    buf[i] = 0;
    return i;
}

int32_t ParseScaleNumber(const char *text)
{
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        if (value <= INT32_MAX)
            value = value * 10 + (*p - '0');
    }
    return HoldInt32(negative ? -value : value);
}

int32_t HoldInt32(int64_t value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return (int32_t)value;
}

int32_t ScaleByPercent(int32_t value, int32_t percent)
{
    return HoldInt32((int64_t)value * percent / 100);
}

bool LanguageResources::GetDialogScale(const char *dialogName, int32_t *x, int32_t *y) const
{
    char buf[512];
    Translate("", buf, sizeof(buf), dialogName, KindDialog);
    const char *star = strchr(buf, '*');
    if (star != NULL)
    {
        *x = ParseScaleNumber(buf);
        *y = ParseScaleNumber(star + 1);
    }
    else
    {
        *x = 100;
        *y = 100;
    }
    return *x != 100 || *y != 100;
}
