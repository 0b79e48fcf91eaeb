#include "support/testutil.h"

#include <stdio.h>
#include <stdlib.h>

std::string TestDir()
{
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof(path));
    std::string s(path, n);
    size_t cut = s.find_last_of('\\');
    return cut == std::string::npos ? std::string() : s.substr(0, cut + 1);
}

std::wstring WideFromUtf8(const std::string &utf8)
{
    if (utf8.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), NULL, 0);
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &w[0], n);
    return w;
}

static std::string NarrowFromWide(UINT cp, const std::wstring &wide)
{
    if (wide.empty())
        return std::string();
    int n = WideCharToMultiByte(cp, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(cp, 0, wide.data(), (int)wide.size(), &s[0], n, NULL, NULL);
    return s;
}

std::string Utf8FromWide(const std::wstring &wide)
{
    return NarrowFromWide(CP_UTF8, wide);
}

std::string AnsiFromUtf8(const std::string &utf8)
{
    return NarrowFromWide(CP_ACP, WideFromUtf8(utf8));
}

std::string Utf8FromAnsi(const std::string &ansi)
{
    if (ansi.empty())
        return std::string();
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), NULL, 0);
    std::wstring w((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &w[0], n);
    return Utf8FromWide(w);
}

std::string ExpectedWinVersion()
{
    const char *v = getenv("VELMOR_TEST_WINVER");
    return v != NULL && *v != 0 ? v : "win7";
}

unsigned ExpectedCodePage()
{
    const char *v = getenv("VELMOR_TEST_ACP");
    return v != NULL ? (unsigned)strtoul(v, NULL, 10) : 0;
}

ScratchDir::ScratchDir(const char *name)
{
    CreateDirectoryA("C:\\velmor-scratch", NULL);
    char unique[64];
    snprintf(unique, sizeof(unique), "%lu-%lu", (unsigned long)GetCurrentProcessId(),
             (unsigned long)GetTickCount());
    Dir = std::string("C:\\velmor-scratch\\") + name + "-" + unique + "\\";
    DeleteTree(Dir);
    CreateDirectoryA(Dir.c_str(), NULL);
}

ScratchDir::~ScratchDir()
{
    DeleteTree(Dir);
}

bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (f == NULL)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string &path, std::string *bytes)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (f == NULL)
        return false;
    bytes->clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        bytes->append(buf, n);
    fclose(f);
    return true;
}

bool DeleteTree(const std::string &path)
{
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(full);
            else
            {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    return RemoveDirectoryA(dir.c_str()) != 0;
}
