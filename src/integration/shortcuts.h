// Velmor's shortcuts: on the desktop, in the Start menu, and the program
// group with the archiver, its help file and its console manual.
#ifndef VELMOR_INTEGRATION_SHORTCUTS_H
#define VELMOR_INTEGRATION_SHORTCUTS_H

#include "integration/settings.h"

enum { ShortcutPathSize = 1024 };

// Creates the shortcuts whose slot (Desktop, StartMenu, Programs) is on and
// removes those whose slot is off, in every location this Windows family
// uses. With Programs on and groupFolder given (ShortcutPathSize bytes),
// groupFolder receives the program group folder: the all users' group on
// NT when it could be created, else the user's group. With Programs off
// groupFolder is not touched. COM must be initialised on this thread.
void UpdateShortcuts(const IntegrationSettings *settings, char *groupFolder);

// The same for a program file at programPath (the targets lie beside it).
void UpdateShortcutsFor(const char *programPath, const IntegrationSettings *settings,
                        char *groupFolder);

// Saves a shell link to target at linkPath, with the description when one
// is given; true when the link file was saved. A target or link path that
// the shell link cannot hold whole (MAX_PATH) is refused.
bool CreateShortcut(const char *target, const char *linkPath, const char *description);

// Deletes the folder with everything in it, for good; false when it did not
// exist or the shell's file operation failed.
bool DeleteFolderTree(const char *path);

#endif
