// Cost of uninstall's deletion passes: a staged program folder of 5000
// entries nested 8 deep, listed the way an installer writes its list
// (every folder before its contents), removed by the passes that repeat
// until nothing more goes; against deleting the same tree in one pass
// over the list in the order that needs no repeat (contents first). Runs
// under Wine in a throwaway prefix (tools/bench.sh) and prints passes,
// files per second and the ratio.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/uninstall.h"
#include "support/testutil.h"

namespace {

const int Entries = 5000;
const int Depth = 8;          // levels of the deepest file, itself included
const int Chains = 10;        // top folders, each a chain of Depth - 1 folders
const int Repeats = 5;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return (double)t.QuadPart * 1000.0 / (double)f.QuadPart;
}

struct Tree
{
    std::vector<std::string> Folders;   // parents before children
    std::vector<std::string> Files;
};

Tree MakeTree()
{
    Tree t;
    std::vector<std::string> chainFolders;
    for (int c = 0; c < Chains; ++c)
    {
        std::string path;
        for (int level = 1; level < Depth; ++level)
        {
            path += (level == 1 ? "c" + std::to_string(c) : "l" + std::to_string(level)) + "\\";
            t.Folders.push_back(path.substr(0, path.size() - 1));
        }
    }
    int files = Entries - (int)t.Folders.size();
    for (int i = 0; i < files; ++i)
        t.Files.push_back(t.Folders[(size_t)i % t.Folders.size()] + "\\f" + std::to_string(i) + ".dat");
    return t;
}

void Stage(const std::string &root, const Tree &t)
{
    for (const std::string &f : t.Folders)
        CreateDirectoryA((root + f).c_str(), NULL);
    for (const std::string &f : t.Files)
        WriteFileBytes(root + f, "x");
}

std::string ListText(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &l : lines)
        text += l + "\r\n";
    return text;
}

} // namespace

int main()
{
    ScratchDir dir("uninstall-bench");
    std::string root = dir.File("prog\\");
    Tree tree = MakeTree();
    std::vector<std::string> installerOrder = tree.Folders;   // folders first
    installerOrder.insert(installerOrder.end(), tree.Files.begin(), tree.Files.end());
    std::string listPath = dir.File("Uninstall.lst");
    WriteFileBytes(listPath, ListText(installerOrder));
    std::vector<std::string> ordered = tree.Files;            // contents first
    for (auto it = tree.Folders.rbegin(); it != tree.Folders.rend(); ++it)
        ordered.push_back(*it);

    std::vector<double> passTimes, orderedTimes;
    int passes = 0;
    bool complete = true;
    for (int r = 0; r < Repeats; ++r)
    {
        CreateDirectoryA(root.c_str(), NULL);
        Stage(root, tree);
        FILE *list = fopen(listPath.c_str(), "rb");
        bool restart = false;
        double t0 = Now();
        passes = RunDeletionPasses(list, root.c_str(), "uninstall.exe", &restart);
        passTimes.push_back(Now() - t0);
        fclose(list);
        complete = complete && GetFileAttributesA((root + "c0").c_str()) == INVALID_FILE_ATTRIBUTES;

        // The same calls per entry, one pass, contents before folders.
        Stage(root, tree);
        t0 = Now();
        for (const std::string &e : ordered)
        {
            std::string full = root + e;
            DWORD a = GetFileAttributesA(full.c_str());
            SetFileAttributesA(full.c_str(), 0);
            if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
                RemoveDirectoryA(full.c_str());
            else
                DeleteFileA(full.c_str());
        }
        orderedTimes.push_back(Now() - t0);
        complete = complete && GetFileAttributesA((root + "c0").c_str()) == INVALID_FILE_ATTRIBUTES;
        RemoveDirectoryA(root.c_str());
    }
    DeleteFileA(listPath.c_str());

    double p = Median(passTimes), o = Median(orderedTimes);
    printf("uninstall deletion passes: %d entries (%zu files, %zu folders), nesting depth %d, "
           "folders listed before contents\n",
           Entries, tree.Files.size(), tree.Folders.size(), Depth);
    printf("  passes:                 %d (depth + 1)\n", passes);
    printf("  passes, median of %d:    %.1f ms, %.0f files/s, %.0f entries/s\n", Repeats, p,
           tree.Files.size() * 1000.0 / p, Entries * 1000.0 / p);
    printf("  one ordered pass:       %.1f ms, %.0f files/s\n", o, tree.Files.size() * 1000.0 / o);
    printf("  ratio passes / ordered: %.2f\n", p / o);
    printf("  tree removed whole:     %s\n", complete ? "yes" : "NO");
    return complete ? 0 : 1;
}
