#include "dialogs/dialogs.h"

#include <shellapi.h>

#include "dialogs/help.h"
#include "lang/messages.h"
#include "platform/text.h"
#include "res/resource.h"
#include "setup/program.h"

// The installer starts setup in the program folder, so the current
// directory, not this program's path, is where Velmor was installed.
static void GetInstallFolder(char *folder, DWORD size)
{
    DWORD n = GetCurrentDirectoryA(size, folder);
    if (n == 0 || n >= size)
        folder[0] = 0;   // a folder that does not fit is not shown cut
}

static void OpenTarget(const char *target)
{
    ShellExecuteA(NULL, "open", target, NULL, "", SW_SHOWNORMAL);
}

// Opens a document of the installation folder. An unknown folder opens
// nothing: a bare name would be looked for anywhere on the search path.
static void OpenInstalledFile(const char *name)
{
    char path[1024 + 64];
    GetInstallFolder(path, 1024);
    if (path[0] == 0)
        return;
    AddEndSlash(path);   // a drive root already ends in one
    if (!AppendWhole(path, name, sizeof(path)))
        return;
    OpenTarget(path);
}

INT_PTR CALLBACK DoneDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogFrameProc(dialog, message, wParam, lParam, NULL, "DONEDLG");
    if (message == WM_INITDIALOG)
    {
        SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)AppIcon);
        if (BoldFont != NULL)
            SendDlgItemMessageA(dialog, IDC_DONE_THANKS, WM_SETFONT, (WPARAM)BoldFont, 0);
        char folder[1024];
        GetInstallFolder(folder, sizeof(folder));
        SetDlgItemTextA(dialog, IDC_DONE_FOLDER, folder);
        if (SilentMode)
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam))
    {
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, 1);
        break;
    case IDC_DONE_RUN:
        OpenInstalledFile("Velmor.exe");
        break;
    case IDC_DONE_HELP:
        // No topic: the help file opens at its contents.
        ShowHelp(dialog, NULL, false);
        break;
    case IDC_DONE_LICENSE:
        OpenInstalledFile("license.txt");
        break;
    case IDC_DONE_ORDER:
        OpenInstalledFile("order.htm");
        break;
    case IDC_DONE_HOMEPAGE:
        OpenTarget(GetMsg(IDS_HOME_PAGE));
        break;
    default:
        break;
    }
    return TRUE;
}
