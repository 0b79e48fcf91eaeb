// The dialogs of setup mode and the frame they share.
#ifndef VELMOR_DIALOGS_DIALOGS_H
#define VELMOR_DIALOGS_DIALOGS_H

#include <windows.h>

#include "integration/settings.h"

// Help topics of the dialogs, pages html/<topic>.htm in velmor.chm.
extern const char SetupHelpTopic[];          // "HELPIntegrationSettings"
extern const char ContextItemsHelpTopic[];   // "HELPContextItems"

// Every dialog procedure runs this first, for every message: right-to-left
// layout on WM_SETFONT (before the controls exist), translation on
// WM_INITDIALOG, and help on F1 or the Help button (id 9) when helpTopic is
// not NULL. The caller decides what its procedure returns.
void DialogFrameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                     const char *helpTopic, const char *resourceName);

void EnableDlgItem(HWND dialog, int id, bool on);

// SETUPDLG: ends with 1 after OK (choices stored and applied, uninstall
// entry written), 0 when closed. Confirms itself at once in silent mode.
INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Boxes 5101..5114 to slots 0..13, 5115..5120 to slots 20..25; the spare
// slots 14..19 keep what they hold.
void ReadSettingsFromDialog(HWND dialog, IntegrationSettings *settings);
// The reverse, then 5119 and 5120 enabled only while slot 23 (ShellExt) is on.
void ShowSettingsInDialog(HWND dialog, const IntegrationSettings *settings);
// Checks every archive type box; never clears one.
void CheckAllArchiveTypes(HWND dialog);

// CONTEXTITEMS, modal over owner; 1 after OK (all eleven values stored at
// once), 0 after Cancel (nothing stored).
INT_PTR ShowContextItemsDialog(HWND owner);
INT_PTR CALLBACK ContextItemsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// DONEDLG: ends with 1 by Finish or the close box; confirms itself in
// silent mode.
INT_PTR CALLBACK DoneDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
