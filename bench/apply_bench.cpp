// Cost of a whole setup and of its removal: ApplyIntegration with every
// choice on (App Paths, shell extension with Default Programs, the 22
// associations with their backups and templates, the ProgIDs, the desktop
// and Start menu shortcuts and both program groups), then the removal that
// uninstall runs (the same operations with an all-zero record, the remove
// flag set). Also the shortcut step alone. Runs under Wine in a throwaway
// prefix (tools/bench.sh), in a registry sandbox; it prints how much it
// wrote and checks that the removal left no shortcut.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "integration/apply.h"
#include "integration/associations.h"
#include "integration/settings.h"
#include "integration/shellext.h"
#include "integration/shortcuts.h"
#include "support/testutil.h"

namespace {

const int Repeats = 7;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(const LARGE_INTEGER &t0, const LARGE_INTEGER &t1, const LARGE_INTEGER &freq)
{
    return (double)(t1.QuadPart - t0.QuadPart) * 1000.0 / (double)freq.QuadPart;
}

void Remove()
{
    IntegrationSettings zero;
    memset(&zero, 0, sizeof(zero));
    ApplyAssociations(&zero);
    SetShellExtension(true, &zero);
    UpdateShortcuts(&zero, NULL);
}

int ShortcutsLeft()
{
    int left = 0;
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU,
                      CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
    {
        char folder[MAX_PATH];
        if (FAILED(SHGetFolderPathA(NULL, csidl, NULL, 0, folder)))
            continue;
        for (const char *name : {"\\Velmor", "\\Velmor.lnk"})
            left += GetFileAttributesA((std::string(folder) + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    return left;
}

}  // namespace

int main()
{
    if (FAILED(CoInitialize(NULL)))
        return 1;
    OSVERSIONINFOA v;
    v.dwOSVersionInfoSize = sizeof(v);
    GetVersionExA(&v);
    printf("Apply sequence and removal, Windows %lu.%lu (platform %lu), %d runs\n",
           (unsigned long)v.dwMajorVersion, (unsigned long)v.dwMinorVersion,
           (unsigned long)v.dwPlatformId, Repeats);
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);

    IntegrationSettings on;
    memset(&on, 0, sizeof(on));
    for (int row = 0; row < ArchiveTypeCount; ++row)
        on.Associate[row] = 1;
    on.Desktop = on.StartMenu = on.Programs = on.ShellExt = on.CascadedMenu = on.MenuIcons = 1;

    std::vector<double> apply, remove, shortcuts;
    int classKeys = 0, machineKeys = 0, userKeys = 0, left = 0;
    bool ok = true;
    for (int run = 0; run < Repeats && ok; ++run)
    {
        RegistrySandbox sandbox;
        if (!sandbox.Ok())
        {
            fprintf(stderr, "no registry sandbox\n");
            ok = false;
            break;
        }
        char group[1024] = "";
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        ok = ApplyIntegration(&on, group);
        QueryPerformanceCounter(&t1);
        classKeys = CountKeys(sandbox.Scratch(HKEY_CLASSES_ROOT), "");
        machineKeys = CountKeys(sandbox.Scratch(HKEY_LOCAL_MACHINE), "");
        userKeys = CountKeys(sandbox.Scratch(HKEY_CURRENT_USER), "Software\\Velmor");
        UpdateShortcuts(&on, group);
        QueryPerformanceCounter(&t2);
        Remove();
        QueryPerformanceCounter(&t3);
        left += ShortcutsLeft();
        apply.push_back(Ms(t0, t1, freq));
        shortcuts.push_back(Ms(t1, t2, freq));
        remove.push_back(Ms(t2, t3, freq));
    }
    DeleteFileA((TestDir() + "vmznew.dat").c_str());
    DeleteFileA((TestDir() + "zipnew.dat").c_str());
    CoUninitialize();
    if (!ok)
    {
        fprintf(stderr, "the apply sequence stopped early\n");
        return 1;
    }
    printf("keys after setup: %d in HKCR, %d in HKLM, %d below HKCU\\Software\\Velmor\n", classKeys,
           machineKeys, userKeys);
    printf("%-28s %9s %9s\n", "step", "median ms", "max ms");
    printf("%-28s %9.1f %9.1f\n", "ApplyIntegration, all on", Median(apply),
           *std::max_element(apply.begin(), apply.end()));
    printf("%-28s %9.1f %9.1f\n", "UpdateShortcuts again", Median(shortcuts),
           *std::max_element(shortcuts.begin(), shortcuts.end()));
    printf("%-28s %9.1f %9.1f\n", "removal (uninstall's calls)", Median(remove),
           *std::max_element(remove.begin(), remove.end()));
    printf("shortcuts or groups left after removal: %d\n", left);
    return left == 0 ? 0 : 1;
}
