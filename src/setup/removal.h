// The text work of the uninstall procedure: reading lines of the list
// file, the entries it may act on, the self-removal batch file and the
// "Rename" section of wininit.ini. No system calls, so that it also builds
// natively.
#ifndef VELMOR_SETUP_REMOVAL_H
#define VELMOR_SETUP_REMOVAL_H

#include <stddef.h>
#include <stdio.h>

enum
{
    ListLineSize = 2048,      // a list line is read in pieces of at most 2047 bytes
    BatchTextSize = 40960     // the batch file's text with paths of 1023 bytes, '%' doubled
};

// Reads the next line of the list (up to LF, which is not stored) into
// line. Returns false at the end of the file when nothing was read. A line
// longer than size - 1 bytes, or one holding a zero byte, is read to its
// end but reported unusable (*usable false): a piece of a line names some
// other path than the installer wrote.
bool ReadListLine(FILE *list, char *line, size_t size, bool *usable);

// Whether a list entry stays inside the program folder when appended to
// it: no drive, stream or device (no ':' anywhere) and no component made
// of dots and blanks only with two dots or more (".." and the forms
// Windows shortens to it).
bool IsSafeListEntry(const char *entry);

// Copies path to dst at *length with every '%' doubled, since the command
// interpreter expands '%' even inside quotes. False when it does not fit
// (dst is then left terminated at the old length).
bool AppendBatchPath(char *dst, size_t size, size_t *length, const char *path);

// The whole text of the self-removal batch file, in the ANSI code page:
// line 1 runs the program with "/wait" (through "start /wait" on 9x), five
// tries to delete the program file and remove its folder, then the final
// notice and the batch file's own deletion. CR LF ends every line but the
// last. Returns the length, or 0 when it does not fit size bytes.
size_t BuildBatchText(char *dst, size_t size, const char *programPath,
                      const char *programFolder, const char *batchPath, bool nt);

// Adds "NUL=<name>" as a line of its own at the end of the section
// "[Rename]" of the text of wininit.ini (text, length bytes), making the
// section when there is none; every other line stays as it was. Writes
// the new text into out and returns its length, or 0 when it does not fit
// outSize bytes.
size_t AddRenameEntry(const char *text, size_t length, const char *name, char *out,
                      size_t outSize);

#endif
