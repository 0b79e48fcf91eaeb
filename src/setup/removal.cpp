#include "setup/removal.h"

#include <string.h>

bool ReadListLine(FILE *list, char *line, size_t size, bool *usable)
{
    size_t used = 0;
    bool any = false;
    bool fits = size > 0;
    bool hasZero = false;
    int c;
    while ((c = getc(list)) != EOF)
    {
        any = true;
        if (c == '\n')
            break;
        if (c == 0)
            hasZero = true;
        if (fits && used + 1 < size)
            line[used++] = (char)c;
        else
            fits = false;
    }
    if (size > 0)
        line[used] = 0;
    *usable = fits && !hasZero;
    return any;
}

static bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsSafeListEntry(const char *entry)
{
    if (strchr(entry, ':') != NULL)
        return false;
    const char *p = entry;
    for (;;)
    {
        // One component: only dots and blanks, two dots or more, names the
        // parent folder once Windows has dropped its trailing dots and
        // blanks. A trail byte that equals '\' only makes the test stricter.
        int dots = 0;
        bool onlyDots = true;
        const char *start = p;
        while (*p != 0 && !IsSeparator(*p))
        {
            if (*p == '.')
                ++dots;
            else if (*p != ' ')
                onlyDots = false;
            ++p;
        }
        if (p != start && onlyDots && dots >= 2)
            return false;
        if (*p == 0)
            return true;
        ++p;
    }
}

static bool AppendText(char *dst, size_t size, size_t *length, const char *text)
{
    size_t n = strlen(text);
    if (*length + n >= size)
        return false;
    memcpy(dst + *length, text, n + 1);
    *length += n;
    return true;
}

bool AppendBatchPath(char *dst, size_t size, size_t *length, const char *path)
{
    size_t at = *length;
    for (const char *p = path; *p != 0; ++p)
    {
        size_t need = *p == '%' ? 2 : 1;
        if (at + need >= size)
        {
            if (size > 0)
                dst[*length] = 0;
            return false;
        }
        dst[at++] = *p;
        if (*p == '%')
            dst[at++] = '%';
    }
    dst[at] = 0;
    *length = at;
    return true;
}

// Appends a line made of fixed texts and paths: parts alternate text,
// path, text, path ... and end with a null pointer.
static bool AppendLine(char *dst, size_t size, size_t *length, const char *const *parts,
                       bool lineEnd)
{
    for (int i = 0; parts[i] != NULL; ++i)
    {
        bool ok = (i % 2 == 0) ? AppendText(dst, size, length, parts[i])
                               : AppendBatchPath(dst, size, length, parts[i]);
        if (!ok)
            return false;
    }
    return !lineEnd || AppendText(dst, size, length, "\r\n");
}

size_t BuildBatchText(char *dst, size_t size, const char *programPath,
                      const char *programFolder, const char *batchPath, bool nt)
{
    if (size == 0)
        return 0;
    size_t length = 0;
    dst[0] = 0;
    const char *first[] = {nt ? "\"" : "start /wait \"", programPath, "\" /wait", NULL};
    const char *del[] = {"del \"", programPath, "\"", NULL};
    const char *rd[] = {"rd \"", programFolder, "\"", NULL};
    const char *test[] = {"if not exist \"", programPath, "\" goto done", NULL};
    const char *done[] = {":done", NULL};
    const char *warn[] = {"if exist \"", programPath, "\" \"", programPath, "\" /warning", NULL};
    const char *self[] = {"del \"", batchPath, "\"", NULL};
    bool ok = AppendLine(dst, size, &length, first, true);
    for (int i = 0; ok && i < 5; ++i)
        ok = AppendLine(dst, size, &length, del, true) &&
             AppendLine(dst, size, &length, rd, true) &&
             AppendLine(dst, size, &length, test, true);
    ok = ok && AppendLine(dst, size, &length, done, true) &&
         AppendLine(dst, size, &length, warn, true) &&
         AppendLine(dst, size, &length, self, false);
    if (!ok)
    {
        dst[0] = 0;
        return 0;
    }
    return length;
}

// The end of the line that starts at p (before its CR LF or LF), and the
// start of the next one.
static const char *LineEnd(const char *p, const char *end, const char **next)
{
    const char *q = p;
    while (q < end && *q != '\n')
        ++q;
    *next = q < end ? q + 1 : end;
    if (q > p && q[-1] == '\r')
        --q;
    return q;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

static bool IsSectionLine(const char *p, const char *end)
{
    while (p < end && IsBlank(*p))
        ++p;
    return p < end && *p == '[';
}

static bool IsRenameSection(const char *p, const char *end)
{
    static const char name[] = "[rename]";
    while (p < end && IsBlank(*p))
        ++p;
    while (end > p && IsBlank(end[-1]))
        --end;
    if ((size_t)(end - p) != sizeof(name) - 1)
        return false;
    for (size_t i = 0; i < sizeof(name) - 1; ++i)
    {
        char c = p[i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != name[i])
            return false;
    }
    return true;
}

static bool IsBlankLine(const char *p, const char *end)
{
    while (p < end && IsBlank(*p))
        ++p;
    return p == end;
}

static bool Put(char *out, size_t outSize, size_t *at, const char *text, size_t n)
{
    if (*at + n >= outSize)
        return false;
    memcpy(out + *at, text, n);
    *at += n;
    out[*at] = 0;
    return true;
}

size_t AddRenameEntry(const char *text, size_t length, const char *name, char *out,
                      size_t outSize)
{
    const char *end = text + length;
    // Where the new line goes: behind the last line of the section that is
    // not blank (or behind its header), so that the entries stay in the
    // order they were scheduled.
    const char *insert = NULL;
    bool inSection = false;
    for (const char *p = text, *next; p < end; p = next)
    {
        const char *e = LineEnd(p, end, &next);
        if (IsSectionLine(p, e))
        {
            if (inSection)
                break;
            if (IsRenameSection(p, e))
            {
                inSection = true;
                insert = next;
            }
            continue;
        }
        if (inSection && !IsBlankLine(p, e))
            insert = next;
    }
    size_t at = 0;
    if (outSize == 0)
        return 0;
    out[0] = 0;
    size_t nameLength = strlen(name);
    if (insert == NULL)
    {
        // No section yet: it goes at the end, on a line of its own.
        bool ok = Put(out, outSize, &at, text, length) &&
                  (length == 0 || text[length - 1] == '\n' || Put(out, outSize, &at, "\r\n", 2)) &&
                  Put(out, outSize, &at, "[Rename]\r\n", 10) &&
                  Put(out, outSize, &at, "NUL=", 4) && Put(out, outSize, &at, name, nameLength) &&
                  Put(out, outSize, &at, "\r\n", 2);
        return ok ? at : 0;
    }
    size_t before = (size_t)(insert - text);
    bool ok = Put(out, outSize, &at, text, before) &&
              (before == 0 || text[before - 1] == '\n' || Put(out, outSize, &at, "\r\n", 2)) &&
              Put(out, outSize, &at, "NUL=", 4) && Put(out, outSize, &at, name, nameLength) &&
              Put(out, outSize, &at, "\r\n", 2) &&
              Put(out, outSize, &at, insert, length - before);
    if (!ok)
    {
        out[0] = 0;
        return 0;
    }
    return at;
}
