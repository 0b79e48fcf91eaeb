// Translation of dialogs from the language table, and their text direction.
#ifndef VELMOR_LANG_LOCALIZE_H
#define VELMOR_LANG_LOCALIZE_H

#include <windows.h>

// Gives the window the right-to-left layout style when the language reads
// from right to left; otherwise leaves it unchanged.
void ApplyRtlLayout(HWND window);

// Translates the dialog's caption and control texts, with the resource name
// as the context of every lookup.
void LocalizeDialog(const char *resourceName, HWND dialog);

#endif
