// The program's start-up, run modes and shutdown.
#ifndef VELMOR_SETUP_PROGRAM_H
#define VELMOR_SETUP_PROGRAM_H

#include <windows.h>

extern bool SilentMode;               // no questions, dialogs confirm themselves
extern HICON AppIcon;                 // product icon VMZICON
extern HFONT BoldFont;                // thank-you line of the completion dialog
extern char ProgramGroupFolder[1024]; // left by the shortcuts step of setup

enum { NoticeTextSize = 2048 };

// The text of the "warning" notice: 5105, a line feed, then 5106 with the
// program's path for its one "%s".
void BuildWarningNotice(char *dst, size_t size, const char *programPath);

// The value of the sfxcmd variable, or the empty text when it is missing
// or does not fit size characters with its terminator.
void ReadSfxcmd(char *value, DWORD size);

// Everything WinMain does; returns the process result, always 0.
int RunProgram(HINSTANCE instance, const char *commandLine);

// The two modes; each leaves its work to the dialogs and the uninstall
// procedure.
void RunSetupMode();
void RunUninstall();

#endif
