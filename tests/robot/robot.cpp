// The window robot of the end-to-end tests. It finds a message box or
// dialog of the program under test, reports its caption and control texts
// on standard output in UTF-8, and can press one of its buttons.
//
//   robot --pid N | --exe NAME   the program under test (process id, or
//                                the file name of its executable)
//         [--timeout MS]         how long to wait for the window (10000)
//         [--press NAME]         press the button whose text (without '&')
//                                is NAME, or whose id is #N
//         [--expect-none]        wait for the process to end instead and
//                                fail if it shows any window meanwhile
//
// Report lines: "watching: <pid> open|gone" (with --pid), "window: <ms after start>", "caption: <text>", "text: <the
// message text of a message box>", "control: <id> <class> <text>",
// "pressed: <id>". Texts are escaped: \n, \r, \t, \\ and \".
// Exit codes: 0 done, 1 usage, 2 no window in time, 3 a window where none
// was expected, 4 the process did not end in time, 5 no such button.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

namespace {

struct Target
{
    DWORD Pid = 0;
    std::wstring Exe;
};

std::string Utf8(const std::wstring &w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, NULL, NULL);
    return s;
}

std::string Escaped(const std::wstring &w)
{
    std::string in = Utf8(w), out;
    for (char c : in)
    {
        switch (c)
        {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default: out += c;
        }
    }
    return out;
}

std::wstring WindowText(HWND h)
{
    wchar_t buf[4096];
    // WM_GETTEXT through SendMessageTimeout so that a hung target cannot
    // hang the robot.
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXT, 4096, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, &len))
        return std::wstring();
    buf[4095] = 0;
    return buf;
}

std::wstring ClassOf(HWND h)
{
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

std::vector<DWORD> TargetPids(const Target &t)
{
    std::vector<DWORD> pids;
    if (t.Pid != 0)
    {
        pids.push_back(t.Pid);
        return pids;
    }
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W pe;
    pe.dwSize = sizeof(pe);
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
    {
        if (_wcsicmp(pe.szExeFile, t.Exe.c_str()) == 0)
            pids.push_back(pe.th32ProcessID);
    }
    CloseHandle(snap);
    return pids;
}

struct FindState
{
    std::vector<DWORD> Pids;
    HWND Found = NULL;
};

BOOL CALLBACK FindTopLevel(HWND h, LPARAM param)
{
    FindState *st = reinterpret_cast<FindState *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    for (DWORD p : st->Pids)
    {
        if (p == pid && IsWindowVisible(h))
        {
            st->Found = h;
            return FALSE;
        }
    }
    return TRUE;
}

HWND FindWindowOf(const Target &t)
{
    FindState st;
    st.Pids = TargetPids(t);
    if (st.Pids.empty())
        return NULL;
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&st));
    return st.Found;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> list;
    for (HWND c = GetWindow(parent, GW_CHILD); c != NULL; c = GetWindow(c, GW_HWNDNEXT))
        list.push_back(c);
    return list;
}

void Report(HWND w, DWORD elapsed)
{
    printf("window: %lu\n", (unsigned long)elapsed);
    printf("class: %s\n", Escaped(ClassOf(w)).c_str());
    printf("caption: %s\n", Escaped(WindowText(w)).c_str());
    for (HWND c : Children(w))
    {
        int id = GetDlgCtrlID(c);
        std::wstring text = WindowText(c);
        // A message box shows its message in the static control 0xFFFF.
        if (id == 0xFFFF && _wcsicmp(ClassOf(c).c_str(), L"Static") == 0)
            printf("text: %s\n", Escaped(text).c_str());
        printf("control: %d %s \"%s\"\n", id, Escaped(ClassOf(c)).c_str(), Escaped(text).c_str());
    }
    fflush(stdout);
}

std::wstring WithoutAmpersands(const std::wstring &s)
{
    std::wstring out;
    for (wchar_t c : s)
        if (c != L'&')
            out += c;
    return out;
}

bool Press(HWND w, const std::wstring &name)
{
    for (HWND c : Children(w))
    {
        int id = GetDlgCtrlID(c);
        bool byId = name.size() > 1 && name[0] == L'#' && _wtoi(name.c_str() + 1) == id;
        bool byText = WithoutAmpersands(WindowText(c)) == name;
        if ((byId || byText) && _wcsicmp(ClassOf(c).c_str(), L"Button") == 0)
        {
            // The command a click would send, posted so that a dialog
            // procedure that runs long does not hold the robot.
            PostMessageW(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)c);
            printf("pressed: %d\n", id);
            fflush(stdout);
            return true;
        }
    }
    return false;
}

int Usage()
{
    fprintf(stderr, "usage: robot --pid N | --exe NAME [--timeout MS] [--press NAME] "
                    "[--expect-none]\n");
    return 1;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    Target target;
    DWORD timeout = 10000;
    std::wstring press;
    bool expectNone = false;
    for (int i = 1; i < argc; ++i)
    {
        std::wstring a = argv[i];
        bool more = i + 1 < argc;
        if (a == L"--pid" && more)
            target.Pid = (DWORD)wcstoul(argv[++i], NULL, 10);
        else if (a == L"--exe" && more)
            target.Exe = argv[++i];
        else if (a == L"--timeout" && more)
            timeout = (DWORD)wcstoul(argv[++i], NULL, 10);
        else if (a == L"--press" && more)
            press = argv[++i];
        else if (a == L"--expect-none")
            expectNone = true;
        else
            return Usage();
    }
    if (target.Pid == 0 && target.Exe.empty())
        return Usage();

    const DWORD start = GetTickCount();
    HANDLE process = target.Pid != 0 ? OpenProcess(SYNCHRONIZE, FALSE, target.Pid) : NULL;
    if (target.Pid != 0)
    {
        // A caller that starts the program suspended resumes it once this
        // line is out, so that nothing of its run is missed.
        printf("watching: %lu %s\n", (unsigned long)target.Pid, process != NULL ? "open" : "gone");
        fflush(stdout);
        if (process == NULL && expectNone)
            return 0;
    }
    for (;;)
    {
        DWORD elapsed = GetTickCount() - start;
        HWND w = FindWindowOf(target);
        if (w != NULL)
        {
            Report(w, elapsed);
            if (expectNone)
                return 3;
            if (!press.empty() && !Press(w, press))
                return 5;
            return 0;
        }
        if (expectNone && process != NULL && WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
        {
            printf("ended: %lu\n", (unsigned long)elapsed);
            return 0;
        }
        if (elapsed > timeout)
        {
            printf(expectNone ? "still running\n" : "no window\n");
            return expectNone ? 4 : 2;
        }
        Sleep(50);
    }
}
