// Watches the real registry and scratch folders of the prefix around the
// whole unit suite: every test works in its own sandbox, so the keys the
// program writes must look the same after the run as before it, and no
// sandbox or scratch folder may be left.
#include <string>
#include <vector>

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/testutil.h"

namespace {

struct Watched
{
    HKEY Root;
    const char *Path;
};

const Watched WatchedKeys[] = {
    {HKEY_CURRENT_USER, "Software\\Velmor"},
    {HKEY_CURRENT_USER, "Software\\VelmorTests"},
    {HKEY_CLASSES_ROOT, ".vmz"},
    {HKEY_CLASSES_ROOT, ".zip"},
    {HKEY_CLASSES_ROOT, ".rev"},
    {HKEY_CLASSES_ROOT, ".v00"},
    {HKEY_CLASSES_ROOT, "Velmor"},
    {HKEY_CLASSES_ROOT, "Velmor.ZIP"},
    {HKEY_CLASSES_ROOT, "Velmor.REV"},
    {HKEY_LOCAL_MACHINE, "Software\\Velmor"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Velmor.exe"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
    {HKEY_LOCAL_MACHINE, "Software\\RegisteredApplications"},
    {HKEY_CLASSES_ROOT, "CLSID\\{7A3C1E52-4D21-4B7E-8F6A-C03B9D4E2A17}"},
    {HKEY_CLASSES_ROOT, "CLSID\\{7A3C1E52-4D64-4B7E-8F6A-C03B9D4E2A17}"},
    {HKEY_CLASSES_ROOT, "*\\shellex"},
    {HKEY_CLASSES_ROOT, "Folder\\shellex"},
    {HKEY_CLASSES_ROOT, "Directory\\shellex"},
    {HKEY_CLASSES_ROOT, "Drive\\shellex"},
    {HKEY_CLASSES_ROOT, "exefile\\shellex"},
};

class NoLeftovers : public ::testing::Environment
{
public:
    void SetUp() override
    {
        for (const Watched &w : WatchedKeys)
            Before.push_back(SnapshotKey(w.Root, w.Path));
    }

    void TearDown() override
    {
        for (size_t i = 0; i < Before.size(); ++i)
            EXPECT_EQ(Before[i], SnapshotKey(WatchedKeys[i].Root, WatchedKeys[i].Path))
                << "a test changed the real " << WatchedKeys[i].Path;
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\VelmorTests")) << "a sandbox was left";
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA("C:\\velmor-scratch\\*", &fd);
        int entries = 0;
        if (h != INVALID_HANDLE_VALUE)
        {
            do
            {
                std::string name = fd.cFileName;
                if (name != "." && name != "..")
                {
                    ++entries;
                    ADD_FAILURE() << "scratch left: " << name;
                }
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        EXPECT_EQ(0, entries);
        // No shortcut or program group of the product in any folder the
        // shortcuts use, on any Windows version.
        for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU,
                          CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
        {
            wchar_t folder[MAX_PATH];
            if (FAILED(SHGetFolderPathW(NULL, csidl, NULL, 0, folder)))
                continue;
            std::wstring base = std::wstring(folder) + L"\\Velmor";
            for (const std::wstring &path : {base, base + L".lnk"})
                EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()))
                    << Utf8FromWide(path) << " left";
        }
        for (const char *name : {"vmznew.dat", "zipnew.dat", "record.txt", "vmzext.dll", "vmzext64.dll"})
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((TestDir() + name).c_str()))
                << name << " left in the test folder";
    }

private:
    std::vector<std::string> Before;
};

::testing::Environment *const Registered = ::testing::AddGlobalTestEnvironment(new NoLeftovers);

}  // namespace
