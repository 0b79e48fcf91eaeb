// The apply sequence of setup mode and the Add/Remove Programs entry.
#ifndef VELMOR_INTEGRATION_APPLY_H
#define VELMOR_INTEGRATION_APPLY_H

#include "integration/settings.h"

extern const char UninstallKey[];    // HKLM ...\Uninstall\Velmor archiver

// App Paths, shell extension, associations, ProgIDs and shortcuts, in this
// order. Stops with false when the program may not write HKEY_LOCAL_MACHINE
// (nothing written then) or HKEY_CLASSES_ROOT (shortcuts left alone).
// groupFolder (1024 bytes) receives the program group folder, if one was
// created.
bool ApplyIntegration(const IntegrationSettings *settings, char *groupFolder);

// The uninstall entry naming this program, unquoted and without switches,
// as the uninstaller.
void RegisterUninstallEntry();

#endif
