// Registration of the Explorer shell extension modules vmzext.dll (32-bit
// Explorer) and vmzext64.dll (64-bit Explorer) as in-process COM servers,
// their handler entries, and the product's Default Programs entries on
// Windows Vista and later.
#ifndef VELMOR_INTEGRATION_SHELLEXT_H
#define VELMOR_INTEGRATION_SHELLEXT_H

#include "integration/settings.h"

extern const char ShellExtClassId32[];   // class id of vmzext.dll
extern const char ShellExtClassId64[];   // class id of vmzext64.dll
extern const char ApprovedKey[];         // HKLM list of approved extensions

// Registers the modules when settings->ShellExt is set, else removes their
// registration (remove plays no part there). On Vista and later then writes
// the Default Programs entries, or removes them when remove is set.
void SetShellExtension(bool remove, const IntegrationSettings *settings);

// One module beside this program: class keys (only when the file exists;
// in the 64-bit registry view when view64 is set), handler entries and the
// Approved value, or their removal.
void SetShellExtModule(bool enable, const char *moduleName, const char *classId, bool view64,
                       const char *handlerName);

// True when this program runs under WOW64. The answer is kept once the
// system gave one; without IsWow64Process it is false.
bool IsWow64();

#endif
