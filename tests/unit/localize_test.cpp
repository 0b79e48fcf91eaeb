// Translation, scaling and right-to-left layout of dialogs, on real windows:
// the program's own dialogs from its resources with their real procedures,
// and dialogs from templates built here for what those lack (an empty
// caption, combo boxes, hundreds of controls). The language table is the
// program's global one, filled for a test and emptied again after it.
// Keys are computed from the texts the live windows give, so the tests hold
// in any ANSI code page.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "dialogs/dialogs.h"
#include "lang/langtable.h"
#include "lang/localize.h"
#include "lang/messages.h"
#include "res/resource.h"
#include "setup/program.h"
#include "support/testutil.h"

namespace {

// ------------------------------------------------------------- language

// A language text in the form the loader leaves it: form-feed separated
// lines, the header line first.
class LanguageText
{
public:
    // ansiSource is the text as GetWindowTextA gives it.
    void Add(const std::string &ansiSource, const char *dialog, const std::string &value)
    {
        char key[9];
        MakeLanguageKey(key, ansiSource.c_str(), dialog, KindDialog);
        Lines += "\f" + std::string(key) + "=\"" + value + "\"";
    }

    // The scale entry shares its key with an empty text.
    void AddScale(const char *dialog, const std::string &value) { Add("", dialog, value); }

    void AddRightToLeft() { Lines += "\f50a17ae8=\"RTL\""; }

    // Makes it the program's table. The padding line keeps the last entry
    // out of the last 8 bytes, which are never indexed.
    void Load() const
    {
        const std::string text = "***messages***" + Lines + "\fpadding line";
        char *copy = static_cast<char *>(malloc(text.size() + 1));
        memcpy(copy, text.c_str(), text.size() + 1);
        LanguageTable.AdoptText(copy, (int32_t)text.size());
    }

private:
    std::string Lines;
};

void UnloadLanguage()
{
    free(LanguageTable.Text);
    LanguageTable.Text = NULL;
    LanguageTable.TextLength = 0;
    LanguageTable.LineIndex.Count = 0;
    LanguageTable.Rtl = false;
}

// --------------------------------------------------------------- windows

// What the window system was asked while dialogs were created: every window
// created with the extended style of its parent at that moment, and from
// WM_INITDIALOG on, the texts set and the first placement of each window.
class WindowLog
{
public:
    WindowLog()
    {
        Current = this;
        Cbt = SetWindowsHookExA(WH_CBT, OnCbt, NULL, GetCurrentThreadId());
        CallWnd = SetWindowsHookExA(WH_CALLWNDPROC, OnCallWnd, NULL, GetCurrentThreadId());
    }

    ~WindowLog()
    {
        if (Cbt != NULL)
            UnhookWindowsHookEx(Cbt);
        if (CallWnd != NULL)
            UnhookWindowsHookEx(CallWnd);
        Current = NULL;
    }

    WindowLog(const WindowLog &) = delete;
    WindowLog &operator=(const WindowLog &) = delete;

    bool Ok() const { return Cbt != NULL && CallWnd != NULL; }

    void Clear()
    {
        Created.clear();
        SetTexts.clear();
        Placed.clear();
        Initialising = false;
    }

    struct Creation
    {
        HWND Window;
        HWND Parent;
        LONG ParentExStyle;
    };

    std::vector<Creation> Created;
    std::map<HWND, int> SetTexts;
    std::map<HWND, WINDOWPOS> Placed;

private:
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND && Current != NULL)
        {
            const CBT_CREATEWNDA *create = (const CBT_CREATEWNDA *)lParam;
            HWND parent = create->lpcs->hwndParent;
            const LONG parentStyle = parent != NULL ? GetWindowLongA(parent, GWL_EXSTYLE) : 0;
            Current->Created.push_back(Creation{(HWND)wParam, parent, parentStyle});
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }

    static LRESULT CALLBACK OnCallWnd(int code, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT *m = (const CWPSTRUCT *)lParam;
        if (code == HC_ACTION && Current != NULL)
        {
            if (m->message == WM_INITDIALOG)
            {
                Current->Initialising = true;
                Current->SetTexts.clear();
                Current->Placed.clear();
            }
            else if (Current->Initialising && m->message == WM_SETTEXT)
            {
                ++Current->SetTexts[m->hwnd];
            }
            else if (Current->Initialising && m->message == WM_WINDOWPOSCHANGING &&
                     Current->Placed.count(m->hwnd) == 0)
            {
                Current->Placed[m->hwnd] = *(const WINDOWPOS *)m->lParam;
            }
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }

    static WindowLog *Current;
    HHOOK Cbt = NULL;
    HHOOK CallWnd = NULL;
    bool Initialising = false;
};

WindowLog *WindowLog::Current = NULL;

std::string WindowText(HWND window)
{
    char text[2048] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

struct ChildShot
{
    HWND Window;
    int Id;
    std::string Class;
    std::string Text;     // ANSI
    RECT Screen;          // GetWindowRect
    RECT InClient;        // the same in the dialog's client coordinates
    LONG ExStyle;
    RECT Dropped;         // CB_GETDROPPEDCONTROLRECT, combo boxes only
};

struct DialogShot
{
    HWND Window = NULL;
    RECT Frame;
    RECT Client;
    std::string Caption;
    LONG ExStyle = 0;
    std::vector<ChildShot> Children;   // every direct child, in window order
};

DialogShot Shoot(HWND dialog)
{
    DialogShot shot;
    shot.Window = dialog;
    GetWindowRect(dialog, &shot.Frame);
    GetClientRect(dialog, &shot.Client);
    shot.Caption = WindowText(dialog);
    shot.ExStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != NULL && shot.Children.size() < 4096;
         child = GetWindow(child, GW_HWNDNEXT))
    {
        ChildShot c;
        c.Window = child;
        c.Id = GetDlgCtrlID(child);
        char className[256] = "";
        GetClassNameA(child, className, sizeof(className));
        c.Class = className;
        c.Text = WindowText(child);
        GetWindowRect(child, &c.Screen);
        c.InClient = c.Screen;
        MapWindowPoints(NULL, dialog, (POINT *)&c.InClient, 2);
        c.ExStyle = GetWindowLongA(child, GWL_EXSTYLE);
        memset(&c.Dropped, 0, sizeof(c.Dropped));
        if (lstrcmpiA(className, "ComboBox") == 0)
            SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&c.Dropped);
        shot.Children.push_back(c);
    }
    return shot;
}

std::string Describe(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

bool SameRect(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != FALSE;
}

// Ends a modeless dialog and takes what it left in the queue.
void Close(HWND dialog)
{
    if (dialog != NULL)
        DestroyWindow(dialog);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Closes a dialog when a check ends the test early.
struct OpenDialog
{
    explicit OpenDialog(HWND dialog) : Window(dialog) {}
    ~OpenDialog() { Close(Window); }
    OpenDialog(const OpenDialog &) = delete;
    OpenDialog &operator=(const OpenDialog &) = delete;
    HWND Window;
};

// --------------------------------------------------------- the formulas

int32_t Held(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

int32_t Percent(int64_t value, int32_t percent)
{
    return Held(value * percent / 100);   // C++ division truncates toward zero
}

// Where a dialog measured before its translation is to be placed by the
// scale X*Y.
struct Layout
{
    int32_t Width, Height;      // new outer size
    int32_t ChildDy;            // dy of the children
    int32_t Dx;
};

Layout DialogLayout(const DialogShot &before, int32_t x, int32_t y)
{
    const int64_t dx = (int64_t)before.Frame.right - before.Frame.left + 1 - before.Client.right;
    const int64_t dy = (int64_t)before.Frame.bottom - before.Frame.top + 1 - before.Client.bottom;
    Layout l;
    l.Dx = (int32_t)dx;
    l.Width = Held((int64_t)Percent(before.Client.right, x) + dx);
    l.Height = Held((int64_t)Percent(before.Client.bottom, y) + dy);
    l.ChildDy = (int32_t)(dy - GetSystemMetrics(SM_CYDLGFRAME));
    return l;
}

// The child's new rectangle in its dialog's client coordinates, as asked
// of SetWindowPos (x, y, w, h).
struct Placement
{
    int32_t X, Y, W, H;
};

Placement ChildPlacement(const DialogShot &before, const ChildShot &c, int32_t x, int32_t y,
                         bool dropDown)
{
    const Layout l = DialogLayout(before, x, y);
    Placement p;
    p.X = Percent((int64_t)c.Screen.left - before.Frame.left - l.Dx / 2, x);
    p.Y = Percent((int64_t)c.Screen.top - before.Frame.top - l.ChildDy, y);
    p.W = Percent((int64_t)c.Screen.right - c.Screen.left + 1, x);
    p.H = Percent((int64_t)c.Screen.bottom - c.Screen.top + 1, y);
    if (dropDown)
        p.H = Held((int64_t)p.H + Percent((int64_t)c.Dropped.bottom - c.Dropped.top + 1, y));
    return p;
}

// Checks a dialog measured after LocalizeDialog against the same dialog
// measured before, for the scale X*Y, by the live rectangles.
void ExpectScaled(const DialogShot &before, const DialogShot &after, int32_t x, int32_t y)
{
    const Layout l = DialogLayout(before, x, y);
    EXPECT_EQ(before.Frame.left, after.Frame.left) << "the dialog keeps its place";
    EXPECT_EQ(before.Frame.top, after.Frame.top);
    EXPECT_EQ(l.Width, after.Frame.right - after.Frame.left) << "outer width";
    EXPECT_EQ(l.Height, after.Frame.bottom - after.Frame.top) << "outer height";
    ASSERT_EQ(before.Children.size(), after.Children.size());
    for (size_t i = 0; i < before.Children.size(); ++i)
    {
        const ChildShot &c = before.Children[i];
        SCOPED_TRACE("child " + std::to_string(i) + " id " + std::to_string(c.Id) + " at " +
                     Describe(c.InClient));
        const Placement p = ChildPlacement(before, c, x, y, false);
        const RECT want = {p.X, p.Y, p.X + p.W, p.Y + p.H};
        EXPECT_TRUE(SameRect(want, after.Children[i].InClient))
            << "expected " << Describe(want) << ", got " << Describe(after.Children[i].InClient);
    }
}

void ExpectUnmoved(const DialogShot &before, const DialogShot &after)
{
    EXPECT_TRUE(SameRect(before.Frame, after.Frame))
        << Describe(before.Frame) << " became " << Describe(after.Frame);
    ASSERT_EQ(before.Children.size(), after.Children.size());
    for (size_t i = 0; i < before.Children.size(); ++i)
        EXPECT_TRUE(SameRect(before.Children[i].Screen, after.Children[i].Screen))
            << "child " << i << ": " << Describe(before.Children[i].Screen) << " became "
            << Describe(after.Children[i].Screen);
}

// ------------------------------------------------------------- templates

// A dialog template in memory (DLGTEMPLATE form), with a font so that the
// dialog manager sends WM_SETFONT before it creates the controls.
class DialogTemplate
{
public:
    DialogTemplate(const wchar_t *caption, DWORD exStyle = 0, short cx = 300, short cy = 200)
    {
        const DWORD style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        PutDword(style);
        PutDword(exStyle);
        Words.push_back(0);   // control count, set below
        Words.push_back(10);
        Words.push_back(10);
        Words.push_back((WORD)cx);
        Words.push_back((WORD)cy);
        Words.push_back(0);   // no menu
        Words.push_back(0);   // the dialog class
        PutText(caption);
        Words.push_back(8);
        PutText(L"MS Shell Dlg");
    }

    // A control of a predefined class by its atom (0x80 button, 0x82
    // static, 0x85 combo box), or of a class by name.
    void Add(WORD atom, DWORD style, const std::wstring &text, short x, short y, short cx,
             short cy)
    {
        Begin(style, x, y, cx, cy);
        Words.push_back(0xFFFF);
        Words.push_back(atom);
        Finish(text);
    }

    void Add(const wchar_t *className, DWORD style, const std::wstring &text, short x, short y,
             short cx, short cy)
    {
        Begin(style, x, y, cx, cy);
        PutText(className);
        Finish(text);
    }

    HWND Create(DLGPROC proc)
    {
        Words[4] = Count;
        return CreateDialogIndirectParamA(GetModuleHandleA(NULL), (LPCDLGTEMPLATEA)Words.data(),
                                          NULL, proc, 0);
    }

private:
    void PutDword(DWORD v)
    {
        Words.push_back(LOWORD(v));
        Words.push_back(HIWORD(v));
    }

    void PutText(const std::wstring &text)
    {
        for (wchar_t ch : text)
            Words.push_back((WORD)ch);
        Words.push_back(0);
    }

    void Begin(DWORD style, short x, short y, short cx, short cy)
    {
        if (Words.size() % 2 != 0)
            Words.push_back(0);   // items start on a DWORD boundary
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        Words.push_back((WORD)x);
        Words.push_back((WORD)y);
        Words.push_back((WORD)cx);
        Words.push_back((WORD)cy);
        Words.push_back((WORD)(1000 + Count));   // id
    }

    void Finish(const std::wstring &text)
    {
        PutText(text);
        Words.push_back(0);   // no creation data
        ++Count;
    }

    std::vector<WORD> Words;
    WORD Count = 0;
};

const char TestDialogName[] = "VELMORTEST";

// A dialog of this test with the program's dialog frame.
INT_PTR CALLBACK FramedTestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogFrameProc(dialog, message, wParam, lParam, NULL, TestDialogName);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// --------------------------------------------------------------- fixture

struct RealDialog
{
    const char *Name;
    DLGPROC Proc;
};

const RealDialog RealDialogs[] = {
    {"SETUPDLG", SetupDlgProc},
    {"CONTEXTITEMS", ContextItemsDlgProc},
    {"DONEDLG", DoneDlgProc},
};

// The program's state around the dialogs: its own resources, not silent,
// the rich edit class of the setup dialog, the registry in a sandbox (the
// dialogs read their stored choices), and no language file or module.
class LocalizeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SavedResources = ResourceInstance;
        SavedExe = ExeInstance;
        SavedSilent = SilentMode;
        ResourceInstance = ExeInstance = GetModuleHandleA(NULL);
        SilentMode = false;
        UnloadLanguage();
        ModulePath = TestDir() + "vmzlng.dll";
        Sandbox.reset(new RegistrySandbox());
        ASSERT_TRUE(Sandbox->Ok());
        RichEdit = LoadLibraryA("riched32.dll");
        ASSERT_TRUE(RichEdit != NULL);
        ASSERT_TRUE(Log.Ok()) << "hooks not installed";
    }

    void TearDown() override
    {
        UnloadLanguage();
        LanguageModule.FreeLangModule();
        DeleteFileA(ModulePath.c_str());
        if (RichEdit != NULL)
            FreeLibrary(RichEdit);
        Sandbox.reset();
        ResourceInstance = SavedResources;
        ExeInstance = SavedExe;
        SilentMode = SavedSilent;
    }

    // Creates one of the program's dialogs from the program's own
    // resources, measures it and closes it again.
    DialogShot ShootReal(const RealDialog &d)
    {
        Log.Clear();
        HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), d.Name, NULL, d.Proc, 0);
        EXPECT_TRUE(dialog != NULL) << d.Name << " not created, error " << GetLastError();
        DialogShot shot;
        if (dialog != NULL)
            shot = Shoot(dialog);
        Close(dialog);
        return shot;
    }

    DialogShot ShootTemplate(DialogTemplate &t)
    {
        Log.Clear();
        HWND dialog = t.Create(FramedTestProc);
        EXPECT_TRUE(dialog != NULL) << "template not created, error " << GetLastError();
        DialogShot shot;
        if (dialog != NULL)
            shot = Shoot(dialog);
        Close(dialog);
        return shot;
    }

    WindowLog Log;
    std::string ModulePath;

private:
    HINSTANCE SavedResources = NULL;
    HINSTANCE SavedExe = NULL;
    bool SavedSilent = false;
    std::unique_ptr<RegistrySandbox> Sandbox;
    HMODULE RichEdit = NULL;
};

class LocalizeDialogs : public LocalizeTest
{
};
class LocalizeScale : public LocalizeTest
{
};
class LocalizeRtl : public LocalizeTest
{
};

// ---------------------------------------------------------- translation

// The completion dialog's folder line, empty in the template.
bool IsFolderLine(const RealDialog &d, const ChildShot &c)
{
    return strcmp(d.Name, "DONEDLG") == 0 && c.Id == IDC_DONE_FOLDER;
}

TEST_F(LocalizeDialogs, CaptionAndControlTextsOfTheRealDialogs)
{
    char folder[1024] = "";
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(folder), folder));
    for (const RealDialog &d : RealDialogs)
    {
        SCOPED_TRACE(d.Name);
        UnloadLanguage();
        const DialogShot source = ShootReal(d);
        ASSERT_FALSE(source.Children.empty());

        // Every other distinct text gets an entry; the rest must stay.
        LanguageText lang;
        std::map<std::string, std::string> translation;
        std::vector<std::string> texts{source.Caption};
        for (const ChildShot &c : source.Children)
        {
            if (!IsFolderLine(d, c))
                texts.push_back(c.Text);
        }
        int n = 0;
        for (const std::string &text : texts)
        {
            if (text.empty() || translation.count(text) != 0)
                continue;
            const std::string value =
                n % 2 == 0 ? std::string(d.Name) + " \"text\" " + std::to_string(n) : text;
            translation[text] = value;
            if (n % 2 == 0)
                lang.Add(text, d.Name, value);
            ++n;
        }
        ASSERT_GE(n, 3);
        // An empty control, looked up, would show this entry's text.
        lang.AddScale(d.Name, "100*100");
        // The same texts under another dialog's name must not be taken.
        for (const std::string &text : texts)
            lang.Add(text, "OTHERDLG", "wrong context");
        lang.Load();

        const DialogShot shown = ShootReal(d);
        ASSERT_EQ(source.Children.size(), shown.Children.size());
        EXPECT_EQ(translation[source.Caption], shown.Caption);
        EXPECT_NE(source.Caption, shown.Caption) << "the caption has an entry";
        int translated = 0;
        for (size_t i = 0; i < source.Children.size(); ++i)
        {
            const ChildShot &before = source.Children[i];
            const ChildShot &after = shown.Children[i];
            SCOPED_TRACE("control " + std::to_string(before.Id) + " \"" +
                         Utf8FromAnsi(before.Text) + "\"");
            if (IsFolderLine(d, before))
            {
                // Empty in the template, filled by the dialog's own
                // initialisation after the translation: set once only.
                EXPECT_EQ(std::string(folder), before.Text);
                EXPECT_EQ(std::string(folder), after.Text);
                EXPECT_EQ(1, Log.SetTexts[after.Window]);
                continue;
            }
            if (before.Text.empty())
            {
                EXPECT_EQ("", after.Text);
                EXPECT_EQ(0, Log.SetTexts[after.Window]) << "an empty text is not looked up";
                continue;
            }
            EXPECT_EQ(translation[before.Text], after.Text);
            translated += after.Text != before.Text;
        }
        EXPECT_GE(translated, 1);
    }
}

TEST_F(LocalizeDialogs, EmptyCaptionTakesTheScaleEntry)
{
    struct Case
    {
        const char *Name;
        const char *Scale;        // NULL: no scale entry
        const char *Caption;      // expected
    };
    const Case cases[] = {
        {"no entry", NULL, ""},
        {"entry without scaling", "100*100 (from the scale entry)",
         "100*100 (from the scale entry)"},
        {"scaling entry", "110*90", "110*90"},
        {"entry without an asterisk", "just a title", "just a title"},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.Name);
        UnloadLanguage();
        LanguageText lang;
        if (c.Scale != NULL)
            lang.AddScale(TestDialogName, c.Scale);
        lang.Add("Label", TestDialogName, "Translated label");
        lang.Load();
        DialogTemplate t(L"");
        t.Add(0x82, SS_LEFT, L"Label", 10, 10, 80, 10);
        t.Add(0x82, SS_LEFT, L"", 10, 30, 80, 10);
        const DialogShot shot = ShootTemplate(t);
        EXPECT_EQ(c.Caption, shot.Caption);
        ASSERT_EQ(2u, shot.Children.size());
        EXPECT_EQ("Translated label", shot.Children[0].Text);
        EXPECT_EQ("", shot.Children[1].Text) << "an empty control keeps its text";
    }
}

TEST_F(LocalizeDialogs, OnlyTheFirst512ChildrenAreTranslatedAndMoved)
{
    const int count = 530;
    DialogTemplate t(L"many", 0, 400, 300);
    LanguageText lang;
    for (int i = 0; i < count; ++i)
    {
        const std::string text = "item " + std::to_string(i);
        t.Add(0x82, SS_LEFT, std::wstring(text.begin(), text.end()), (short)(2 + (i / 30) * 20),
              (short)(2 + (i % 30) * 9), 18, 8);
        lang.Add(text, TestDialogName, "done " + std::to_string(i));
    }
    const DialogShot before = ShootTemplate(t);
    ASSERT_EQ((size_t)count, before.Children.size());

    lang.AddScale(TestDialogName, "150*120");
    lang.Load();
    const DialogShot after = ShootTemplate(t);
    ASSERT_EQ((size_t)count, after.Children.size());
    int translated = 0;
    int placed = 0;
    for (int i = 0; i < count; ++i)
    {
        const ChildShot &c = after.Children[i];
        const bool handled = i < 512;
        SCOPED_TRACE("child " + std::to_string(i) + " \"" + before.Children[i].Text + "\"");
        // The template's order is the window order.
        EXPECT_EQ(1000 + i, c.Id);
        const std::string number = before.Children[i].Text.substr(5);
        EXPECT_EQ(handled ? "done " + number : before.Children[i].Text, c.Text);
        EXPECT_EQ(handled ? 1u : 0u, Log.Placed.count(c.Window));
        if (handled)
        {
            const Placement p = ChildPlacement(before, before.Children[i], 150, 120, false);
            const RECT want = {p.X, p.Y, p.X + p.W, p.Y + p.H};
            EXPECT_TRUE(SameRect(want, c.InClient))
                << Describe(want) << " / " << Describe(c.InClient);
        }
        else
        {
            EXPECT_TRUE(SameRect(before.Children[i].InClient, c.InClient));
        }
        translated += c.Text != before.Children[i].Text;
        placed += (int)Log.Placed.count(c.Window);
    }
    EXPECT_EQ(512, translated);
    EXPECT_EQ(512, placed);
}

// -------------------------------------------------------------- scaling

TEST_F(LocalizeScale, SetupDialogAt120By100)
{
    const DialogShot before = ShootReal(RealDialogs[0]);
    ASSERT_GT(before.Children.size(), 20u);
    LanguageText lang;
    lang.AddScale("SETUPDLG", "120*100");
    lang.Load();
    const DialogShot after = ShootReal(RealDialogs[0]);
    ExpectScaled(before, after, 120, 100);
    // The dialog asked for it in one step, keeping its place.
    ASSERT_EQ(1u, Log.Placed.count(after.Window));
    const WINDOWPOS &pos = Log.Placed[after.Window];
    const UINT PlacementFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER;
    EXPECT_EQ(SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER, pos.flags & PlacementFlags);
    for (const ChildShot &c : after.Children)
    {
        ASSERT_EQ(1u, Log.Placed.count(c.Window));
        EXPECT_EQ(SWP_NOZORDER | SWP_NOOWNERZORDER, Log.Placed[c.Window].flags & PlacementFlags);
    }
}

TEST_F(LocalizeScale, EachDialogByItsOwnEntry)
{
    struct Case
    {
        int Dialog;
        int32_t X, Y;
    };
    const Case cases[] = {
        {2, 90, 135},
        {1, 100, 133},
        {0, 77, 101},
    };
    for (const Case &c : cases)
    {
        const RealDialog &d = RealDialogs[c.Dialog];
        SCOPED_TRACE(std::string(d.Name) + " " + std::to_string(c.X) + "*" + std::to_string(c.Y));
        UnloadLanguage();
        const DialogShot before = ShootReal(d);
        LanguageText lang;
        lang.AddScale(d.Name, std::to_string(c.X) + "*" + std::to_string(c.Y));
        // Another dialog's entry is not this one's.
        lang.AddScale(RealDialogs[(c.Dialog + 1) % 3].Name, "200*200");
        lang.Load();
        ExpectScaled(before, ShootReal(d), c.X, c.Y);
    }
}

TEST_F(LocalizeScale, NoScalingLeavesEveryRectangle)
{
    struct Case
    {
        const char *Name;
        const char *Scale;   // NULL: no scale entry
    };
    const Case cases[] = {
        {"100*100", "100*100"},
        {"no scale entry", NULL},
        {"no asterisk", "120"},
        {"100 with signs and spaces", " +100 *  100"},
    };
    for (const RealDialog &d : RealDialogs)
    {
        UnloadLanguage();
        const DialogShot before = ShootReal(d);
        for (const Case &c : cases)
        {
            SCOPED_TRACE(std::string(d.Name) + ", " + c.Name);
            UnloadLanguage();
            LanguageText lang;
            if (c.Scale != NULL)
                lang.AddScale(d.Name, c.Scale);
            lang.Add(before.Caption, d.Name, "caption");
            lang.Load();
            const DialogShot after = ShootReal(d);
            EXPECT_EQ("caption", after.Caption) << "the table was in use";
            ExpectUnmoved(before, after);
            EXPECT_EQ(0u, Log.Placed.count(after.Window));
        }
    }
}

TEST_F(LocalizeScale, DropDownComboBoxesGetTheirListHeight)
{
    struct Control
    {
        const wchar_t *Class;   // NULL: the combo box atom
        DWORD Style;
        bool DropDown;          // the list height is to be added
        const char *Name;
    };
    const Control controls[] = {
        {NULL, CBS_DROPDOWN, true, "drop-down"},
        {NULL, CBS_DROPDOWNLIST, true, "drop-down list"},
        {NULL, CBS_SIMPLE, false, "simple"},
        {NULL, CBS_SIMPLE | CBS_SORT | CBS_AUTOHSCROLL, false, "simple with more styles"},
        {NULL, CBS_DROPDOWNLIST | CBS_SORT, true, "drop-down list, sorted"},
        {L"COMBOBOX", CBS_DROPDOWN, true, "class by name"},
        {L"combobox", CBS_DROPDOWNLIST, true, "class by name in lower case"},
        {L"Static", SS_RIGHT, false, "static, style bits 2"},
        {L"Edit", ES_RIGHT | WS_BORDER, false, "edit, style bits 2"},
    };
    DialogTemplate t(L"combos");
    short top = 5;
    for (const Control &c : controls)
    {
        if (c.Class == NULL)
            t.Add(0x85, c.Style | WS_VSCROLL, L"", 10, top, 100, 60);
        else
            t.Add(c.Class, c.Style, L"", 10, top, 100, 60);
        top = (short)(top + 20);
    }
    const DialogShot before = ShootTemplate(t);
    ASSERT_EQ(sizeof(controls) / sizeof(controls[0]), before.Children.size());

    LanguageText lang;
    lang.AddScale(TestDialogName, "150*120");
    lang.Load();
    const DialogShot after = ShootTemplate(t);
    ASSERT_EQ(before.Children.size(), after.Children.size());
    for (size_t i = 0; i < before.Children.size(); ++i)
    {
        const Control &c = controls[i];
        const ChildShot &b = before.Children[i];
        SCOPED_TRACE(c.Name);
        if (c.DropDown)
        {
            // The system spells the class "ComboBox", never as compared.
            EXPECT_EQ("ComboBox", b.Class);
            EXPECT_GT(b.Dropped.bottom - b.Dropped.top, b.Screen.bottom - b.Screen.top)
                << "the list adds to the height";
        }
        ASSERT_EQ(1u, Log.Placed.count(after.Children[i].Window));
        const WINDOWPOS &pos = Log.Placed[after.Children[i].Window];
        const Placement want = ChildPlacement(before, b, 150, 120, c.DropDown);
        const Placement plain = ChildPlacement(before, b, 150, 120, false);
        EXPECT_EQ(want.X, pos.x);
        EXPECT_EQ(want.Y, pos.y);
        EXPECT_EQ(want.W, pos.cx);
        EXPECT_EQ(want.H, pos.cy) << "without the list: " << plain.H;
    }
}

// The window system takes a size as 0 to 32767 and a place as -32768 to
// 32767 before the window hears of it.
int32_t SizeTaken(int32_t size)
{
    return size < 0 ? 0 : size > 32767 ? 32767 : size;
}

int32_t PlaceTaken(int32_t place)
{
    return place < -32768 ? -32768 : place > 32767 ? 32767 : place;
}

// Language files come from anywhere: absurd scale entries are read by the
// number rule (white space, one sign, digits, held within 32 bits) and
// every size and place is held within 32 bits.
TEST_F(LocalizeScale, HostileScaleEntries)
{
    struct Case
    {
        const char *Scale;
        int32_t X, Y;   // as read
    };
    const Case cases[] = {
        {"99999999999*-99999999999", INT32_MAX, INT32_MIN},
        {"-99999999999*99999999999", INT32_MIN, INT32_MAX},
        {" +120 * 80", 120, 80},
        {"*", 0, 0},
        {"x*y", 0, 0},
        {"\t-50*2147483647", -50, INT32_MAX},
        {"2147483648*-2147483649", INT32_MAX, INT32_MIN},
        {"120*100*50", 120, 100},
    };
    DialogTemplate t(L"hostile");
    t.Add(0x82, SS_LEFT, L"text", 10, 10, 80, 10);
    t.Add(0x85, CBS_DROPDOWNLIST | WS_VSCROLL, L"", 10, 30, 80, 60);
    t.Add(0x80, BS_PUSHBUTTON, L"OK", 200, 170, 50, 14);
    const DialogShot before = ShootTemplate(t);
    ASSERT_EQ(3u, before.Children.size());
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.Scale);
        UnloadLanguage();
        LanguageText lang;
        lang.AddScale(TestDialogName, c.Scale);
        lang.Load();
        int32_t x = 0, y = 0;
        ASSERT_TRUE(LanguageTable.GetDialogScale(TestDialogName, &x, &y));
        EXPECT_EQ(c.X, x);
        EXPECT_EQ(c.Y, y);
        Log.Clear();
        HWND dialog = t.Create(FramedTestProc);
        ASSERT_TRUE(dialog != NULL);
        OpenDialog closer(dialog);
        const Layout l = DialogLayout(before, c.X, c.Y);
        ASSERT_EQ(1u, Log.Placed.count(dialog));
        EXPECT_EQ(SizeTaken(l.Width), Log.Placed[dialog].cx);
        EXPECT_EQ(SizeTaken(l.Height), Log.Placed[dialog].cy);
        int i = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != NULL;
             child = GetWindow(child, GW_HWNDNEXT), ++i)
        {
            SCOPED_TRACE("child " + std::to_string(i));
            ASSERT_LT(i, 3);
            ASSERT_EQ(1u, Log.Placed.count(child));
            const WINDOWPOS &pos = Log.Placed[child];
            const Placement p = ChildPlacement(before, before.Children[i], c.X, c.Y, i == 1);
            EXPECT_EQ(PlaceTaken(p.X), pos.x);
            EXPECT_EQ(PlaceTaken(p.Y), pos.y);
            EXPECT_EQ(SizeTaken(p.W), pos.cx);
            EXPECT_EQ(SizeTaken(p.H), pos.cy);
        }
        EXPECT_EQ(3, i);
        EXPECT_EQ("hostile", WindowText(dialog));
    }
}

// -------------------------------------------------------- right to left

// The extended styles of each dialog and its controls without a
// right-to-left language, then with one, and what the dialog's style was
// when its first control was created.
struct Mirroring
{
    DialogShot Plain;
    DialogShot Mirrored;
    LONG DialogStyleAtFirstChild = 0;
    size_t ChildrenCreated = 0;
};

TEST_F(LocalizeRtl, DirectionEntryAndModuleMirrorEveryDialog)
{
    enum Source { DirectionEntry, LanguageModuleRtl, LeftToRight };
    const char *const names[] = {"direction entry", "language module", "no right-to-left"};
    for (int source = DirectionEntry; source <= LeftToRight; ++source)
    {
        for (const RealDialog &d : RealDialogs)
        {
            SCOPED_TRACE(std::string(names[source]) + ", " + d.Name);
            UnloadLanguage();
            LanguageModule.FreeLangModule();
            Mirroring m;
            m.Plain = ShootReal(d);
            ASSERT_EQ(0, m.Plain.ExStyle & WS_EX_LAYOUTRTL);

            if (source == DirectionEntry)
            {
                LanguageText lang;
                lang.AddRightToLeft();
                lang.Load();
            }
            else if (source == LanguageModuleRtl)
            {
                ASSERT_TRUE(CopyFileA((TestDir() + "vmzlng_rtl_fixture.dll").c_str(),
                                      ModulePath.c_str(), FALSE));
                LanguageModule.LoadLangModule(GetModuleHandleA(NULL));
                ASSERT_TRUE(LanguageModule.Loaded);
            }
            else
            {
                LanguageText lang;
                lang.Add("LTR", "LTR", "LTR");
                lang.Load();
            }
            LanguageTable.DetectTextDirection();
            ASSERT_EQ(source != LeftToRight, LanguageTable.Rtl);

            // The module's dialogs are not the ones under test: these come
            // from the program's own resources.
            m.Mirrored = ShootReal(d);
            for (const WindowLog::Creation &c : Log.Created)
            {
                if (c.Parent != m.Mirrored.Window)
                    continue;
                if (m.ChildrenCreated++ == 0)
                    m.DialogStyleAtFirstChild = c.ParentExStyle;
            }
            ASSERT_EQ(m.Plain.Children.size(), m.ChildrenCreated);
            ASSERT_EQ(m.Plain.Children.size(), m.Mirrored.Children.size());

            const LONG rtl = source != LeftToRight ? WS_EX_LAYOUTRTL : 0;
            EXPECT_EQ(m.Plain.ExStyle | rtl, m.Mirrored.ExStyle) << "every other style kept";
            EXPECT_EQ(m.Plain.ExStyle | rtl, m.DialogStyleAtFirstChild)
                << "mirrored before its controls existed";
            for (size_t i = 0; i < m.Plain.Children.size(); ++i)
                EXPECT_EQ(m.Plain.Children[i].ExStyle | rtl, m.Mirrored.Children[i].ExStyle)
                    << "control " << m.Plain.Children[i].Id << " created mirrored";
            LanguageModule.FreeLangModule();
            DeleteFileA(ModulePath.c_str());
        }
    }
}

TEST_F(LocalizeRtl, KeepsEveryOtherExtendedStyle)
{
    const DWORD styles[] = {
        0,
        WS_EX_TOOLWINDOW,
        WS_EX_ACCEPTFILES | WS_EX_CONTEXTHELP | WS_EX_CONTROLPARENT,
        WS_EX_TRANSPARENT | WS_EX_APPWINDOW | WS_EX_STATICEDGE,
    };
    for (DWORD exStyle : styles)
    {
        LONG windowStyle[2] = {0, 0};
        LONG dialogStyle[2] = {0, 0};
        LONG childStyle[2] = {0, 0};
        for (int rtl = 0; rtl < 2; ++rtl)
        {
            SCOPED_TRACE(std::string(rtl ? "right to left" : "left to right") + ", style " +
                         std::to_string(exStyle));
            UnloadLanguage();
            if (rtl)
            {
                LanguageText lang;
                lang.AddRightToLeft();
                lang.Load();
                LanguageTable.DetectTextDirection();
            }
            ASSERT_EQ(rtl != 0, LanguageTable.Rtl);
            HWND window = CreateWindowExA(exStyle, "STATIC", "plain", WS_POPUP, 0, 0, 50, 50,
                                          NULL, NULL, GetModuleHandleA(NULL), NULL);
            ASSERT_TRUE(window != NULL);
            const LONG plain = GetWindowLongA(window, GWL_EXSTYLE);
            ApplyRtlLayout(window);
            windowStyle[rtl] = GetWindowLongA(window, GWL_EXSTYLE);
            EXPECT_EQ(plain | (rtl ? WS_EX_LAYOUTRTL : 0), windowStyle[rtl]);
            Close(window);

            // The same through a dialog's frame, before its controls exist.
            DialogTemplate t(L"styled", exStyle);
            t.Add(0x82, SS_LEFT, L"child", 10, 10, 80, 10);
            const DialogShot shot = ShootTemplate(t);
            ASSERT_EQ(1u, shot.Children.size());
            dialogStyle[rtl] = shot.ExStyle;
            childStyle[rtl] = shot.Children[0].ExStyle;
        }
        SCOPED_TRACE("style " + std::to_string(exStyle));
        EXPECT_EQ(exStyle, (DWORD)windowStyle[0] & exStyle);
        EXPECT_EQ(exStyle, (DWORD)dialogStyle[0] & exStyle);
        EXPECT_EQ(0, dialogStyle[0] & WS_EX_LAYOUTRTL);
        EXPECT_EQ(dialogStyle[0] | WS_EX_LAYOUTRTL, dialogStyle[1]);
        EXPECT_EQ(0, childStyle[0] & WS_EX_LAYOUTRTL);
        EXPECT_EQ(childStyle[0] | WS_EX_LAYOUTRTL, childStyle[1]);
    }
}

}  // namespace
