// The window robot of the end-to-end tests. It finds a message box or
// dialog of the program under test, reports its caption and control texts
// on standard output in UTF-8, and then works the window step by step.
//
//   robot --pid N | --exe NAME   the program under test (process id, or
//                                the file name of its executable)
//         [--caption TEXT]       take only a window with exactly this
//                                caption (a setup run shows several)
//         [--timeout MS]         how long to wait for the window, and for
//                                each --wait-gone (10000)
//         [--expect-none]        wait for the process to end instead and
//                                fail if it shows any window meanwhile
//   steps, done in the order given once the window is found and reported:
//         [--press NAME]         press the button whose text (without '&')
//                                is NAME, or whose id is #N: its command
//                                is posted to the window
//         [--click ID]           click control ID (BM_CLICK): the button
//                                itself handles it as a mouse click, so a
//                                check box toggles and the dialog gets
//                                BN_CLICKED. The click is sent without
//                                waiting for it, so one that opens a modal
//                                dialog does not hold the robot.
//         [--check ID]           report the check state and the enabled
//                                state of control ID, once every earlier
//                                step has been handled by the window
//         [--close]              the system close command (SC_CLOSE), as
//                                the caption's close box sends it
//         [--wm-close]           WM_CLOSE posted to the window
//         [--wait-gone]          wait until the window is destroyed
//
// Report lines: "watching: <pid> open|gone" (with --pid), "window: <ms
// after start>", "class: <class>", "caption: <text>", "text: <the message
// text of a message box>", "control: <id> <class> <text>", then per step
// "pressed: <id>", "clicked <id>: <class>", "check <id>: 0|1|2",
// "enabled <id>: 0|1", "closed: sc|wm", "gone: <ms after start>".
// Texts are escaped: \n, \r, \t, \\ and \".
// Exit codes: 0 done, 1 usage, 2 no window in time, 3 a window where none
// was expected, 4 the process did not end in time, 5 no such button or
// control, 6 the window was not gone in time.
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
    std::wstring Caption;   // empty: any caption
};

// One step of the work on the window, in command-line order.
struct Step
{
    enum Kind { Press, Click, Check, Close, WmClose, WaitGone } What;
    std::wstring Arg;
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
    const std::wstring *Caption = NULL;
    HWND Found = NULL;
};

BOOL CALLBACK FindTopLevel(HWND h, LPARAM param)
{
    FindState *st = reinterpret_cast<FindState *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    for (DWORD p : st->Pids)
    {
        if (p == pid && IsWindowVisible(h) &&
            (st->Caption->empty() || WindowText(h) == *st->Caption))
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
    st.Caption = &t.Caption;
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

HWND Control(HWND w, const std::wstring &idText)
{
    int id = _wtoi(idText.c_str());
    for (HWND c : Children(w))
        if (GetDlgCtrlID(c) == id)
            return c;
    return NULL;
}

// Returns once the window's thread has handled every message sent to it
// before (sent messages are handled in order, also inside a modal loop
// that a click started).
void Settle(HWND w)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

// Does one step; returns the exit code when it fails, else 0.
int Perform(HWND w, const Step &step, DWORD start, DWORD timeout)
{
    switch (step.What)
    {
    case Step::Press:
        Settle(w);
        return Press(w, step.Arg) ? 0 : 5;
    case Step::Click:
    {
        HWND c = Control(w, step.Arg);
        if (c == NULL)
            return 5;
        // The button runs its own mouse-down and mouse-up handling.
        SendNotifyMessageW(c, BM_CLICK, 0, 0);
        printf("clicked %d: %s\n", GetDlgCtrlID(c), Escaped(ClassOf(c)).c_str());
        break;
    }
    case Step::Check:
    {
        HWND c = Control(w, step.Arg);
        if (c == NULL)
            return 5;
        Settle(w);
        DWORD_PTR state = 0;
        SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
        printf("check %d: %lu\n", GetDlgCtrlID(c), (unsigned long)state);
        printf("enabled %d: %d\n", GetDlgCtrlID(c), IsWindowEnabled(c) ? 1 : 0);
        break;
    }
    case Step::Close:
        Settle(w);
        PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
        printf("closed: sc\n");
        break;
    case Step::WmClose:
        Settle(w);
        PostMessageW(w, WM_CLOSE, 0, 0);
        printf("closed: wm\n");
        break;
    case Step::WaitGone:
    {
        DWORD begin = GetTickCount();
        while (IsWindow(w))
        {
            if (GetTickCount() - begin > timeout)
            {
                printf("still shown\n");
                fflush(stdout);
                return 6;
            }
            Sleep(50);
        }
        printf("gone: %lu\n", (unsigned long)(GetTickCount() - start));
        break;
    }
    }
    fflush(stdout);
    return 0;
}

int Usage()
{
    fprintf(stderr, "usage: robot --pid N | --exe NAME [--caption TEXT] [--timeout MS] "
                    "[--expect-none] [--press NAME] [--click ID] [--check ID] [--close] "
                    "[--wm-close] [--wait-gone]...\n");
    return 1;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    Target target;
    DWORD timeout = 10000;
    std::vector<Step> steps;
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
        else if (a == L"--caption" && more)
            target.Caption = argv[++i];
        else if (a == L"--press" && more)
            steps.push_back({Step::Press, argv[++i]});
        else if (a == L"--click" && more)
            steps.push_back({Step::Click, argv[++i]});
        else if (a == L"--check" && more)
            steps.push_back({Step::Check, argv[++i]});
        else if (a == L"--close")
            steps.push_back({Step::Close, std::wstring()});
        else if (a == L"--wm-close")
            steps.push_back({Step::WmClose, std::wstring()});
        else if (a == L"--wait-gone")
            steps.push_back({Step::WaitGone, std::wstring()});
        else if (a == L"--expect-none")
            expectNone = true;
        else
            return Usage();
    }
    if ((target.Pid == 0 && target.Exe.empty()) || (expectNone && !steps.empty()))
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
            for (const Step &step : steps)
            {
                int failed = Perform(w, step, start, timeout);
                if (failed != 0)
                    return failed;
            }
            // Clicks are handled before the robot ends.
            if (IsWindow(w))
                Settle(w);
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
