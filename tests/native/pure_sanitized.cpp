// Drives the pure code with generated inputs under the sanitizers, and
// checks the properties that must hold for every input. Deterministic:
// the same seed every run. Argument: the code page to model (936 double
// byte, 1252 single byte).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "lang/crc32.h"
#include "lang/format.h"
#include "lang/langtable.h"
#include "platform/fatal.h"
#include "platform/text.h"
#include "setup/cmdline.h"
#include "setup/removal.h"

namespace {

unsigned Seed = 12345;
unsigned Next()
{
    Seed = Seed * 1103515245u + 12345u;
    return Seed >> 8;
}

int Failures = 0;
int Checks = 0;
void Check(bool ok, const char *what, const std::string &input)
{
    ++Checks;
    if (ok)
        return;
    if (++Failures <= 10)
        fprintf(stderr, "FAILED: %s (input of %zu bytes)\n", what, input.size());
}

// Bytes that matter to the code: separators, drive colons, lead bytes,
// trail bytes equal to '\', switch characters, quotes, form feeds.
std::string RandomText(size_t maxLen)
{
    static const char alphabet[] = "\\/:-sStTwWaAeEiIrRuUpPnN \t\r\n\f\"=%0123456789abcdef\x81\x5c\xfe\xff";
    size_t len = Next() % (maxLen + 1);
    std::string s;
    for (size_t i = 0; i < len; ++i)
        s += (Next() % 8 == 0) ? (char)(Next() & 0xFF) : alphabet[Next() % (sizeof(alphabet) - 1)];
    // No zero bytes inside: these are C strings.
    for (char &c : s)
        if (c == 0)
            c = 'z';
    return s;
}

// Exactly sized heap copy, so that any read past the terminator is caught.
struct HeapText
{
    explicit HeapText(const std::string &s) : P(static_cast<char *>(malloc(s.size() + 1)))
    {
        memcpy(P, s.c_str(), s.size() + 1);
    }
    ~HeapText() { free(P); }
    char *P;
};

void PathHelpers(int rounds)
{
    for (int r = 0; r < rounds; ++r)
    {
        std::string s = RandomText(40);
        HeapText t(s);
        const char *name = PointToName(t.P);
        Check(name >= t.P && name <= t.P + s.size(), "PointToName inside the path", s);
        const char *last = PointToLastChar(t.P);
        Check(last >= t.P && (s.empty() ? last == t.P : last < t.P + s.size()),
              "PointToLastChar inside the string", s);

        std::vector<char> buf(s.size() + 2);
        memcpy(buf.data(), s.c_str(), s.size() + 1);
        AddEndSlash(buf.data());
        size_t len = strlen(buf.data());
        Check(len == s.size() || len == s.size() + 1, "AddEndSlash adds at most one byte", s);

        HeapText cut(s);
        RemoveNameFromPath(cut.P);
        Check(strlen(cut.P) <= s.size() && memcmp(cut.P, s.c_str(), strlen(cut.P)) == 0,
              "RemoveNameFromPath keeps a prefix", s);

        HeapText trim(s);
        TrimTrailingSpaces(trim.P);
        size_t tl = strlen(trim.P);
        Check(tl == 0 || strchr(" \t\r\n", trim.P[tl - 1]) == NULL, "TrimTrailingSpaces", s);

        char small[8];
        CopyLimited(small, t.P, 1 + Next() % sizeof(small));
        char whole[16];
        bool fits = CopyWhole(whole, t.P, sizeof(whole));
        Check(fits == (s.size() < sizeof(whole)), "CopyWhole fits exactly when it should", s);
    }
}

void Switches(int rounds)
{
    for (int r = 0; r < rounds; ++r)
    {
        std::string line = RandomText(60), sfx = RandomText(30);
        HeapText l(line), x(sfx);
        StartupChoice c = ScanStartup(x.P, l.P, NULL);
        int dashes = 0;
        for (char ch : line)
            dashes += ch == '/' || ch == '-';
        Check(c.SwitchCount <= dashes, "no more switches than '/' and '-'", line);
        Check((c.Mode == ModeSetup) == c.SetupRequested, "setup mode exactly when requested", line);
        Check((c.Mode == ModeUninstall) == (c.SwitchCount == 0), "uninstall without switches", line);
    }
}

void Formats(int rounds)
{
    for (int r = 0; r < rounds; ++r)
    {
        std::string fmt = RandomText(50) + "%s%";
        std::string arg = RandomText(30);
        HeapText f(fmt), a(arg);
        size_t size = 1 + Next() % 64;
        std::vector<char> out(size);
        FormatMessageText1(out.data(), size, f.P, a.P);
        Check(strlen(out.data()) < size, "format result terminated inside its buffer", fmt);
    }
}

std::string Hex8(unsigned v)
{
    char k[9];
    snprintf(k, sizeof(k), "%08x", v);
    return k;
}

void Tables(int rounds)
{
    for (int r = 0; r < rounds; ++r)
    {
        // A table of real entries and noise lines, also short lines at the
        // end and lines without quotes.
        std::vector<std::string> sources;
        std::string text = "***messages***";
        int lines = (int)(Next() % 40);
        for (int i = 0; i < lines; ++i)
        {
            text += (Next() % 3 == 0) ? "\f\f" : "\f";
            std::string src = RandomText(12);
            char key[9];
            MakeLanguageKey(key, src.c_str(), NULL, KindMessage);
            switch (Next() % 4)
            {
            case 0: text += RandomText(20); break;
            case 1: text += std::string(key) + "=\"" + RandomText(30); break;
            default:
                text += std::string(key) + "=\"" + RandomText(300) + "\"";
                sources.push_back(src);
            }
        }
        if (Next() % 2)
            text += "\f" + Hex8(Next()).substr(0, Next() % 9);
        for (char &c : text)
            if (c == 0)
                c = 'z';
        char *copy = static_cast<char *>(malloc(text.size() + 1));
        memcpy(copy, text.c_str(), text.size() + 1);
        LanguageResources table;
        table.AdoptText(copy, (int32_t)text.size());

        for (const std::string &src : sources)
        {
            char key[9];
            MakeLanguageKey(key, src.c_str(), NULL, KindMessage);
            Check(table.FindEntry(key) != NULL || table.ScanEntry(key) != NULL,
                  "an entry line is found", src);
            size_t size = 1 + Next() % 600;
            std::vector<char> dst(size);
            table.Translate(src.c_str(), dst.data(), size, NULL, KindMessage);
            Check(strlen(dst.data()) < size, "translation inside its buffer", src);
        }
        for (int i = 0; i < 20; ++i)
        {
            std::string probe = Hex8(Next());
            table.FindEntry(probe.c_str());
            table.ScanEntry(probe.c_str());
            std::vector<char> dst(512);
            table.Translate(probe.c_str(), dst.data(), dst.size(), "SETUPDLG", KindDialog);
        }
    }
}

void Crc(int rounds)
{
    for (int r = 0; r < rounds; ++r)
    {
        std::string s = RandomText(100);
        HeapText t(s);
        size_t off = Next() % (s.size() + 1);
        Check(UpdateCrc32(0xFFFFFFFFu, t.P + off, s.size() - off) ==
                  UpdateCrc32Bytewise(0xFFFFFFFFu, t.P + off, s.size() - off),
              "word loop equals bytewise", s);
    }
}

// The uninstall procedure's text work: list lines of any bytes, the
// entries it acts on, the batch text and the wininit.ini section.
void Removal(int rounds)
{
    for (int r = 0; r < rounds; ++r)
    {
        std::string bytes = RandomText(120);
        if (Next() % 4 == 0)
            bytes.insert(Next() % (bytes.size() + 1), 1, '\0');
        FILE *f = tmpfile();
        if (f == NULL)
            return;
        fwrite(bytes.data(), 1, bytes.size(), f);
        rewind(f);
        size_t size = 1 + Next() % 24;
        std::vector<char> line(size);
        bool usable;
        size_t lines = 0, newlines = 0;
        for (char c : bytes)
            newlines += c == '\n';
        while (ReadListLine(f, line.data(), size, &usable))
        {
            ++lines;
            size_t n = strlen(line.data());
            Check(n < size, "a list line fits its buffer", bytes);
            Check(!usable || strchr(line.data(), '\n') == NULL, "no LF in a line", bytes);
            if (usable && IsSafeListEntry(line.data()))
            {
                Check(strchr(line.data(), ':') == NULL, "a safe entry names no drive", bytes);
                Check(strstr(line.data(), "\\..\\") == NULL && strncmp(line.data(), "..\\", 3) != 0,
                      "a safe entry has no parent step", bytes);
            }
        }
        fclose(f);
        Check(lines == newlines + (bytes.empty() || bytes.back() == '\n' ? 0 : 1),
              "one line per LF, and the rest", bytes);

        std::string a = RandomText(80), b = RandomText(80), c = RandomText(80);
        HeapText pa(a), pb(b), pc(c);
        size_t room = Next() % 1200;
        std::vector<char> text(room + 1);
        size_t n = BuildBatchText(text.data(), room, pa.P, pb.P, pc.P, Next() % 2 == 0);
        Check(n == 0 || (n < room && strlen(text.data()) == n), "the batch text fits", a);
        size_t percents = 0;
        for (size_t i = 0; i < n; ++i)
            percents += text[i] == '%';
        Check(percents % 2 == 0, "every '%' doubled", a);

        std::string ini = RandomText(100);
        size_t outSize = Next() % 160;
        std::vector<char> out(outSize + 1);
        size_t m = AddRenameEntry(ini.data(), ini.size(), pa.P, out.data(), outSize);
        Check(m == 0 || (m < outSize && m >= ini.size() + a.size() + 6), "the ini text fits", ini);
    }
}

} // namespace

int main(int argc, char **argv)
{
    int cp = argc > 1 ? atoi(argv[1]) : 936;
    if (cp == 936)
    {
        // GBK lead bytes, and the table's multi-byte mark.
        for (int v = 0x81; v <= 0xFE; ++v)
            LeadByteTable.Table[v] = 1;
        LeadByteTable.Table[256] = 1;
    }
    PathHelpers(200000);
    Switches(100000);
    Formats(100000);
    Tables(3000);
    Crc(50000);
    Removal(30000);
    printf("code page %d: %d checks\n", cp, Checks);
    printf("%d passed, %d failed\n", Checks - Failures, Failures);
    return Failures == 0 ? 0 : 1;
}
