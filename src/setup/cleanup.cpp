#include "setup/cleanup.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "integration/apply.h"
#include "integration/associations.h"
#include "integration/settings.h"
#include "integration/shellext.h"
#include "integration/shortcuts.h"
#include "platform/registry.h"

void RemoveIntegration()
{
    IntegrationSettings none;
    memset(&none, 0, sizeof(none));

    // The backups below the product key give the extensions back; the
    // product key goes last.
    ApplyAssociations(&none);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, NULL, NULL);
    SetShellExtension(true, &none);
    UpdateShortcuts(&none, NULL);

    DeleteRegTree(HKEY_CLASSES_ROOT, "Velmor");
    DeleteRegTree(HKEY_CLASSES_ROOT, "Velmor.ZIP");
    DeleteRegTree(HKEY_CLASSES_ROOT, "Velmor.REV");
    DeleteRegTree(HKEY_CLASSES_ROOT, ".rev");
    DeleteRegKey(HKEY_LOCAL_MACHINE,
                 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmor archiver");
    DeleteRegKey(HKEY_LOCAL_MACHINE,
                 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Velmor.exe");
    DeleteRegTree(HKEY_CURRENT_USER, "");
}
