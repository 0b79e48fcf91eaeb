// Helpers of the end-to-end tests: a child process of the program under
// test, and the window robot that watches it.
#ifndef VELMOR_TESTS_E2E_SUPPORT_H
#define VELMOR_TESTS_E2E_SUPPORT_H

#include <windows.h>
#include <wchar.h>

#include <map>
#include <string>

#include "support/testutil.h"

// A child process started suspended; killed if the test leaves it running.
class Child
{
public:
    Child() { ZeroMemory(&Info, sizeof(Info)); }
    ~Child()
    {
        if (Info.hProcess != NULL)
        {
            if (WaitForSingleObject(Info.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(Info.hProcess, 99);
            CloseHandle(Info.hProcess);
            CloseHandle(Info.hThread);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // environment: a block from EnvironmentWith, or NULL for this process's.
    bool Start(const std::wstring &exe, const std::wstring &args, const std::wstring &dir,
               const std::wstring *environment = NULL)
    {
        std::wstring line = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
        STARTUPINFOW si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        DWORD flags = CREATE_SUSPENDED | (environment != NULL ? CREATE_UNICODE_ENVIRONMENT : 0);
        if (!CreateProcessW(exe.c_str(), &line[0], NULL, NULL, FALSE, flags,
                            environment != NULL ? (void *)environment->c_str() : NULL,
                            dir.c_str(), &si, &Info))
            return false;
        StartTick = GetTickCount();
        return true;
    }

    void Resume()
    {
        StartTick = GetTickCount();
        ResumeThread(Info.hThread);
    }

    // Milliseconds from Resume to the end, or -1 when it did not end in time.
    long WaitEnd(DWORD timeout)
    {
        if (WaitForSingleObject(Info.hProcess, timeout) != WAIT_OBJECT_0)
            return -1;
        return (long)(GetTickCount() - StartTick);
    }

    DWORD ExitCode()
    {
        DWORD code = 0xDEADBEEF;
        GetExitCodeProcess(Info.hProcess, &code);
        return code;
    }

    PROCESS_INFORMATION Info;
    DWORD StartTick = 0;
};

// This process's environment with the named variables set, or left out
// where the value is empty: a block for Child::Start.
inline std::wstring EnvironmentWith(const std::map<std::wstring, std::wstring> &changes)
{
    std::wstring block;
    wchar_t *env = GetEnvironmentStringsW();
    for (const wchar_t *p = env; p != NULL && *p != 0; p += wcslen(p) + 1)
    {
        std::wstring entry = p;
        std::wstring name = entry.substr(0, entry.find(L'=', 1));   // "=C:=C:\..." too
        bool changed = false;
        for (const auto &c : changes)
            changed = changed || _wcsicmp(c.first.c_str(), name.c_str()) == 0;
        if (!changed)
            block.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(env);
    for (const auto &c : changes)
        if (!c.second.empty())
            block.append(c.first + L"=" + c.second).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

// Runs the robot with its output on a pipe. Start() returns after the
// robot's first line ("watching: ..."), so the program under test can be
// resumed then.
class Robot
{
public:
    ~Robot()
    {
        if (Read != NULL)
            CloseHandle(Read);
    }

    // With watchLine false (for --exe, which prints no such line) it
    // returns once the robot runs.
    bool Start(const std::wstring &args, bool watchLine = true)
    {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
        HANDLE write = NULL;
        if (!CreatePipe(&Read, &write, &sa, 0))
            return false;
        SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = write;
        si.hStdError = write;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring exe = WideFromUtf8(TestDir()) + L"robot.exe";
        std::wstring line = L"\"" + exe + L"\" " + args;
        bool ok = CreateProcessW(exe.c_str(), &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &si,
                                 &Proc.Info) != 0;
        CloseHandle(write);
        if (!ok)
            return false;
        return !watchLine || ReadLine().rfind("watching:", 0) == 0;
    }

    // Waits for the robot to end; its report lines become Fields.
    DWORD Finish(DWORD timeout = 60000)
    {
        for (std::string line; !(line = ReadLine()).empty();)
        {
            size_t colon = line.find(": ");
            if (colon != std::string::npos && line.compare(0, 8, "control:") != 0)
                Fields[line.substr(0, colon)] = Unescape(line.substr(colon + 2));
            Output += line + "\n";
        }
        if (Proc.WaitEnd(timeout) < 0)
            return 0xDEADBEEF;
        return Proc.ExitCode();
    }

    std::map<std::string, std::string> Fields;
    std::string Output;

private:
    std::string ReadLine()
    {
        std::string line;
        char c;
        DWORD n;
        while (Readable() && ReadFile(Read, &c, 1, &n, NULL) && n == 1)
        {
            if (c == '\n')
                return line.empty() ? std::string(" ") : line;
            if (c != '\r')
                line += c;
        }
        return line;
    }

    // Waits for a byte to read; false at the end. Under Wine the pipe may
    // stay open after the robot has ended, so the end of the robot with
    // nothing left to read is the end too.
    bool Readable()
    {
        for (;;)
        {
            DWORD ready = 0;
            if (!PeekNamedPipe(Read, NULL, 0, NULL, &ready, NULL))
                return false;
            if (ready > 0)
                return true;
            if (WaitForSingleObject(Proc.Info.hProcess, 20) == WAIT_OBJECT_0 &&
                (!PeekNamedPipe(Read, NULL, 0, NULL, &ready, NULL) || ready == 0))
                return false;
        }
    }

    static std::string Unescape(const std::string &s)
    {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i)
        {
            if (s[i] != '\\' || i + 1 == s.size())
            {
                out += s[i];
                continue;
            }
            char e = s[++i];
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
        return out;
    }

    HANDLE Read = NULL;
    Child Proc;
};

#endif
