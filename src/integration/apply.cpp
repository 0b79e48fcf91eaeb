#include "integration/apply.h"

#include <windows.h>

#include "integration/associations.h"
#include "integration/registration.h"
#include "integration/shellext.h"
#include "integration/shortcuts.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "platform/registry.h"
#include "res/resource.h"

const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver";

bool ApplyIntegration(const IntegrationSettings *settings, char *groupFolder)
{
    if (!RegisterAppPath())
        return false;
    SetShellExtension(false, settings);
    ApplyAssociations(settings);
    if (!RegisterProgIds(NULL, NULL))
        return false;
    UpdateShortcuts(settings, groupFolder);
    return true;
}

void RegisterUninstallEntry()
{
    char programPath[1024];
    char icon[1024];
    // A cut path would name another program as the uninstaller.
    if (!GetProgramPath(programPath, sizeof(programPath)))
        return;
    SetRegString(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName", GetMsg(IDS_DISPLAY_NAME));
    SetRegString(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString", programPath);
    if (BuildPathBesideProgram(icon, sizeof(icon), programPath, "Velmor.exe"))
        SetRegString(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayIcon", icon);
    SetRegDword(HKEY_LOCAL_MACHINE, UninstallKey, "NoModify", 1);
    SetRegDword(HKEY_LOCAL_MACHINE, UninstallKey, "NoRepair", 1);
}
