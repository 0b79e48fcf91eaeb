#include "setup/program.h"

#include <shellapi.h>

#include "dialogs/dialogs.h"
#include "lang/messages.h"

// Setup mode: the setup dialog, the completion dialog, then the program
// group folder that the apply sequence left.
void RunSetupMode()
{
    // Only a confirmed setup goes on: closed (0) or never shown (-1, as
    // without the rich edit class) means nothing was applied.
    if (DialogBoxParamA(ResourceInstance, "SETUPDLG", NULL, SetupDlgProc, 0) != 1)
        return;
    DialogBoxParamA(ResourceInstance, "DONEDLG", NULL, DoneDlgProc, 0);
    // The directory is an empty text, not NULL.
    if (ProgramGroupFolder[0] != 0 && !SilentMode)
        ShellExecuteA(NULL, "open", ProgramGroupFolder, NULL, "", SW_SHOWNORMAL);
}
