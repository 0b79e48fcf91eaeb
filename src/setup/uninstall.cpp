#include "setup/uninstall.h"

#include <stdlib.h>
#include <string.h>

#include "lang/format.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "platform/text.h"
#include "res/resource.h"
#include "setup/cleanup.h"
#include "setup/program.h"
#include "setup/removal.h"

const char UninstallListName[] = "Uninstall.lst";
const char UninstallBatchName[] = "Uninstall_Vmz.Bat";

// The name with ".<i>.tmp" behind it; false when it does not fit.
static bool TmpName(char *dst, const char *fullName, int i)
{
    int n = _snprintf(dst, UninstallNameSize, "%s.%d.tmp", fullName, i);
    return n > 0 && n < UninstallNameSize;
}

// The wininit.ini of the Windows folder, with one more "NUL=" line.
static bool AddWininitLine(const char *shortName)
{
    char ini[UninstallNameSize];
    UINT n = GetWindowsDirectoryA(ini, sizeof(ini) - 16);
    if (n == 0 || n >= sizeof(ini) - 16)
        return false;
    AddEndSlash(ini);
    strcat(ini, "wininit.ini");

    // The file as it is now (none is fine); it is small, but any size is
    // taken whole, since every other line must stay.
    char *text = NULL;
    long length = 0;
    FILE *f = fopen(ini, "rb");
    if (f != NULL)
    {
        if (fseek(f, 0, SEEK_END) == 0 && (length = ftell(f)) > 0 && length < 0x1000000 &&
            fseek(f, 0, SEEK_SET) == 0)
        {
            text = (char *)malloc((size_t)length);
            if (text == NULL || fread(text, 1, (size_t)length, f) != (size_t)length)
                length = -1;
        }
        else if (length != 0)
            length = -1;
        fclose(f);
        if (length < 0)
        {
            free(text);
            return false;   // not read whole: never write back a part of it
        }
    }
    size_t outSize = (size_t)length + strlen(shortName) + 32;
    char *out = (char *)malloc(outSize);
    size_t outLength = out != NULL ? AddRenameEntry(text != NULL ? text : "", (size_t)length,
                                                    shortName, out, outSize)
                                   : 0;
    free(text);
    bool ok = false;
    if (outLength > 0 && (f = fopen(ini, "wb")) != NULL)
    {
        ok = fwrite(out, 1, outLength, f) == outLength;
        ok = fclose(f) == 0 && ok;
    }
    free(out);
    return ok;
}

bool ScheduleDeleteAtRestart(const char *name)
{
    if (NtVersion() != 0)
        return MoveFileExA(name, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    // 9x deletes the files before Windows starts, in DOS, by short names.
    char shortName[UninstallNameSize];
    DWORD n = GetShortPathNameA(name, shortName, sizeof(shortName));
    if (n >= sizeof(shortName))
        return false;   // a cut short name would name another file
    if (n == 0 && !CopyWhole(shortName, name, sizeof(shortName)))
        return false;
    return AddWininitLine(shortName);
}

void HandleFileInUse(const char *fullName, bool *restartNeeded)
{
    char tmp[UninstallNameSize];
    bool haveTmp = false;
    for (int i = 0; i < 1000; ++i)
    {
        if (!TmpName(tmp, fullName, i))
            break;
        haveTmp = true;
        if (GetFileAttributesA(tmp) == INVALID_FILE_ATTRIBUTES)
            break;
    }
    // With all 1000 names taken the last one is tried, and the move fails.
    if (haveTmp && MoveFileA(fullName, tmp))
    {
        ScheduleDeleteAtRestart(tmp);
        return;
    }
    ScheduleDeleteAtRestart(fullName);
    *restartNeeded = true;
}

int RunDeletionPasses(FILE *list, const char *folder, const char *programName,
                      bool *restartNeeded)
{
    int passes = 0;
    for (;;)
    {
        ++passes;
        int removedInPass = 0;
        rewind(list);
        char line[ListLineSize];
        bool usable;
        while (ReadListLine(list, line, sizeof(line), &usable))
        {
            TrimTrailingSpaces(line);
            if (!usable || line[0] == 0 || !IsSafeListEntry(line))
                continue;
            char fullName[UninstallNameSize];
            int n = _snprintf(fullName, sizeof(fullName), "%s%s", folder, line);
            if (n < 0 || n >= (int)sizeof(fullName))
                continue;   // a cut name would be another path
            DWORD attributes = GetFileAttributesA(fullName);
            SetFileAttributesA(fullName, 0);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            {
                if (RemoveDirectoryA(fullName))
                    ++removedInPass;
                continue;
            }
            if (DeleteFileA(fullName))
            {
                ++removedInPass;
                continue;
            }
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            // The program file and the list are left to the batch file and
            // to the end of the procedure.
            const char *name = PointToName(fullName);
            if (CompareNoCase(name, programName) == 0 || CompareNoCase(name, UninstallListName) == 0)
                continue;
            HandleFileInUse(fullName, restartNeeded);
        }
        if (removedInPass == 0)
            return passes;
    }
}

// A path as the batch file must hold it: its text in the OEM code page,
// or, when a letter has no OEM form, its short name when that has one.
static bool OemBatchPath(const char *path, char *oem, size_t size)
{
    char candidate[UninstallNameSize];
    if (!CopyWhole(candidate, path, sizeof(candidate)))
        return false;
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        size_t n = strlen(candidate);
        char back[UninstallNameSize];
        if (n < size && CharToOemBuffA(candidate, oem, (DWORD)n + 1) &&
            OemToCharBuffA(oem, back, (DWORD)n + 1) && strcmp(back, candidate) == 0)
            return true;
        DWORD s = GetShortPathNameA(path, candidate, sizeof(candidate));
        if (s == 0 || s >= sizeof(candidate))
            return false;
    }
    return false;
}

bool WriteUninstallBatch(const char *batchPath, const char *programPath,
                         const char *programFolder)
{
    FILE *f = fopen(batchPath, "wb");
    if (f == NULL)
        return false;
    // The paths go in the OEM code page, which cmd.exe reads; the batch
    // file exists now, so its own short name can be asked for too.
    static char text[BatchTextSize];
    char program[UninstallNameSize], folder[UninstallNameSize], batch[UninstallNameSize];
    size_t length = 0;
    if (OemBatchPath(programPath, program, sizeof(program)) &&
        OemBatchPath(programFolder, folder, sizeof(folder)) &&
        OemBatchPath(batchPath, batch, sizeof(batch)))
        length = BuildBatchText(text, sizeof(text), program, folder, batch, NtVersion() != 0);
    bool ok = length > 0 && fwrite(text, 1, length, f) == length;
    ok = fclose(f) == 0 && ok;
    if (!ok)
        DeleteFileA(batchPath);
    return ok;
}

void StartUninstallBatch(const char *batchPath)
{
    char comspec[UninstallNameSize];
    DWORD n = GetEnvironmentVariableA("COMSPEC", comspec, sizeof(comspec));
    if (n == 0 || n >= sizeof(comspec))
        comspec[0] = 0;
    char command[UninstallNameSize * 2 + 16];
    int c = _snprintf(command, sizeof(command), "%s /c \"%s\"", comspec, batchPath);
    if (c < 0 || c >= (int)sizeof(command))
        return;

    bool nt = NtVersion() != 0;
    STARTUPINFOA si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    HANDLE nul = INVALID_HANDLE_VALUE;
    if (nt)
    {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
    }
    else
    {
        si.dwFlags = STARTF_USESTDHANDLES;
        nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
        si.hStdInput = nul;
        si.hStdOutput = nul;
        si.hStdError = nul;
    }
    // Out of the program folder, so that the folder can go.
    SetCurrentDirectoryA("..");
    PROCESS_INFORMATION pi;
    if (CreateProcessA(NULL, command, NULL, NULL, TRUE, nt ? 0 : DETACHED_PROCESS, NULL, NULL,
                       &si, &pi))
    {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
}

static void ShowUninstallMessage(const char *text, UINT style)
{
    MessageBoxA(NULL, text, GetMsg(IDS_UNINSTALL_CAPTION), style | MB_SETFOREGROUND);
}

void RunUninstall()
{
    char programPath[UninstallNameSize];
    if (!GetProgramPath(programPath, sizeof(programPath)))
        return;
    char folder[UninstallNameSize];
    strcpy(folder, programPath);
    char *slash = strrchr(folder, '\\');
    if (slash == NULL)
        return;
    if (slash > folder && slash[-1] == ':')
        slash[1] = 0;   // a drive root keeps its '\'
    else
        *slash = 0;
    SetCurrentDirectoryA(folder);
    AddEndSlash(folder);

    if (!SilentMode &&
        MessageBoxA(NULL, GetMsg(IDS_CONFIRM_UNINSTALL), GetMsg(IDS_UNINSTALL_CAPTION),
                    MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
        return;

    FILE *list = fopen(UninstallListName, "rb");
    if (list == NULL)
    {
        char text[MsgBufferSize * 2];
        FormatMessageText1(text, sizeof(text), GetMsg(IDS_CANNOT_OPEN_LIST), UninstallListName);
        ShowUninstallMessage(text, MB_ICONERROR);
        return;
    }

    RemoveIntegration();
    LanguageModule.FreeLangModule();
    static const char *const helpIndexes[] = {"velmor.gid", "velmor.fts"};
    for (const char *index : helpIndexes)
    {
        SetFileAttributesA(index, 0);
        DeleteFileA(index);
    }

    bool restartNeeded = false;
    RunDeletionPasses(list, folder, PointToName(programPath), &restartNeeded);
    fclose(list);
    DeleteFileA(UninstallListName);

    if (restartNeeded)
        ShowUninstallMessage(GetMsg(IDS_RESTART_NEEDED), MB_ICONINFORMATION);

    char batchPath[UninstallNameSize];
    DWORD t = GetTempPathA(sizeof(batchPath), batchPath);
    if (t == 0 || t + sizeof(UninstallBatchName) > sizeof(batchPath))
        return;
    strcat(batchPath, UninstallBatchName);
    char current[UninstallNameSize];
    DWORD c = GetCurrentDirectoryA(sizeof(current), current);
    if (c == 0 || c >= sizeof(current))
        return;
    if (!WriteUninstallBatch(batchPath, programPath, current))
        return;
    StartUninstallBatch(batchPath);
}
