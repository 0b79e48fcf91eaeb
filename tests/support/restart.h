// Files in use and deletion at the next restart, for the tests of the
// uninstall procedure: another process that holds a file, and the two
// places Windows keeps deletions for the restart, restored at the end.
#ifndef VELMOR_TESTS_RESTART_H
#define VELMOR_TESTS_RESTART_H

#include <windows.h>

#include <string>
#include <vector>

#include "support/testutil.h"

// Another process that holds a file in use: "load" (a module: it can be
// renamed, not deleted) or "open" (no share-delete: neither).
class Holder
{
public:
    Holder(const char *how, const std::string &path)
    {
        static int count = 0;
        std::string event = "velmor-holder-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(++count);
        Ready = CreateEventA(NULL, TRUE, FALSE, event.c_str());
        std::wstring exe = WideFromUtf8(TestDir()) + L"holder.exe";
        std::wstring line = L"\"" + exe + L"\" " + WideFromUtf8(how) + L" \"" + WideFromUtf8(Utf8FromAnsi(path)) +
                            L"\" " + WideFromUtf8(event);
        STARTUPINFOW si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        ZeroMemory(&Info, sizeof(Info));
        if (CreateProcessW(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &Info))
        {
            HANDLE both[2] = {Ready, Info.hProcess};
            Held = WaitForMultipleObjects(2, both, FALSE, 20000) == WAIT_OBJECT_0;
        }
    }
    ~Holder() { Release(); }
    Holder(const Holder &) = delete;
    Holder &operator=(const Holder &) = delete;

    void Release()
    {
        if (Info.hProcess != NULL)
        {
            TerminateProcess(Info.hProcess, 0);
            WaitForSingleObject(Info.hProcess, 10000);
            CloseHandle(Info.hProcess);
            CloseHandle(Info.hThread);
            Info.hProcess = NULL;
        }
        if (Ready != NULL)
            CloseHandle(Ready);
        Ready = NULL;
    }

    bool Held = false;

private:
    HANDLE Ready = NULL;
    PROCESS_INFORMATION Info;
};

// The pending rename operations of the system (NT), restored at the end.
class PendingOperations
{
public:
    PendingOperations() { Had = Read(&Type, &Saved); }
    ~PendingOperations()
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PendingKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        if (Had)
            RegSetValueExW(key, PendingValue, 0, Type, (const BYTE *)Saved.data(),
                           (DWORD)(Saved.size() * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, PendingValue);
        RegCloseKey(key);
    }

    // The names scheduled for deletion since the start (pairs with an
    // empty new name), without "\??\", in the ANSI code page.
    std::vector<std::string> Deletions() const
    {
        std::vector<std::string> names;
        DWORD type;
        std::wstring data;
        if (!Read(&type, &data))
            return names;
        size_t kept = Had && !Saved.empty() && Saved.back() == 0 ? Saved.size() - 1 : Saved.size();
        size_t at = Had && data.compare(0, kept, Saved, 0, kept) == 0 ? kept : 0;
        std::vector<std::wstring> items;
        while (at < data.size())
        {
            size_t zero = data.find(L'\0', at);
            if (zero == std::wstring::npos)
                zero = data.size();
            items.push_back(data.substr(at, zero - at));
            at = zero + 1;
        }
        for (size_t i = 0; i + 1 < items.size(); i += 2)
        {
            if (!items[i + 1].empty())
                continue;
            std::wstring name = items[i];
            if (name.compare(0, 4, L"\\??\\") == 0)
                name = name.substr(4);
            names.push_back(AnsiFromUtf8(Utf8FromWide(name)));
        }
        return names;
    }

private:
    static bool Read(DWORD *type, std::wstring *data)
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PendingKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return false;
        std::vector<wchar_t> buf(65536);
        DWORD size = (DWORD)(buf.size() * sizeof(wchar_t));
        LONG r = RegQueryValueExW(key, PendingValue, NULL, type, (BYTE *)buf.data(), &size);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS)
            return false;
        data->assign(buf.data(), size / sizeof(wchar_t));
        return true;
    }

    static constexpr const wchar_t *PendingKey =
        L"System\\CurrentControlSet\\Control\\Session Manager";
    static constexpr const wchar_t *PendingValue = L"PendingFileRenameOperations";
    bool Had = false;
    DWORD Type = REG_MULTI_SZ;
    std::wstring Saved;
};

// wininit.ini of the prefix's Windows folder (9x), restored at the end.
class Wininit
{
public:
    Wininit()
    {
        char dir[MAX_PATH];
        GetWindowsDirectoryA(dir, MAX_PATH);
        Path = std::string(dir) + "\\wininit.ini";
        Had = ReadFileBytes(Path, &Saved);
    }
    ~Wininit()
    {
        if (Had)
            WriteFileBytes(Path, Saved);
        else
            DeleteFileA(Path.c_str());
    }
    std::string Text() const
    {
        std::string text;
        ReadFileBytes(Path, &text);
        return text;
    }
    // The "NUL=" lines of the file as it is now.
    std::vector<std::string> NulLines() const
    {
        std::string text;
        ReadFileBytes(Path, &text);
        std::vector<std::string> lines;
        for (size_t at = 0; at < text.size();)
        {
            size_t end = text.find('\n', at);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(at, end - at);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.compare(0, 4, "NUL=") == 0)
                lines.push_back(line.substr(4));
            at = end + 1;
        }
        return lines;
    }
    std::string Path;
    bool Had = false;
    std::string Saved;
};

#endif
