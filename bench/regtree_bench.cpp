// Cost of the tree deletion: DeleteRegTree (its deletion passes, as on NT)
// against the system's own RegDeleteTreeA, on two shapes of tree: 2000
// sibling keys below one key, where single passes skip the keys that move
// down while they delete, and a chain 10 levels deep with 10 children on
// every level. Each delete is checked: the tree must be gone. Runs under
// Wine in a throwaway prefix (tools/bench.sh); everything it builds lies
// below HKCU\Software\VelmorBench, which it removes at the end.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/testutil.h"

namespace {

const char BenchKey[] = "Software\\VelmorBench";
const int Repeats = 5;

// Creates (or opens) name below parent; NULL on failure.
HKEY CreateKey(HKEY parent, const char *name)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(parent, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}

// 2000 children of the root: 2001 keys.
bool BuildWide(HKEY root)
{
    for (int i = 0; i < 2000; ++i)
    {
        char name[16];
        snprintf(name, sizeof(name), "k%04d", i);
        HKEY key = CreateKey(root, name);
        if (key == NULL)
            return false;
        RegCloseKey(key);
    }
    return true;
}

// Ten levels of ten children each; the first child of every level carries
// the next level: 1 + 10 * 10 = 101 keys.
bool BuildDeep(HKEY root)
{
    HKEY level = root;
    bool ok = true;
    for (int depth = 0; depth < 10 && ok; ++depth)
    {
        HKEY next = NULL;
        for (int i = 0; i < 10; ++i)
        {
            char name[16];
            snprintf(name, sizeof(name), "d%dc%d", depth, i);
            HKEY key = CreateKey(level, name);
            if (key == NULL)
            {
                ok = false;
                break;
            }
            if (i == 0)
                next = key;
            else
                RegCloseKey(key);
        }
        if (level != root)
            RegCloseKey(level);
        level = next;
        if (level == NULL)
            ok = false;
    }
    if (level != NULL && level != root)
        RegCloseKey(level);
    return ok;
}

struct Shape
{
    const char *name;
    bool (*build)(HKEY root);
    int keys;
};

// Builds the shape below HKCU\Software\VelmorBench\<name>; true when it
// has the expected number of keys.
bool Build(const Shape &shape, const std::string &path)
{
    HKEY root = CreateKey(HKEY_CURRENT_USER, path.c_str());
    if (root == NULL)
        return false;
    bool ok = shape.build(root);
    RegCloseKey(root);
    return ok && CountKeys(HKEY_CURRENT_USER, path.c_str()) == shape.keys;
}

bool Gone(const std::string &path)
{
    HKEY key;
    LONG r = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    if (r == ERROR_SUCCESS)
        RegCloseKey(key);
    return r == ERROR_FILE_NOT_FOUND;
}

double Ms(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER freq)
{
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)freq.QuadPart;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main()
{
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    printf("Registry tree deletion, Windows %lu.%lu (platform %lu), %d runs per shape\n",
           (unsigned long)version.dwMajorVersion, (unsigned long)version.dwMinorVersion,
           (unsigned long)version.dwPlatformId, Repeats);

    RegDeleteTreeA(HKEY_CURRENT_USER, BenchKey);
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);

    const Shape shapes[] = {
        {"wide", BuildWide, 2001},
        {"deep", BuildDeep, 101},
    };
    bool allGone = true;
    printf("%-5s %5s %4s %17s %7s %18s %6s  %s\n", "shape", "keys", "run", "DeleteRegTree ms",
           "passes", "RegDeleteTreeA ms", "ratio", "gone");
    for (const Shape &shape : shapes)
    {
        const std::string path = std::string(BenchKey) + "\\" + shape.name;
        const std::string absolute = "\\" + path;     // below HKCU, not below the product key
        std::vector<double> own, system, ratios;
        int passes = 0;
        for (int run = 1; run <= Repeats; ++run)
        {
            if (!Build(shape, path))
            {
                fprintf(stderr, "could not build the %s tree\n", shape.name);
                RegDeleteTreeA(HKEY_CURRENT_USER, BenchKey);
                return 2;
            }
            LARGE_INTEGER t0, t1;
            QueryPerformanceCounter(&t0);
            DeleteRegTree(HKEY_CURRENT_USER, absolute.c_str());
            QueryPerformanceCounter(&t1);
            passes = LastDeleteRegTreePasses();
            const double ownMs = Ms(t0, t1, freq);
            const bool ownGone = Gone(path);

            if (!Build(shape, path))
            {
                fprintf(stderr, "could not build the %s tree\n", shape.name);
                RegDeleteTreeA(HKEY_CURRENT_USER, BenchKey);
                return 2;
            }
            QueryPerformanceCounter(&t0);
            LONG r = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
            QueryPerformanceCounter(&t1);
            const double systemMs = Ms(t0, t1, freq);
            const bool systemGone = r == ERROR_SUCCESS && Gone(path);

            allGone = allGone && ownGone && systemGone;
            own.push_back(ownMs);
            system.push_back(systemMs);
            ratios.push_back(systemMs > 0 ? ownMs / systemMs : 0);
            printf("%-5s %5d %4d %17.2f %7d %18.2f %6.2f  %s/%s\n", shape.name, shape.keys, run,
                   ownMs, passes, systemMs, ratios.back(), ownGone ? "yes" : "NO",
                   systemGone ? "yes" : "NO");
            if (!ownGone || !systemGone)
                RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        }
        printf("%-5s median: DeleteRegTree %.2f ms (%d passes), RegDeleteTreeA %.2f ms, "
               "ratio %.2f\n", shape.name, Median(own), passes, Median(system), Median(ratios));
    }

    RegDeleteTreeA(HKEY_CURRENT_USER, BenchKey);
    const bool cleaned = Gone(BenchKey);
    printf("%s\n", allGone ? "every tree was gone after every delete"
                           : "FAILED: a tree was still there after a delete");
    if (!cleaned)
        printf("FAILED: %s could not be removed\n", BenchKey);
    return allGone && cleaned ? 0 : 1;
}
