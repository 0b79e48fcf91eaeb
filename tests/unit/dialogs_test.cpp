// The dialogs of setup mode with their real templates, run modally in this
// process and driven through window messages from a thread timer, as a
// user's clicks and keys would reach them. The registry is a sandbox; the
// apply sequence that the setup dialog's OK runs writes shortcuts into the
// prefix's real folders, which the tests remove again.
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <richedit.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "dialogs/dialogs.h"
#include "dialogs/help.h"
#include "integration/settings.h"
#include "integration/shortcuts.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "res/resource.h"
#include "setup/program.h"
#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

// ------------------------------------------------------------------ driver

// Runs modal dialogs of this thread and feeds them steps from a thread
// timer. The steps run inside the dialog's own message loop, and inside the
// loop of any dialog that a step opens, one step per tick; a wait step is
// tried again on the next tick until its condition holds. A guard ends
// every dialog when a step never completes, so that a fault fails the test
// instead of hanging the run.
class DialogDriver
{
public:
    DialogDriver()
    {
        Current = this;
        Cbt = SetWindowsHookExA(WH_CBT, OnCbt, NULL, GetCurrentThreadId());
        CallWnd = SetWindowsHookExA(WH_CALLWNDPROC, OnCallWnd, NULL, GetCurrentThreadId());
    }

    ~DialogDriver()
    {
        if (Cbt != NULL)
            UnhookWindowsHookEx(Cbt);
        if (CallWnd != NULL)
            UnhookWindowsHookEx(CallWnd);
        Current = NULL;
    }

    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    // An action on the dialog in front; the next step follows on a later
    // tick, also while the action itself is still inside a dialog it opened.
    void Do(const std::string &what, std::function<void(HWND front)> action)
    {
        Steps.push_back(Step{what, std::move(action), nullptr});
    }

    void WaitUntil(const std::string &what, std::function<bool(HWND front)> condition)
    {
        Steps.push_back(Step{what, nullptr, std::move(condition)});
    }

    // Runs body (which opens the dialogs) with the steps fed to them.
    INT_PTR Run(std::function<INT_PTR()> body)
    {
        EXPECT_TRUE(Cbt != NULL && CallWnd != NULL) << "hooks not installed";
        Next = 0;
        StepSince = GetTickCount();
        UINT_PTR timer = SetTimer(NULL, 0, 10, OnTimer);
        EXPECT_NE(0u, timer);
        INT_PTR result = body();
        KillTimer(NULL, timer);
        EXPECT_FALSE(Aborted) << AbortReason;
        if (!Aborted && Next < Steps.size())
            ADD_FAILURE() << "the dialog ended before step " << Next + 1 << ": "
                          << Steps[Next].What;
        return result;
    }

    INT_PTR RunDialog(const char *resource, DLGPROC proc)
    {
        return Run([&] { return DialogBoxParamA(ResourceInstance, resource, NULL, proc, 0); });
    }

    // The newest dialog (or message box) of this thread still open.
    HWND Front() const
    {
        for (size_t i = Created.size(); i-- > 0;)
            if (IsWindow(Created[i]))
                return Created[i];
        return NULL;
    }

    int OpenCount() const
    {
        int n = 0;
        for (HWND w : Created)
            n += IsWindow(w) ? 1 : 0;
        return n;
    }

    std::vector<HWND> Created;      // every dialog window, in creation order
    std::set<HWND> Shown;           // windows that were ever made visible
    int TicksWithDialog = 0;        // timer ticks that found a dialog open

private:
    struct Step
    {
        std::string What;
        std::function<void(HWND)> Action;
        std::function<bool(HWND)> Condition;
    };

    void Tick()
    {
        if (Aborted)
            return;
        HWND front = Front();
        if (front != NULL)
            ++TicksWithDialog;
        if (Next < Steps.size())
        {
            Step &step = Steps[Next];
            if (step.Action)
            {
                ++Next;
                StepSince = GetTickCount();
                step.Action(front);
                return;
            }
            if (step.Condition(front))
            {
                ++Next;
                StepSince = GetTickCount();
                return;
            }
        }
        // A hang guard, not a measurement: a step that cannot complete, or
        // a dialog that stays after the last step, ends everything.
        if (GetTickCount() - StepSince > 20000)
        {
            Aborted = true;
            AbortReason = Next < Steps.size() ? "step never completed: " + Steps[Next].What
                                              : std::string("a dialog stayed open after the last step");
            for (size_t i = Created.size(); i-- > 0;)
                if (IsWindow(Created[i]))
                    EndDialog(Created[i], -2);
        }
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        if (Current != NULL)
            Current->Tick();
    }

    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND && Current != NULL)
        {
            char name[64] = "";
            GetClassNameA((HWND)wParam, name, sizeof(name));
            if (strcmp(name, "#32770") == 0)
                Current->Created.push_back((HWND)wParam);
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }

    static LRESULT CALLBACK OnCallWnd(int code, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT *m = (const CWPSTRUCT *)lParam;
        if (code == HC_ACTION && Current != NULL && m->message == WM_SHOWWINDOW && m->wParam)
            Current->Shown.insert(m->hwnd);
        return CallNextHookEx(NULL, code, wParam, lParam);
    }

    static DialogDriver *Current;
    HHOOK Cbt = NULL;
    HHOOK CallWnd = NULL;
    std::vector<Step> Steps;
    size_t Next = 0;
    DWORD StepSince = 0;
    bool Aborted = false;
    std::string AbortReason;
};

DialogDriver *DialogDriver::Current = NULL;

// ------------------------------------------------------------ small helpers

bool Checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

// A mouse click on a button: BM_CLICK presses and releases it, so an auto
// check box toggles and the dialog gets BN_CLICKED as from the user.
void Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    EXPECT_TRUE(button != NULL) << "no control " << id;
    SendMessageA(button, BM_CLICK, 0, 0);
}

// A key pressed in the dialog, through its message loop.
void PressKey(HWND dialog, WPARAM key)
{
    HWND focus = GetFocus();
    HWND target = focus != NULL && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// F1 on a control: its default handling hands WM_HELP on to the dialog,
// and from a dialog that does not answer it to the owner.
void PressF1On(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    EXPECT_TRUE(control != NULL) << "no control " << id;
    HELPINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = id;
    info.hItemHandle = control;
    GetCursorPos(&info.MousePos);
    SendMessageA(control, WM_HELP, 0, (LPARAM)&info);
}

std::string Caption(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return Utf8FromWide(text);
}

std::string ItemText(HWND dialog, int id)
{
    char text[2048] = "";
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

// The setup dialog's boxes in one line: the 14 type boxes, the six option
// boxes 5115..5120, and whether 5119 and 5120 are enabled.
std::string SetupBoxes(HWND dialog)
{
    std::string s = "types ";
    for (int id = IDC_TYPE_FIRST; id <= IDC_TYPE_LAST; ++id)
        s += Checked(dialog, id) ? '1' : '0';
    s += " options ";
    for (int id = IDC_DESKTOP; id <= IDC_MENUICONS; ++id)
        s += Checked(dialog, id) ? '1' : '0';
    s += " enabled ";
    s += Enabled(dialog, IDC_CASCADED) ? '1' : '0';
    s += Enabled(dialog, IDC_MENUICONS) ? '1' : '0';
    return s;
}

const char *const OptionNames[6] = {"Desktop", "StartMenu", "Programs",
                                    "ShellExt", "CascadedMenu", "MenuIcons"};

std::string OptionKey(int option)
{
    return option < 3 ? "Software\\Velmor\\Setup\\Links" : "Software\\Velmor\\Setup";
}

// "1", "0", or what else the value is.
std::string StoredDword(HKEY root, const std::string &path, const char *name)
{
    DWORD type = 0;
    std::string data;
    if (!ReadValue(root, path, name, &type, &data))
        return "<missing>";
    if (type != REG_DWORD || data.size() != 4)
        return "<type " + std::to_string(type) + ", " + std::to_string(data.size()) + " bytes>";
    return std::to_string(*(const DWORD *)data.data());
}

// The stored choices in the form of SetupBoxes, without the enabled part.
std::string StoredChoices(HKEY user)
{
    std::string s = "types ";
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        std::string v = StoredDword(user, std::string("Software\\Velmor\\") +
                                              ArchiveTypeTable[row].SettingsKey, "Set");
        s += v.size() == 1 ? v : "[" + v + "]";
    }
    s += " options ";
    for (int i = 0; i < 6; ++i)
    {
        std::string v = StoredDword(user, OptionKey(i), OptionNames[i]);
        s += v.size() == 1 ? v : "[" + v + "]";
    }
    return s;
}

void PutDword(HKEY root, const std::string &path, const char *name, DWORD value)
{
    PutValue(root, path, name, REG_DWORD, std::string((const char *)&value, 4));
}

bool Exists(const std::string &utf8Path)
{
    return GetFileAttributesW(WideFromUtf8(utf8Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int ShortcutsPresent()
{
    int present = 0;
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU,
                      CSIDL_COMMON_STARTMENU})
        present += Exists(ShellFolder(csidl) + "Velmor.lnk");
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
        present += Exists(ShellFolder(csidl) + "Velmor");
    return present;
}

// What the program's globals were, put back after each test.
struct ProgramState
{
    HINSTANCE Resources = ResourceInstance;
    HINSTANCE Exe = ExeInstance;
    bool Silent = SilentMode;
    ~ProgramState()
    {
        ResourceInstance = Resources;
        ExeInstance = Exe;
        SilentMode = Silent;
        ProgramGroupFolder[0] = 0;
    }
};

// The entry point's set-up for the dialogs: the program's own resources,
// COM for the shell links, the rich edit class of the setup dialog. Undoes
// whatever the OK path applied to the prefix's real folders.
class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResourceInstance = ExeInstance = GetModuleHandleA(NULL);
        SilentMode = false;
        ProgramGroupFolder[0] = 0;
        ComReady = SUCCEEDED(CoInitialize(NULL));
        ASSERT_TRUE(ComReady);
        RichEdit = LoadLibraryA("riched32.dll");
        ASSERT_TRUE(RichEdit != NULL);
        ASSERT_EQ(0, ShortcutsPresent()) << "shortcuts left by an earlier test";
    }

    void TearDown() override
    {
        IntegrationSettings zero;
        memset(&zero, 0, sizeof(zero));
        UpdateShortcuts(&zero, NULL);
        EXPECT_EQ(0, ShortcutsPresent());
        DeleteFileA((TestDir() + "vmznew.dat").c_str());
        DeleteFileA((TestDir() + "zipnew.dat").c_str());
        if (RichEdit != NULL)
            FreeLibrary(RichEdit);
        if (ComReady)
            CoUninitialize();
    }

    ProgramState Saved;
    HMODULE RichEdit = NULL;
    bool ComReady = false;
};

class DialogSetup : public DialogTest
{
};
class DialogSetupMode : public DialogTest
{
};
class DialogContextItems : public DialogTest
{
};
class DialogDone : public DialogTest
{
};

const char *const ItemNames[11] = {"ExtrTo",  "ExtrHere", "Extr",     "ExtrSep",
                                   "OpenSFX", "AddTo",    "AddArc",   "EmailArc",
                                   "EmailOpt", "Test",    "Convert"};
const char ItemsKey[] = "Software\\Velmor\\Setup\\MenuItems";

std::string ItemBoxes(HWND dialog)
{
    std::string s;
    for (int id = IDC_ITEM_FIRST; id <= IDC_ITEM_LAST; ++id)
        s += Checked(dialog, id) ? '1' : '0';
    return s;
}

// The eleven stored values in item order, "-" for a missing one.
std::string StoredItems(HKEY user)
{
    std::string s;
    for (const char *name : ItemNames)
    {
        std::string v = StoredDword(user, ItemsKey, name);
        s += v == "<missing>" ? "-" : v.size() == 1 ? v : "[" + v + "]";
    }
    return s;
}

// ------------------------------------------------------------ setup dialog

const char FirstRunOptions[] = " options 001101 enabled 11";

struct OwnerCase
{
    const char *Name;
    const char *Jar;   // default value of HKCR\.jar, NULL for no key
    const char *Iso;
    const char *ExpectedTypes;
};

const OwnerCase OwnerCases[] = {
    {"nobody owns .jar or .iso", NULL, NULL, "11111111111111"},
    {"another program owns .jar", "jarfile", NULL, "11111111111011"},
    {"another program owns .iso", NULL, "Other.ISO", "11111111111101"},
    {"other programs own both", "jarfile", "Other.ISO", "11111111111001"},
    {"Velmor owns both", "Velmor", "velmor.zip", "11111111111111"},
    {"keys with empty defaults", "", "", "11111111111111"},
};

TEST_F(DialogSetup, FirstRunState)
{
    for (const OwnerCase &c : OwnerCases)
    {
        SCOPED_TRACE(c.Name);
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        HKEY classes = sandbox.Scratch(HKEY_CLASSES_ROOT);
        if (c.Jar != NULL)
            PutString(classes, ".jar", "", c.Jar);
        if (c.Iso != NULL)
            PutString(classes, ".iso", "", c.Iso);
        std::string classesBefore = SnapshotKey(classes, "");

        DialogDriver driver;
        std::string shown;
        driver.Do("read the boxes and close", [&](HWND d) {
            shown = SetupBoxes(d);
            SendMessageA(d, WM_CLOSE, 0, 0);
        });
        INT_PTR result = driver.RunDialog("SETUPDLG", SetupDlgProc);

        EXPECT_EQ(0, result);
        ASSERT_EQ(1u, driver.Created.size());
        EXPECT_EQ(1u, driver.Shown.count(driver.Created[0])) << "shown when not silent";
        EXPECT_EQ(std::string("types ") + c.ExpectedTypes + FirstRunOptions, shown);
        EXPECT_EQ("", SnapshotKey(sandbox.Scratch(HKEY_CURRENT_USER), "Software"));
        EXPECT_EQ(classesBefore, SnapshotKey(classes, ""));
        EXPECT_EQ("", SnapshotKey(sandbox.Scratch(HKEY_LOCAL_MACHINE), "Software"));
    }
}

TEST_F(DialogSetup, ShellIntegrationOffDisablesMenuOptionsAndOkStoresThemAsShown)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
    DialogDriver driver;
    std::string beforeOk;
    driver.Do("check the cascaded menu", [&](HWND d) { Click(d, IDC_CASCADED); });
    driver.Do("clear shell integration", [&](HWND d) {
        EXPECT_EQ("types 11111111111111 options 001111 enabled 11", SetupBoxes(d));
        Click(d, IDC_SHELLEXT);
        EXPECT_EQ("types 11111111111111 options 001011 enabled 00", SetupBoxes(d))
            << "5119 and 5120 keep their marks, disabled";
    });
    driver.Do("set it and clear it again", [&](HWND d) {
        Click(d, IDC_SHELLEXT);
        EXPECT_EQ("types 11111111111111 options 001111 enabled 11", SetupBoxes(d));
        Click(d, IDC_SHELLEXT);
        Click(d, IDC_TYPE_FIRST + 3);   // ARJ off, to see the types stored too
        beforeOk = SetupBoxes(d);
        Click(d, IDOK);
    });
    INT_PTR result = driver.RunDialog("SETUPDLG", SetupDlgProc);

    EXPECT_EQ(1, result);
    EXPECT_EQ("types 11101111111111 options 001011 enabled 00", beforeOk);
    EXPECT_EQ("types 11101111111111 options 001011", StoredChoices(user));
    // Applied: the associations, no shell extension, the program group and
    // the uninstall entry.
    HKEY classes = sandbox.Scratch(HKEY_CLASSES_ROOT);
    HKEY machine = sandbox.Scratch(HKEY_LOCAL_MACHINE);
    EXPECT_EQ("Velmor", ReadString(classes, ".vmz", ""));
    EXPECT_EQ("<missing>", ReadString(classes, ".arj", ""));
    EXPECT_FALSE(KeyExists(classes, "*\\shellex\\ContextMenuHandlers\\Velmor"));
    EXPECT_EQ(ExpectedAnsi(5101),
              ReadString(machine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver",
                         "DisplayName"));
    EXPECT_NE("", std::string(ProgramGroupFolder));
    EXPECT_TRUE(Exists(Utf8FromAnsi(ProgramGroupFolder) + "\\Velmor.lnk"));
    // The context menu items were not asked for, so none are stored.
    EXPECT_FALSE(KeyExists(user, "Software\\Velmor\\Setup\\MenuItems"));
}

struct StoredCase
{
    const char *Name;
    DWORD Types[ArchiveTypeCount];
    DWORD Options[6];   // Desktop .. MenuIcons
    const char *Expected;
};

const StoredCase StoredCases[] = {
    {"shell integration off",
     {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 0, 1, 0, 1, 0},
     "types 11111111111111 options 001010 enabled 00"},
    {"shell integration off, every other box on",
     {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 0, 1, 1},
     "types 11111111111111 options 111011 enabled 00"},
    {"every box off",
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0},
     "types 00000000000000 options 000000 enabled 00"},
    {"mixed, stored 2 counts as on",
     {0, 1, 0, 2, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, {1, 0, 0, 2, 0, 1},
     "types 01010101010101 options 100101 enabled 11"},
};

void Seed(HKEY user, const StoredCase &c)
{
    for (int row = 0; row < ArchiveTypeCount; ++row)
        PutDword(user, std::string("Software\\Velmor\\") + ArchiveTypeTable[row].SettingsKey, "Set",
                 c.Types[row]);
    for (int i = 0; i < 6; ++i)
        PutDword(user, OptionKey(i), OptionNames[i], c.Options[i]);
}

TEST_F(DialogSetup, OpensWithTheStoredChoices)
{
    for (const StoredCase &c : StoredCases)
    {
        SCOPED_TRACE(c.Name);
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
        Seed(user, c);
        std::string before = SnapshotKey(user, "Software");
        DialogDriver driver;
        std::string shown;
        driver.Do("read the boxes and close", [&](HWND d) {
            shown = SetupBoxes(d);
            Click(d, IDC_TYPE_FIRST);   // a change that closing must not store
            SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(0, driver.RunDialog("SETUPDLG", SetupDlgProc));
        EXPECT_EQ(c.Expected, shown);
        EXPECT_EQ(before, SnapshotKey(user, "Software"));
    }
}

TEST_F(DialogSetup, SelectAllChecksTheTypesOnly)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
    Seed(user, StoredCases[3]);
    std::string before = SnapshotKey(user, "Software");
    DialogDriver driver;
    std::string once, twice;
    driver.Do("select all twice", [&](HWND d) {
        EXPECT_EQ("types 01010101010101 options 100101 enabled 11", SetupBoxes(d));
        Click(d, IDC_SELECTALL);
        once = SetupBoxes(d);
        Click(d, IDC_SELECTALL);
        twice = SetupBoxes(d);
    });
    driver.Do("select all with shell integration off", [&](HWND d) {
        Click(d, IDC_SHELLEXT);
        Click(d, IDC_TYPE_FIRST + 5);
        Click(d, IDC_SELECTALL);
        EXPECT_EQ("types 11111111111111 options 100001 enabled 00", SetupBoxes(d));
        SendMessageA(d, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(0, driver.RunDialog("SETUPDLG", SetupDlgProc));
    EXPECT_EQ("types 11111111111111 options 100101 enabled 11", once);
    EXPECT_EQ(once, twice);
    EXPECT_EQ(before, SnapshotKey(user, "Software"));
}

// The ways to close the setup dialog without OK.
struct CloseWay
{
    const char *Name;
    void (*Close)(HWND dialog);
};

const CloseWay CloseWays[] = {
    {"close box", [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); }},
    {"Escape", [](HWND d) { PressKey(d, VK_ESCAPE); }},
    {"IDCANCEL", [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); }},
};

TEST_F(DialogSetup, ClosingStoresNothingButTheContextItemsStay)
{
    for (const CloseWay &way : CloseWays)
    {
        SCOPED_TRACE(way.Name);
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
        DialogDriver driver;
        HWND setup = NULL;
        driver.Do("change boxes, open the context items", [&](HWND d) {
            setup = d;
            Click(d, IDC_TYPE_FIRST);
            Click(d, IDC_DESKTOP);
            Click(d, IDC_SHELLEXT);
            Click(d, IDC_CONTEXTITEMS);
        });
        driver.WaitUntil("the context items dialog", [&](HWND d) { return d != setup; });
        driver.Do("show Test and confirm", [&](HWND d) {
            EXPECT_EQ(setup, GetWindow(d, GW_OWNER)) << "owned by the setup dialog";
            EXPECT_FALSE(IsWindowEnabled(setup)) << "modal over the setup dialog";
            Click(d, IDC_ITEM_FIRST + 9);
            Click(d, IDOK);
        });
        driver.WaitUntil("back in the setup dialog", [&](HWND d) { return d == setup; });
        driver.Do("close it", [&](HWND d) {
            EXPECT_EQ("types 01111111111111 options 101001 enabled 00", SetupBoxes(d));
            way.Close(d);
        });
        EXPECT_EQ(0, driver.RunDialog("SETUPDLG", SetupDlgProc));
        EXPECT_EQ(2u, driver.Created.size());

        // Only the eleven items are stored.
        std::string stored = SnapshotKey(user, "Software\\Velmor");
        EXPECT_EQ(11, CountValues(stored)) << stored;
        EXPECT_EQ(11, CountValues(SnapshotKey(user, ItemsKey)));
        EXPECT_EQ("11111111110", StoredItems(user));
        EXPECT_EQ("", SnapshotKey(sandbox.Scratch(HKEY_LOCAL_MACHINE), "Software"));
        EXPECT_EQ("", SnapshotKey(sandbox.Scratch(HKEY_CLASSES_ROOT), ".vmz"));
        EXPECT_STREQ("", ProgramGroupFolder);
    }
}

TEST_F(DialogSetup, SilentModeConfirmsDuringInitialisation)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
    HKEY classes = sandbox.Scratch(HKEY_CLASSES_ROOT);
    PutString(classes, ".iso", "", "Other.ISO");
    SilentMode = true;
    DialogDriver driver;   // no steps: nobody touches the dialog
    INT_PTR result = driver.RunDialog("SETUPDLG", SetupDlgProc);

    EXPECT_EQ(1, result);
    ASSERT_EQ(1u, driver.Created.size());
    EXPECT_EQ(0u, driver.Shown.count(driver.Created[0])) << "never shown";
    EXPECT_EQ(0, driver.TicksWithDialog) << "no message loop ran while it was open";
    // The defaults, with the owner rule for .iso, stored and applied.
    EXPECT_EQ("types 11111111111101 options 001101", StoredChoices(user));
    EXPECT_EQ("Velmor", ReadString(classes, ".vmz", ""));
    EXPECT_EQ("Velmor.ZIP", ReadString(classes, ".zip", ""));
    EXPECT_EQ("Other.ISO", ReadString(classes, ".iso", ""));
    EXPECT_TRUE(KeyExists(classes, "*\\shellex\\ContextMenuHandlers\\Velmor"));
    EXPECT_EQ(ExpectedAnsi(5101),
              ReadString(sandbox.Scratch(HKEY_LOCAL_MACHINE),
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver",
                         "DisplayName"));
    std::string expectedGroup =
        ShellFolder(NtVersion() != 0 ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) + "Velmor";
    EXPECT_EQ(expectedGroup, Utf8FromAnsi(ProgramGroupFolder));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "Velmor.lnk"));
    EXPECT_FALSE(KeyExists(user, "Software\\Velmor\\Setup\\MenuItems"));
}

TEST_F(DialogSetup, ExplanationAndIcon)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    HICON icon = LoadIconA(ResourceInstance, "VMZICON");
    ASSERT_TRUE(icon != NULL);
    HICON savedIcon = AppIcon;
    AppIcon = icon;
    DialogDriver driver;
    driver.Do("look and close", [&](HWND d) {
        EXPECT_EQ((LRESULT)icon, SendMessageA(d, WM_GETICON, ICON_BIG, 0));
        char cls[64] = "";
        GetClassNameA(GetDlgItem(d, IDC_EXPLANATION), cls, sizeof(cls));
        EXPECT_STRCASEEQ("RichEdit", cls);
        // Setting the colour again returns the one set before.
        COLORREF before = (COLORREF)SendDlgItemMessageA(d, IDC_EXPLANATION, EM_SETBKGNDCOLOR, 0,
                                                        RGB(1, 2, 3));
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), before);
        EXPECT_EQ(Utf8FromAnsi(AnsiFromUtf8("Velmor 简体中文版安装")), Caption(d));
        SendMessageA(d, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(0, driver.RunDialog("SETUPDLG", SetupDlgProc));
    AppIcon = savedIcon;
}

// ------------------------------------------------------------- setup mode

TEST_F(DialogSetupMode, ClosedSetupDialogEndsSetup)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    DialogDriver driver;
    driver.Do("close", [&](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); });
    driver.Run([] { RunSetupMode(); return (INT_PTR)0; });
    ASSERT_EQ(1u, driver.Created.size()) << "no completion dialog after a cancelled setup";
    EXPECT_EQ("", SnapshotKey(sandbox.Scratch(HKEY_CURRENT_USER), "Software"));
}

TEST_F(DialogSetupMode, ConfirmedSetupShowsTheCompletionDialog)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    // No program group: nothing is opened after the completion dialog.
    PutDword(sandbox.Scratch(HKEY_CURRENT_USER), "Software\\Velmor\\Setup\\Links", "Programs", 0);
    DialogDriver driver;
    HWND setup = NULL;
    driver.Do("OK", [&](HWND d) {
        setup = d;
        Click(d, IDOK);
    });
    driver.WaitUntil("the completion dialog", [&](HWND d) { return d != NULL && d != setup; });
    driver.Do("Finish", [&](HWND d) {
        EXPECT_FALSE(IsWindow(setup)) << "the setup dialog has gone";
        EXPECT_TRUE(GetDlgItem(d, IDC_DONE_THANKS) != NULL) << "DONEDLG";
        Click(d, IDOK);
    });
    driver.Run([] { RunSetupMode(); return (INT_PTR)0; });
    EXPECT_EQ(2u, driver.Created.size());
    EXPECT_STREQ("", ProgramGroupFolder);
    EXPECT_EQ("Velmor", ReadString(sandbox.Scratch(HKEY_CLASSES_ROOT), ".vmz", ""));
}

TEST_F(DialogSetupMode, SilentRunsBothDialogsUnseen)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    SilentMode = true;
    DialogDriver driver;
    driver.Run([] { RunSetupMode(); return (INT_PTR)0; });
    ASSERT_EQ(2u, driver.Created.size());
    EXPECT_EQ(0u, driver.Shown.count(driver.Created[0])) << "setup dialog shown";
    EXPECT_EQ(0u, driver.Shown.count(driver.Created[1])) << "completion dialog shown";
    EXPECT_EQ(0, driver.TicksWithDialog);
    EXPECT_NE("", std::string(ProgramGroupFolder)) << "the group was made, but not opened";
}

// ---------------------------------------------------- context items dialog

TEST_F(DialogContextItems, DefaultsAndOkStoresAllEleven)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
    DialogDriver driver;
    std::string shown;
    driver.Do("OK unchanged", [&](HWND d) {
        shown = ItemBoxes(d);
        Click(d, IDOK);
    });
    EXPECT_EQ(1, driver.Run([] { return ShowContextItemsDialog(NULL); }));
    EXPECT_EQ("11111111100", shown);
    EXPECT_EQ("11111111100", StoredItems(user));
    std::string stored = SnapshotKey(user, "Software\\Velmor");
    EXPECT_EQ(11, CountValues(stored)) << "the items and nothing else:\n" << stored;
}

struct ItemCase
{
    const char *Name;
    const char *Seed;        // per item: '0', '1', '7' (stored 7), '-' (missing)
    const char *Shown;
    std::vector<int> Clicks;  // item boxes clicked before OK
    const char *Stored;
};

const ItemCase ItemCases[] = {
    {"all stored off", "00000000000", "00000000000", {}, "00000000000"},
    {"missing ones take their defaults", "0-0-0-0-0--", "01010101000", {}, "01010101000"},
    {"any non-zero value shows checked", "70000000007", "10000000001", {}, "10000000001"},
    {"clicks toggle", "11111111100", "11111111100", {101, 110, 111}, "01111111111"},
};

TEST_F(DialogContextItems, ShowsStoredValuesAndOkWritesTheBoxes)
{
    for (const ItemCase &c : ItemCases)
    {
        SCOPED_TRACE(c.Name);
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
        for (int i = 0; i < 11; ++i)
            if (c.Seed[i] != '-')
                PutDword(user, ItemsKey, ItemNames[i], (DWORD)(c.Seed[i] - '0'));
        DialogDriver driver;
        std::string shown;
        driver.Do("click and OK", [&](HWND d) {
            shown = ItemBoxes(d);
            for (int id : c.Clicks)
                Click(d, id);
            Click(d, IDOK);
        });
        EXPECT_EQ(1, driver.Run([] { return ShowContextItemsDialog(NULL); }));
        EXPECT_EQ(c.Shown, shown);
        EXPECT_EQ(c.Stored, StoredItems(user));
    }
}

TEST_F(DialogContextItems, CancelWritesNothing)
{
    for (const CloseWay &way : CloseWays)
    {
        SCOPED_TRACE(way.Name);
        RegistrySandbox sandbox;
        ASSERT_TRUE(sandbox.Ok());
        HKEY user = sandbox.Scratch(HKEY_CURRENT_USER);
        PutDword(user, ItemsKey, "Extr", 0);
        std::string before = SnapshotKey(user, "Software");
        DialogDriver driver;
        driver.Do("change and cancel", [&](HWND d) {
            EXPECT_EQ("11011111100", ItemBoxes(d));
            Click(d, IDC_ITEM_FIRST);
            Click(d, IDC_ITEM_FIRST + 2);
            way.Close(d);
        });
        EXPECT_EQ(0, driver.Run([] { return ShowContextItemsDialog(NULL); }));
        EXPECT_EQ(before, SnapshotKey(user, "Software"));
    }
    // The Cancel button itself.
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    DialogDriver driver;
    driver.Do("change and press Cancel", [&](HWND d) {
        Click(d, IDC_ITEM_FIRST + 10);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(0, driver.Run([] { return ShowContextItemsDialog(NULL); }));
    EXPECT_EQ("", SnapshotKey(sandbox.Scratch(HKEY_CURRENT_USER), "Software"));
}

// ------------------------------------------------------- completion dialog

// Processes of this prefix started from the given image path.
int RunningFrom(const std::string &imagePath)
{
    int n = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
    {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (process == NULL)
            continue;
        char path[MAX_PATH * 2];
        DWORD size = sizeof(path);
        if (QueryFullProcessImageNameA(process, 0, path, &size) &&
            lstrcmpiA(path, imagePath.c_str()) == 0)
            ++n;
        CloseHandle(process);
    }
    CloseHandle(snap);
    return n;
}

// The lines of the stand-ins' record in the folder.
std::vector<std::string> RecordLines(const std::string &folder)
{
    std::vector<std::string> lines;
    std::string text;
    if (!ReadFileBytes(folder + "record.txt", &text))
        return lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

// A scratch installation folder as the current directory: the stand-in
// archiver as Velmor.exe, the documents, and the stand-in OtherArc.exe as
// the sandbox's program for .txt, .htm and https addresses.
class InstallFolder
{
public:
    InstallFolder(const char *name, HKEY classes) : Scratch(name)
    {
        GetCurrentDirectoryA(sizeof(SavedCwd), SavedCwd);
        Velmor = Scratch.File("Velmor.exe");
        Other = Scratch.File("OtherArc.exe");
        Ok = CopyFileA((TestDir() + "Velmor.exe").c_str(), Velmor.c_str(), FALSE) &&
             CopyFileA((TestDir() + "OtherArc.exe").c_str(), Other.c_str(), FALSE) &&
             WriteFileBytes(Scratch.File("license.txt"), "licence\r\n") &&
             WriteFileBytes(Scratch.File("order.htm"), "<html></html>\r\n");
        std::string command = "\"" + Other + "\" \"%1\"";
        PutString(classes, ".txt", "", "VelmorTests.txt");
        PutString(classes, "VelmorTests.txt\\shell\\open\\command", "", command);
        PutString(classes, ".htm", "", "VelmorTests.htm");
        PutString(classes, "VelmorTests.htm\\shell\\open\\command", "", command);
        PutString(classes, "https", "", "URL:https");
        PutString(classes, "https", "URL Protocol", "");
        PutString(classes, "https\\shell\\open\\command", "", command);
        Ok = Ok && SetCurrentDirectoryA(Scratch.Path().c_str());
    }

    ~InstallFolder()
    {
        SetCurrentDirectoryA(SavedCwd);
        // A stand-in that is still ending keeps its file and, as its
        // current directory, the folder.
        for (int i = 0; i < 300; ++i)
        {
            DeleteTree(Scratch.Path());
            if (GetFileAttributesA(Scratch.Path().c_str()) == INVALID_FILE_ATTRIBUTES)
                break;
            Sleep(100);
        }
    }

    std::string Path() const { return Scratch.Path(); }
    ScratchDir Scratch;
    std::string Velmor, Other;
    char SavedCwd[MAX_PATH * 2] = "";
    bool Ok = false;
};

TEST_F(DialogDone, ShowsTheCurrentDirectoryAndEachButtonOpensItsTarget)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    std::string name = ExpectedCodePage() == 936 ? AnsiFromUtf8("安装 done") : "install done";
    InstallFolder folder(name.c_str(), sandbox.Scratch(HKEY_CLASSES_ROOT));
    ASSERT_TRUE(folder.Ok);
    const std::string dir = folder.Path();              // ANSI, ends in '\'
    const std::string dirUtf8 = Utf8FromAnsi(dir);
    const std::string other = "OtherArc.exe|\"" + dirUtf8 + "OtherArc.exe\" ";

    DialogDriver driver;
    HWND done = NULL;
    size_t expectLines = 0;
    auto press = [&](int id, const char *what) {
        driver.Do(std::string("press ") + what, [&, id](HWND d) {
            EXPECT_EQ(done, d) << "the dialog stays open";
            Click(d, id);
            ++expectLines;
        });
        driver.WaitUntil(std::string("record of ") + what, [&](HWND) {
            return RecordLines(dir).size() >= expectLines;
        });
    };
    driver.Do("read the folder", [&](HWND d) {
        done = d;
        EXPECT_EQ(dir.substr(0, dir.size() - 1), ItemText(d, IDC_DONE_FOLDER));
    });
    press(IDC_DONE_RUN, "run Velmor");
    press(IDC_DONE_RUN, "run Velmor again");
    press(IDC_DONE_LICENSE, "licence");
    press(IDC_DONE_ORDER, "order");
    press(IDC_DONE_HOMEPAGE, "home page");
    driver.Do("Finish", [&](HWND d) {
        EXPECT_EQ(done, d);
        Click(d, IDOK);
    });
    EXPECT_EQ(1, driver.RunDialog("DONEDLG", DoneDlgProc));

    std::vector<std::string> lines = RecordLines(dir);
    ASSERT_EQ(5u, lines.size());
    // Velmor twice, started by its path in the folder.
    EXPECT_EQ("Velmor.exe|\"" + dirUtf8 + "Velmor.exe\"", lines[0]);
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_EQ(other + "\"" + dirUtf8 + "license.txt\"", lines[2]);
    EXPECT_EQ(other + "\"" + dirUtf8 + "order.htm\"", lines[3]);
    EXPECT_EQ(other + "\"" + std::string(ExpectedStrings[11].text) + "\"", lines[4]);
}

// Removes a file that a stand-in may still hold while it ends.
void RemoveWhenFree(const std::string &path)
{
    for (int i = 0; i < 300 && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
    {
        if (!DeleteFileA(path.c_str()))
            Sleep(100);
    }
}

TEST_F(DialogDone, DriveRootGetsNoSecondBackslash)
{
    const std::string root = "C:\\";
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Velmor.exe")) << "not ours to use";
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\record.txt")) << "not ours to use";
    char savedCwd[MAX_PATH * 2] = "";
    GetCurrentDirectoryA(sizeof(savedCwd), savedCwd);
    ASSERT_TRUE(CopyFileA((TestDir() + "Velmor.exe").c_str(), "C:\\Velmor.exe", FALSE));
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    DialogDriver driver;
    std::string shown;
    driver.Do("read the folder, run Velmor", [&](HWND d) {
        shown = ItemText(d, IDC_DONE_FOLDER);
        Click(d, IDC_DONE_RUN);
    });
    driver.WaitUntil("its record", [&](HWND) { return !RecordLines(root).empty(); });
    driver.Do("Finish", [&](HWND d) { Click(d, IDOK); });
    INT_PTR result = driver.RunDialog("DONEDLG", DoneDlgProc);
    SetCurrentDirectoryA(savedCwd);
    std::vector<std::string> lines = RecordLines(root);
    RemoveWhenFree("C:\\Velmor.exe");
    RemoveWhenFree("C:\\record.txt");
    EXPECT_EQ(1, result);
    EXPECT_EQ(root, shown);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("Velmor.exe|\"C:\\Velmor.exe\"", lines[0]);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Velmor.exe"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\record.txt"));
}

TEST_F(DialogDone, FinishCloseBoxAndEscapeAllGiveOne)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    InstallFolder folder("close done", sandbox.Scratch(HKEY_CLASSES_ROOT));
    ASSERT_TRUE(folder.Ok);
    const CloseWay ways[] = {
        {"Finish", [](HWND d) { Click(d, IDOK); }},
        {"close box", [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); }},
        {"Escape", [](HWND d) { PressKey(d, VK_ESCAPE); }},
    };
    for (const CloseWay &way : ways)
    {
        SCOPED_TRACE(way.Name);
        DialogDriver driver;
        driver.Do("end", [&](HWND d) { way.Close(d); });
        EXPECT_EQ(1, driver.RunDialog("DONEDLG", DoneDlgProc));
    }
    // Nothing was started: no stand-in runs and none has recorded.
    {
        // The process look-up itself sees a stand-in that runs.
        STARTUPINFOA si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(CreateProcessA(folder.Other.c_str(), NULL, NULL, NULL, FALSE, CREATE_SUSPENDED,
                                   NULL, NULL, &si, &pi));
        EXPECT_EQ(1, RunningFrom(folder.Other));
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 30000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    EXPECT_EQ(0, RunningFrom(folder.Velmor));
    EXPECT_EQ(0, RunningFrom(folder.Other));
    EXPECT_TRUE(RecordLines(folder.Path()).empty());
}

TEST_F(DialogDone, SilentModeEndsDuringInitialisation)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    InstallFolder folder("silent done", sandbox.Scratch(HKEY_CLASSES_ROOT));
    ASSERT_TRUE(folder.Ok);
    SilentMode = true;
    DialogDriver driver;
    EXPECT_EQ(1, driver.RunDialog("DONEDLG", DoneDlgProc));
    ASSERT_EQ(1u, driver.Created.size());
    EXPECT_EQ(0u, driver.Shown.count(driver.Created[0]));
    EXPECT_EQ(0, driver.TicksWithDialog);
    EXPECT_EQ(0, RunningFrom(folder.Velmor));
    EXPECT_EQ(0, RunningFrom(folder.Other));
    EXPECT_TRUE(RecordLines(folder.Path()).empty());
}

TEST_F(DialogDone, BoldThanksAndIcon)
{
    HFONT savedFont = BoldFont;
    HICON savedIcon = AppIcon;
    BoldFont = CreateFontA(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET, 0, 0, 0, 0,
                           "MS Sans Serif");
    AppIcon = LoadIconA(ResourceInstance, "VMZICON");
    ASSERT_TRUE(BoldFont != NULL && AppIcon != NULL);
    DialogDriver driver;
    driver.Do("look and finish", [&](HWND d) {
        EXPECT_EQ((LRESULT)BoldFont, SendDlgItemMessageA(d, IDC_DONE_THANKS, WM_GETFONT, 0, 0));
        EXPECT_NE((LRESULT)BoldFont, SendDlgItemMessageA(d, IDC_DONE_PAID, WM_GETFONT, 0, 0));
        EXPECT_EQ((LRESULT)AppIcon, SendMessageA(d, WM_GETICON, ICON_BIG, 0));
        Click(d, IDOK);
    });
    EXPECT_EQ(1, driver.RunDialog("DONEDLG", DoneDlgProc));
    DeleteObject(BoldFont);
    BoldFont = savedFont;
    AppIcon = savedIcon;
}

// ------------------------------------------------------------------- help
//
// The help control stays loaded for the rest of a process once asked for,
// so each help test runs in a copy of this test program, in a folder of
// its own where the stand-in help control (helprecorder.dll, copied as
// hhctrl.ocx) records every HtmlHelpA call into a log, the one at exit
// included. Wine is told to take the native hhctrl.ocx only.

const char HelpProbeVariable[] = "VELMOR_HELP_PROBE_RESULT";

// Runs one DialogHelpChild test in a copy and gives the help log.
struct HelpRun
{
    TestCopyRun Run;
    std::string Folder;   // the copy's folder, ANSI, with '\'
    std::string Log;
    bool HasLog = false;
    bool OverrideGone = false;   // the load order key was removed again
};

HelpRun RunHelpChild(const char *testName, bool recorderBeside)
{
    HelpRun help;
    help.Folder = "C:\\velmor-help-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(GetTickCount()) + "\\";
    if (!CreateDirectoryA(help.Folder.c_str(), NULL))
        return help;
    std::string recorder = TestDir() + "helprecorder.dll";
    std::string staged = help.Folder + (recorderBeside ? "hhctrl.ocx" : "helprecorder.dll");
    std::string log = help.Folder + "help.log";
    if (CopyFileA(recorder.c_str(), staged.c_str(), FALSE))
    {
        // Wine prefers its own hhctrl.ocx; this program's copies take the
        // native one only. The copy's name is unique, and its key goes again.
        const std::string copyName = "help_tests_" + std::to_string(GetCurrentProcessId()) + ".exe";
        const std::string appDefaults = "Software\\Wine\\AppDefaults";
        const bool hadAppDefaults = KeyExists(HKEY_CURRENT_USER, appDefaults);
        const std::string appKey = appDefaults + "\\" + copyName;
        PutString(HKEY_CURRENT_USER, appKey + "\\DllOverrides", "hhctrl.ocx", "native");
        SetEnvironmentVariableA("VELMOR_HELP_LOG", log.c_str());
        help.Run = RunTestCopy(help.Folder + copyName, testName, HelpProbeVariable, help.Folder);
        SetEnvironmentVariableA("VELMOR_HELP_LOG", NULL);
        RegDeleteTreeA(HKEY_CURRENT_USER, (hadAppDefaults ? appKey : appDefaults).c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, (hadAppDefaults ? appKey : appDefaults).c_str());
        help.OverrideGone = !KeyExists(HKEY_CURRENT_USER, appKey) &&
                            KeyExists(HKEY_CURRENT_USER, appDefaults) == hadAppDefaults;
    }
    help.HasLog = ReadFileBytes(log, &help.Log);
    DeleteTree(help.Folder);
    return help;
}

// Where the help control of this process was loaded from.
std::string LoadedHelpControl()
{
    HMODULE module = GetModuleHandleA("hhctrl.ocx");
    char path[MAX_PATH * 2] = "";
    if (module == NULL || GetModuleFileNameA(module, path, sizeof(path)) == 0)
        return "<none>";
    return path;
}

// In a help child: the program's set-up for the dialogs, in a sandbox.
class DialogHelpChild : public DialogTest
{
protected:
    void SetUp() override
    {
        ResultFile = getenv(HelpProbeVariable) != NULL ? getenv(HelpProbeVariable) : "";
        if (ResultFile.empty())
            GTEST_SKIP() << "runs only in a copy started by a DialogHelp test";
        DialogTest::SetUp();
    }

    std::string ResultFile;
};

TEST_F(DialogHelpChild, Pages)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    std::string result;
    {
        DialogDriver driver;
        HWND setup = NULL;
        driver.Do("F1 in the setup dialog", [&](HWND d) {
            setup = d;
            PressF1On(d, IDC_TYPE_FIRST);
        });
        driver.Do("its Help button", [&](HWND d) { Click(d, IDC_HELPBUTTON); });
        driver.Do("open the context items", [&](HWND d) { Click(d, IDC_CONTEXTITEMS); });
        driver.WaitUntil("the context items dialog", [&](HWND d) { return d != setup; });
        driver.Do("F1 there", [&](HWND d) { PressF1On(d, IDC_ITEM_FIRST); });
        driver.Do("its Help button, then Cancel", [&](HWND d) {
            Click(d, IDC_HELPBUTTON);
            Click(d, IDCANCEL);
        });
        driver.WaitUntil("back in the setup dialog", [&](HWND d) { return d == setup; });
        driver.Do("close", [&](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); });
        result += "setup " + std::to_string(driver.RunDialog("SETUPDLG", SetupDlgProc));
        result += " dialogs " + std::to_string(driver.Created.size());
    }
    {
        DialogDriver driver;
        driver.Do("F1 in the completion dialog", [&](HWND d) { PressF1On(d, IDC_DONE_RUN); });
        driver.Do("its help button", [&](HWND d) { Click(d, IDC_DONE_HELP); });
        driver.Do("Finish", [&](HWND d) { Click(d, IDOK); });
        result += " done " + std::to_string(driver.RunDialog("DONEDLG", DoneDlgProc));
        result += " dialogs " + std::to_string(driver.Created.size());
    }
    result += " control " + LoadedHelpControl();
    ASSERT_TRUE(WriteFileBytes(ResultFile, result));
}

TEST_F(DialogHelpChild, MissingControlThenPresent)
{
    RegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.Ok());
    std::string result;
    const std::string later = TestDir() + "helprecorder.dll";
    const std::string control = TestDir() + "hhctrl.ocx";
    DialogDriver driver;
    driver.Do("F1 and Help without the control", [&](HWND d) {
        PressF1On(d, IDC_TYPE_FIRST);
        Click(d, IDC_HELPBUTTON);
        result += "loaded " + std::to_string(GetModuleHandleA("hhctrl.ocx") != NULL);
    });
    driver.Do("the dialog still works", [&](HWND d) {
        result += " front " + std::to_string(d == driver.Created[0]);
        Click(d, IDC_SHELLEXT);
        result += " enabled " + std::to_string(Enabled(d, IDC_CASCADED));
        result += " copied " + std::to_string(CopyFileA(later.c_str(), control.c_str(), FALSE) != 0);
    });
    driver.Do("Help with the control in place", [&](HWND d) {
        Click(d, IDC_HELPBUTTON);
        result += " control " + LoadedHelpControl();
        SendMessageA(d, WM_CLOSE, 0, 0);
    });
    result += " setup " + std::to_string(driver.RunDialog("SETUPDLG", SetupDlgProc));
    result += " dialogs " + std::to_string(driver.Created.size());
    ASSERT_TRUE(WriteFileBytes(ResultFile, result));
}

std::string HelpFile(const std::string &folder)
{
    return Utf8FromAnsi(folder) + "velmor.chm";
}

TEST(DialogHelp, EachDialogOpensItsOwnPage)
{
    HelpRun help = RunHelpChild("DialogHelpChild.Pages", true);
    EXPECT_TRUE(help.OverrideGone);
    ASSERT_TRUE(help.Run.Started) << help.Run.Error;
    ASSERT_TRUE(help.Run.Ended) << help.Run.Output;
    EXPECT_EQ(0u, help.Run.ExitCode) << help.Run.Output;
    ASSERT_TRUE(help.Run.HasResult) << help.Run.Output;
    EXPECT_EQ("setup 0 dialogs 2 done 1 dialogs 1 control " + help.Folder + "hhctrl.ocx",
              help.Run.Result);
    ASSERT_TRUE(help.HasLog) << "the stand-in help control was not loaded:\n" << help.Run.Output;
    const std::string setup = Utf8FromAnsi(AnsiFromUtf8("Velmor 简体中文版安装"));
    const std::string items = Utf8FromAnsi(AnsiFromUtf8("关联菜单项目"));
    const std::string chm = HelpFile(help.Folder);
    const std::string setupPage = chm + "::/html/HELPIntegrationSettings.htm|0|0\n";
    const std::string itemsPage = chm + "::/html/HELPContextItems.htm|0|0\n";
    EXPECT_EQ(setup + "|" + setupPage +                  // F1 in the setup dialog
                  setup + "|" + setupPage +              // its Help button
                  items + "|" + itemsPage +              // F1 in the items dialog: its page only
                  items + "|" + itemsPage +              // its Help button
                  setup + "|" + chm + "|1|0\n" +         // completion dialog: contents; F1 nothing
                  "-|-|18|0\n",                          // every help window closed at exit
              help.Log);
}

TEST(DialogHelp, MissingControlShowsNothingAndIsTriedAgain)
{
    HelpRun help = RunHelpChild("DialogHelpChild.MissingControlThenPresent", false);
    EXPECT_TRUE(help.OverrideGone);
    ASSERT_TRUE(help.Run.Started) << help.Run.Error;
    ASSERT_TRUE(help.Run.Ended) << help.Run.Output;
    EXPECT_EQ(0u, help.Run.ExitCode) << help.Run.Output;
    ASSERT_TRUE(help.Run.HasResult) << help.Run.Output;
    // No message box (one dialog only), the boxes still answer, and the
    // control put in place later is loaded by the next request.
    EXPECT_EQ("loaded 0 front 1 enabled 0 copied 1 control " + help.Folder +
                  "hhctrl.ocx setup 0 dialogs 1",
              help.Run.Result);
    const std::string setup = Utf8FromAnsi(AnsiFromUtf8("Velmor 简体中文版安装"));
    EXPECT_EQ(setup + "|" + HelpFile(help.Folder) + "::/html/HELPIntegrationSettings.htm|0|0\n" +
                  "-|-|18|0\n",
              help.Log);
}

}  // namespace
