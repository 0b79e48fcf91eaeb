// CRC-32 and language table lookup figures. Run: build/bench/lang_bench
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include "lang/crc32.h"
#include "lang/langtable.h"
#include "platform/text.h"

static double Now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

int main()
{
    // CRC-32 over 64 MiB in 4 KiB pieces.
    std::vector<unsigned char> data(4096);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (unsigned char)(i * 131 + 17);
    const int pieces = 16384;
    uint32_t sink = 0;
    double t0 = Now();
    for (int i = 0; i < pieces; ++i)
        sink ^= UpdateCrc32(0xFFFFFFFFu, data.data() + (i & 7), data.size() - 8);
    double t1 = Now();
    for (int i = 0; i < pieces; ++i)
        sink ^= UpdateCrc32Bytewise(0xFFFFFFFFu, data.data() + (i & 7), data.size() - 8);
    double t2 = Now();
    double mib = pieces * (data.size() - 8) / 1048576.0;
    printf("crc32 8-byte loop: %.0f MiB/s\n", mib / (t1 - t0));
    printf("crc32 byte-wise:   %.0f MiB/s\n", mib / (t2 - t1));

    // A language file of 2000 entries (about the size of a full
    // translation with room to spare), looked up 200000 times.
    const int entries = 2000;
    std::string text = "***messages***";
    std::vector<std::string> sources;
    char source[32];
    for (int i = 0; i < entries; ++i)
    {
        snprintf(source, sizeof(source), "source text %d", i);
        char key[9];
        MakeLanguageKey(key, source, "SETUPDLG", KindDialog);
        text += std::string("\f") + key + "=\"translated text " + source + "\"";
        sources.push_back(source);
    }
    char *copy = static_cast<char *>(malloc(text.size() + 1));
    memcpy(copy, text.c_str(), text.size() + 1);
    LanguageResources table;
    table.AdoptText(copy, (int32_t)text.size());

    const int lookups = 200000;
    char dst[512];
    size_t found = 0;
    t0 = Now();
    for (int i = 0; i < lookups; ++i)
    {
        table.Translate(sources[(size_t)i % entries].c_str(), dst, sizeof(dst), "SETUPDLG",
                        KindDialog);
        found += dst[0] == 't';
    }
    t1 = Now();
    for (int i = 0; i < lookups / 100; ++i)
    {
        char key[9];
        MakeLanguageKey(key, sources[(size_t)i % entries].c_str(), "SETUPDLG", KindDialog);
        found += table.ScanEntry(key) != NULL;
    }
    t2 = Now();
    printf("table: %d entries, %d bytes, index of %d lines\n", entries, (int)text.size(),
           (int)table.LineIndex.Count);
    printf("Translate (index):  %.2f us per lookup\n", (t1 - t0) * 1e6 / lookups);
    printf("ScanEntry (linear): %.2f us per lookup\n", (t2 - t1) * 1e6 / (lookups / 100));
    printf("(checksum %u, found %zu)\n", (unsigned)sink, found);
    return 0;
}
