// Loading a full-size language file: a 131,072-byte uninstall.lng of about
// 3000 entries read through the program's loader (file reads, escape and
// line-end processing, the index and its sort), then every key looked up.
// Prints the median load time, lookups per second and the load time as a
// ratio to a plain memcpy of the same bytes. Run under Wine (tools/bench.sh);
// the loader is compiled for size as in the shipping build.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "lang/file.h"
#include "lang/langload.h"
#include "lang/langtable.h"
#include "support/testutil.h"

static double Seconds()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

// What the program does with uninstall.lng beside it, from a full path.
static void LoadFile(LanguageResources &table, const std::string &path)
{
    File file;
    if (file.Open(path.c_str()))
        ReadLanguageSource(table, file);
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int main()
{
    // Sources like a translator's: dialog texts with their context, and
    // values with an escape here and there; filled up to the 131,072-byte
    // limit exactly.
    std::string file = "; Velmor language file\r\n***messages***\r\n";
    std::vector<std::string> sources;
    char source[64];
    char key[9];
    while (true)
    {
        snprintf(source, sizeof(source), "Control text %05d", (int)sources.size());
        MakeLanguageKey(key, source, "SETUPDLG", KindDialog);
        std::string line = std::string(key) + "=\"Translated \\\"text\\\" number " +
                           std::to_string(sources.size()) + "\"\r\n";
        if (file.size() + line.size() > 131072 + 24)
            break;
        file += line;
        sources.push_back(source);
    }
    file.resize(131072 + 24, ';');

    ScratchDir dir("langload-bench");
    const std::string path = dir.File("uninstall.lng");
    if (!WriteFileBytes(path, file))
    {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    const int rounds = 201;
    std::vector<double> loads;
    std::vector<double> copies;
    std::vector<char> copy(file.size());
    int32_t length = 0;
    int32_t indexed = 0;
    for (int i = 0; i < rounds; ++i)
    {
        LanguageResources table;
        double t0 = Seconds();
        LoadFile(table, path);
        double t1 = Seconds();
        memcpy(copy.data(), file.data() + 24, 131072);
        double t2 = Seconds();
        loads.push_back(t1 - t0);
        copies.push_back(t2 - t1);
        length = table.TextLength;
        indexed = table.LineIndex.Count;
    }

    // The two steps behind the read: processing the text in place, then
    // indexing and sorting it.
    std::vector<double> processing;
    std::vector<double> indexing;
    for (int i = 0; i < rounds; ++i)
    {
        char *text = static_cast<char *>(malloc(131072 + 1024));
        memcpy(text, file.data() + 24, 131072);
        double a = Seconds();
        int32_t n = ProcessLanguageText(text, 131072);
        double b = Seconds();
        LanguageResources indexed;
        indexed.AdoptText(text, n);
        double c = Seconds();
        processing.push_back(b - a);
        indexing.push_back(c - b);
    }

    LanguageResources table;
    LoadFile(table, path);
    char dst[1024];
    size_t found = 0;
    const int passes = 20;
    double t0 = Seconds();
    for (int p = 0; p < passes; ++p)
    {
        for (const std::string &s : sources)
        {
            table.Translate(s.c_str(), dst, sizeof(dst), "SETUPDLG", KindDialog);
            found += dst[0] == 'T';
        }
    }
    double t1 = Seconds();
    const double lookups = (double)passes * (double)sources.size();

    const double load = Median(loads);
    const double plain = Median(copies);
    printf("language file: %zu bytes on disk, %d loaded, %zu entries, %d lines indexed\n",
           file.size(), (int)length, sources.size(), (int)indexed);
    printf("load and index (median of %d): %.3f ms   goal: under 1 ms\n", rounds, load * 1e3);
    printf("  of which processing %.3f ms, index and sort %.3f ms\n", Median(processing) * 1e3,
           Median(indexing) * 1e3);
    printf("memcpy of 131072 bytes (median): %.4f ms; load / memcpy = %.0f\n", plain * 1e3,
           plain > 0 ? load / plain : 0.0);
    printf("lookups: %.0f per second (%.2f us each), %zu of %.0f found\n", lookups / (t1 - t0),
           (t1 - t0) * 1e6 / lookups, found, lookups);
    return found == (size_t)lookups ? 0 : 1;
}
