#include "dialogs/dialogs.h"

#include "lang/messages.h"
#include "platform/registry.h"
#include "res/resource.h"

// Velmor's context menu reads these; this program only stores them.
static const char MenuItemsKey[] = "Setup\\MenuItems";

struct ContextMenuItem
{
    int CheckBoxId;
    const char *ValueName;
    DWORD Default;
};

static const ContextMenuItem ContextMenuItems[] = {
    {IDC_ITEM_FIRST + 0, "ExtrTo", 1},    {IDC_ITEM_FIRST + 1, "ExtrHere", 1},
    {IDC_ITEM_FIRST + 2, "Extr", 1},      {IDC_ITEM_FIRST + 3, "ExtrSep", 1},
    {IDC_ITEM_FIRST + 4, "OpenSFX", 1},   {IDC_ITEM_FIRST + 5, "AddTo", 1},
    {IDC_ITEM_FIRST + 6, "AddArc", 1},    {IDC_ITEM_FIRST + 7, "EmailArc", 1},
    {IDC_ITEM_FIRST + 8, "EmailOpt", 1},  {IDC_ITEM_FIRST + 9, "Test", 0},
    {IDC_ITEM_FIRST + 10, "Convert", 0},
};

static const int ContextMenuItemCount =
    (int)(sizeof(ContextMenuItems) / sizeof(ContextMenuItems[0]));

INT_PTR ShowContextItemsDialog(HWND owner)
{
    return DialogBoxParamA(ResourceInstance, "CONTEXTITEMS", owner, ContextItemsDlgProc, 0);
}

INT_PTR CALLBACK ContextItemsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogFrameProc(dialog, message, wParam, lParam, ContextItemsHelpTopic, "CONTEXTITEMS");
    switch (message)
    {
    case WM_HELP:
        // Answered here, so that F1 does not reach the setup dialog behind
        // and open its page too.
        return TRUE;
    case WM_INITDIALOG:
        for (int i = 0; i < ContextMenuItemCount; i++)
        {
            const ContextMenuItem &item = ContextMenuItems[i];
            DWORD shown = GetProductDword(MenuItemsKey, item.ValueName, item.Default);
            CheckDlgButton(dialog, item.CheckBoxId, shown != 0 ? BST_CHECKED : BST_UNCHECKED);
        }
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:
            // All eleven, changed or not: Velmor's menu reads no defaults.
            for (int i = 0; i < ContextMenuItemCount; i++)
            {
                const ContextMenuItem &item = ContextMenuItems[i];
                SetProductDword(MenuItemsKey, item.ValueName,
                                IsDlgButtonChecked(dialog, item.CheckBoxId) == BST_CHECKED ? 1 : 0);
            }
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;   // Help (9) was handled by the frame
        }
    default:
        return FALSE;
    }
}
