#include "dialogs/dialogs.h"

#include "dialogs/help.h"
#include "lang/localize.h"
#include "res/resource.h"

const char SetupHelpTopic[] = "HELPIntegrationSettings";
const char ContextItemsHelpTopic[] = "HELPContextItems";

void DialogFrameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM,
                     const char *helpTopic, const char *resourceName)
{
    switch (message)
    {
    case WM_SETFONT:
        // The dialog manager sends WM_SETFONT to a dialog with a font before
        // it creates the controls, so they are created mirrored too.
        ApplyRtlLayout(dialog);
        break;
    case WM_INITDIALOG:
        LocalizeDialog(resourceName, dialog);
        break;
    case WM_HELP:
        if (helpTopic != NULL)
            ShowHelp(dialog, helpTopic, false);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_HELPBUTTON && helpTopic != NULL)
            ShowHelp(dialog, helpTopic, false);
        break;
    default:
        break;
    }
}

void EnableDlgItem(HWND dialog, int id, bool on)
{
    EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
}
