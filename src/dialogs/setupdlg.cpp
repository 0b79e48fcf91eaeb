#include "dialogs/dialogs.h"

#include <richedit.h>
#include <string.h>

#include "integration/apply.h"
#include "res/resource.h"
#include "setup/program.h"

// The option boxes 5115..5120 hold slots 20..25 in this order.
static unsigned char *OptionSlot(IntegrationSettings *settings, int index)
{
    unsigned char *slots[6] = {&settings->Desktop,  &settings->StartMenu,
                               &settings->Programs, &settings->ShellExt,
                               &settings->CascadedMenu, &settings->MenuIcons};
    return slots[index];
}

static const int OptionCount = IDC_MENUICONS - IDC_DESKTOP + 1;

void ReadSettingsFromDialog(HWND dialog, IntegrationSettings *settings)
{
    for (int row = 0; row < ArchiveTypeCount; row++)
        settings->Associate[row] =
            IsDlgButtonChecked(dialog, IDC_TYPE_FIRST + row) == BST_CHECKED ? 1 : 0;
    for (int i = 0; i < OptionCount; i++)
        *OptionSlot(settings, i) =
            IsDlgButtonChecked(dialog, IDC_DESKTOP + i) == BST_CHECKED ? 1 : 0;
}

void ShowSettingsInDialog(HWND dialog, const IntegrationSettings *settings)
{
    IntegrationSettings shown = *settings;
    for (int row = 0; row < ArchiveTypeCount; row++)
        CheckDlgButton(dialog, IDC_TYPE_FIRST + row,
                       shown.Associate[row] ? BST_CHECKED : BST_UNCHECKED);
    for (int i = 0; i < OptionCount; i++)
        CheckDlgButton(dialog, IDC_DESKTOP + i,
                       *OptionSlot(&shown, i) ? BST_CHECKED : BST_UNCHECKED);
    // The menu options mean nothing without the shell extension; they keep
    // their marks so that turning it on again brings them back as they were.
    EnableDlgItem(dialog, IDC_CASCADED, shown.ShellExt != 0);
    EnableDlgItem(dialog, IDC_MENUICONS, shown.ShellExt != 0);
}

void CheckAllArchiveTypes(HWND dialog)
{
    for (int id = IDC_TYPE_FIRST; id <= IDC_TYPE_LAST; id++)
        CheckDlgButton(dialog, id, BST_CHECKED);
}

// Stores what the dialog shows, applies it and writes the uninstall entry.
// A failed step shows nothing: the dialog ends with success all the same.
static void ConfirmSetup(HWND dialog)
{
    IntegrationSettings settings;
    memset(&settings, 0, sizeof(settings));
    ReadSettingsFromDialog(dialog, &settings);
    SaveSettings(&settings);
    ApplyIntegration(&settings, ProgramGroupFolder);
    RegisterUninstallEntry();
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogFrameProc(dialog, message, wParam, lParam, SetupHelpTopic, "SETUPDLG");
    if (message == WM_INITDIALOG)
    {
        IntegrationSettings settings;
        memset(&settings, 0, sizeof(settings));
        LoadSettings(&settings);
        ShowSettingsInDialog(dialog, &settings);
        SetForegroundWindow(dialog);
        SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)AppIcon);
        SendDlgItemMessageA(dialog, IDC_EXPLANATION, EM_SETBKGNDCOLOR, 0,
                            (LPARAM)GetSysColor(COLOR_BTNFACE));
        // Silent setup applies the stored or default choices unasked.
        if (SilentMode)
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam))
    {
    case IDOK:
        ConfirmSetup(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_SHELLEXT:
    {
        // A round trip through a record keeps every mark and sets the
        // enabled state of the menu options from the shell integration box.
        IntegrationSettings settings;
        memset(&settings, 0, sizeof(settings));
        ReadSettingsFromDialog(dialog, &settings);
        ShowSettingsInDialog(dialog, &settings);
        break;
    }
    case IDC_SELECTALL:
        CheckAllArchiveTypes(dialog);
        break;
    case IDC_CONTEXTITEMS:
        ShowContextItemsDialog(dialog);
        break;
    default:
        break;   // Help (9) was handled by the frame
    }
    return TRUE;
}
