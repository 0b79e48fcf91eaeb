// Uninstall mode: the removal of the product's files, files in use, and
// the self-removal batch file.
#ifndef VELMOR_SETUP_UNINSTALL_H
#define VELMOR_SETUP_UNINSTALL_H

#include <windows.h>
#include <stdio.h>

enum { UninstallNameSize = 1024 };

extern const char UninstallListName[];   // "Uninstall.lst"
extern const char UninstallBatchName[];  // "Uninstall_Vmz.Bat"

// Runs the deletion passes over the list until a pass removes nothing and
// returns the number of passes. folder is the program folder with its
// final '\'; programName the name part of the program's own file, which
// is left to the batch file. Files in use are moved to a tmp name or
// scheduled; *restartNeeded is set when one could not be moved.
int RunDeletionPasses(FILE *list, const char *folder, const char *programName,
                      bool *restartNeeded);

// A file that exists but cannot be deleted: moved to the first free
// "<name>.<i>.tmp", which is deleted at the next restart; when the move
// fails, its own name is, and *restartNeeded is set.
void HandleFileInUse(const char *fullName, bool *restartNeeded);

// Deletion at the next restart: the system's pending operations on NT,
// a "NUL=" line of its own in the "Rename" section of wininit.ini on 9x.
// False when nothing could be scheduled.
bool ScheduleDeleteAtRestart(const char *name);

// Writes the batch file at batchPath, in the OEM code page that the
// command interpreter reads. False when it could not be written (then no
// file is left) or a path cannot be written in that code page.
bool WriteUninstallBatch(const char *batchPath, const char *programPath,
                         const char *programFolder);

// Starts the batch file through COMSPEC, hidden on NT, detached on 9x,
// from the parent of the current folder.
void StartUninstallBatch(const char *batchPath);

#endif
