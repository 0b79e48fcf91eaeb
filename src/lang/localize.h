// Translation of dialogs from the language table, and their text direction.
#ifndef VELMOR_LANG_LOCALIZE_H
#define VELMOR_LANG_LOCALIZE_H

#include <windows.h>

// Gives the window the right-to-left layout style when the language reads
// from right to left, keeping its other extended styles; otherwise leaves
// it unchanged. Called before a dialog's controls exist, so that they are
// created mirrored too.
void ApplyRtlLayout(HWND window);

// Translates the dialog's caption and the texts of its first 512 direct
// children, with the resource name as the context of every lookup; a
// control with an empty text keeps it. When the language file gives the
// dialog a scale entry ("X*Y" percentages), the dialog is resized in
// place and every one of those children moved and resized by the same
// factors. Runs once, on WM_INITDIALOG, before the dialog sets texts of
// its own.
void LocalizeDialog(const char *resourceName, HWND dialog);

#endif
