// HTML Help for the dialogs: hhctrl.ocx is loaded on the first request
// and the help windows are closed when the program ends.
#ifndef VELMOR_DIALOGS_HELP_H
#define VELMOR_DIALOGS_HELP_H

#include <windows.h>

// Opens velmor.chm beside the program at its contents (no topic) or at
// html/<topic>.htm; with close set, closes every help window and frees
// the help control instead.
void ShowHelp(HWND owner, const char *topic, bool close);

// Its one static instance closes the help system at program exit.
class UnloadHelpSystem
{
public:
    UnloadHelpSystem() {}
    ~UnloadHelpSystem() { ShowHelp(NULL, NULL, true); }
    UnloadHelpSystem(const UnloadHelpSystem &) = delete;
    UnloadHelpSystem &operator=(const UnloadHelpSystem &) = delete;
};

#endif
