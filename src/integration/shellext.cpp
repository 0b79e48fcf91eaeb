#include "integration/shellext.h"

#include <windows.h>

#include "lang/format.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "platform/registry.h"

const char ShellExtClassId32[] = "{7A3C1E52-4D21-4B7E-8F6A-C03B9D4E2A17}";
const char ShellExtClassId64[] = "{7A3C1E52-4D64-4B7E-8F6A-C03B9D4E2A17}";
const char ApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

static const char RegisteredApplicationsKey[] = "Software\\RegisteredApplications";
static const char CapabilitiesKey[] = "Software\\Velmor\\Capabilities";
static const char FileAssociationsKey[] = "Software\\Velmor\\Capabilities\\FileAssociations";

// Handler entries, written and removed in this order. Those up to
// LastOwnHandler are keys of the product (named by the class id, empty
// default value, or the drop handler whose value is the class id) and go
// on removal; the later ones lie below the shell's own keys, are named by
// the handler name and only lose their value.
struct HandlerEntry
{
    const char *Key;
    bool ValueIsClassId;
};

static const HandlerEntry Handlers[] = {
    {"Velmor\\shellex\\ContextMenuHandlers\\%s", false},
    {"Velmor\\shellex\\PropertySheetHandlers\\%s", false},
    {"Velmor.ZIP\\shellex\\ContextMenuHandlers\\%s", false},
    {"Velmor.ZIP\\shellex\\PropertySheetHandlers\\%s", false},
    {"exefile\\shellex\\PropertySheetHandlers\\%s", false},
    {"Velmor\\shellex\\DropHandler", true},
    {"Velmor.ZIP\\shellex\\DropHandler", true},
    {"*\\shellex\\ContextMenuHandlers\\%s", true},
    {"Folder\\shellex\\ContextMenuHandlers\\%s", true},
    {"Folder\\shellex\\DragDropHandlers\\%s", true},
    {"Drive\\shellex\\DragDropHandlers\\%s", true},
    {"Directory\\shellex\\ContextMenuHandlers\\%s", true},
    {"Directory\\shellex\\DragDropHandlers\\%s", true},
};
const int HandlerCount = sizeof(Handlers) / sizeof(Handlers[0]);
const int LastOwnHandler = 6;         // index of entry 7
const int FirstNamedHandler = 7;      // entries 8..13 take the handler name

const unsigned KeyBufferSize = 1024;

// The key name with its one "%s" filled in, in buffer; NULL when it would
// not fit whole, so that no cut name ever reaches the registry.
static const char *FormatKey(char *buffer, const char *format, const char *arg)
{
    return FormatMessageText1(buffer, KeyBufferSize, format, arg) ? buffer : NULL;
}

static void RegisterClass(const char *classId, const char *modulePath)
{
    char key[KeyBufferSize];
    if (FormatKey(key, "CLSID\\%s", classId) != NULL)
        SetRegString(HKEY_CLASSES_ROOT, key, "", "Velmor");
    if (FormatKey(key, "CLSID\\%s\\InProcServer32", classId) != NULL)
    {
        SetRegString(HKEY_CLASSES_ROOT, key, "", modulePath);
        SetRegString(HKEY_CLASSES_ROOT, key, "ThreadingModel", "Apartment");
    }
}

void SetShellExtModule(bool enable, const char *moduleName, const char *classId, bool view64,
                       const char *handlerName)
{
    char key[KeyBufferSize];
    if (enable)
    {
        char modulePath[1024];
        // A module path that does not fit is never cut into another name.
        if (GetProgramPath(modulePath, sizeof(modulePath)) &&
            BuildPathBesideProgram(modulePath, sizeof(modulePath), modulePath, moduleName) &&
            GetFileAttributesA(modulePath) != INVALID_FILE_ATTRIBUTES)
        {
            if (view64)
                SetRegView64(true);
            RegisterClass(classId, modulePath);
            if (view64)
                SetRegView64(false);
        }
        for (int i = 0; i < HandlerCount; ++i)
        {
            const char *name = i >= FirstNamedHandler ? handlerName : classId;
            if (FormatKey(key, Handlers[i].Key, name) != NULL)
                SetRegString(HKEY_CLASSES_ROOT, key, "", Handlers[i].ValueIsClassId ? classId : "");
        }
        SetRegString(HKEY_LOCAL_MACHINE, ApprovedKey, classId, "Velmor shell extension");
        return;
    }

    // The class keys of the 64-bit module lie in the 64-bit view; deleting
    // them there too leaves no registration that points to a deleted file.
    if (view64)
        SetRegView64(true);
    if (FormatKey(key, "CLSID\\%s\\InProcServer32", classId) != NULL)
        DeleteRegKey(HKEY_CLASSES_ROOT, key);
    if (FormatKey(key, "CLSID\\%s", classId) != NULL)
        DeleteRegKey(HKEY_CLASSES_ROOT, key);
    if (view64)
        SetRegView64(false);
    for (int i = 0; i <= LastOwnHandler; ++i)
        if (FormatKey(key, Handlers[i].Key, classId) != NULL)
            DeleteRegKey(HKEY_CLASSES_ROOT, key);
    for (int i = FirstNamedHandler; i < HandlerCount; ++i)
        if (FormatKey(key, Handlers[i].Key, handlerName) != NULL)
            DeleteRegValue(HKEY_CLASSES_ROOT, key, "");
    DeleteRegValue(HKEY_LOCAL_MACHINE, ApprovedKey, classId);
}

typedef BOOL(WINAPI *IsWow64Function)(HANDLE, PBOOL);

enum { Wow64Undecided, Wow64No, Wow64Yes };
static int Wow64Answer = Wow64Undecided;

bool IsWow64()
{
    if (Wow64Answer == Wow64Undecided)
    {
        HMODULE kernel = GetModuleHandleA("kernel32");
        IsWow64Function isWow64Process =
            kernel != NULL ? (IsWow64Function)(void *)GetProcAddress(kernel, "IsWow64Process")
                           : NULL;
        BOOL wow64 = FALSE;
        if (isWow64Process != NULL && isWow64Process(GetCurrentProcess(), &wow64))
            Wow64Answer = wow64 ? Wow64Yes : Wow64No;
    }
    return Wow64Answer == Wow64Yes;
}

void SetShellExtension(bool remove, const IntegrationSettings *settings)
{
    bool enable = settings->ShellExt != 0;
    bool wow64 = IsWow64();
    SetShellExtModule(enable, "vmzext.dll", ShellExtClassId32, false, wow64 ? "Velmor32" : "Velmor");
    if (wow64)
        SetShellExtModule(enable, "vmzext64.dll", ShellExtClassId64, true, "Velmor");

    if (NtVersion() < 6)
        return;
    if (remove)
    {
        DeleteRegValue(HKEY_LOCAL_MACHINE, RegisteredApplicationsKey, "Velmor");
        DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Velmor");
        return;
    }
    SetRegString(HKEY_LOCAL_MACHINE, RegisteredApplicationsKey, "Velmor", CapabilitiesKey);
    SetRegString(HKEY_LOCAL_MACHINE, CapabilitiesKey, "ApplicationDescription", "Velmor");
    for (int row = 0; row < ArchiveTypeCount; ++row)
    {
        const char *cursor = ArchiveTypeTable[row].Extensions;
        char extension[32];
        while (NextExtension(&cursor, extension, sizeof(extension)))
            SetRegString(HKEY_LOCAL_MACHINE, FileAssociationsKey, extension,
                         row == ZipRow ? "Velmor.ZIP" : "Velmor");
    }
}
