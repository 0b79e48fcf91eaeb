#include "setup/program.h"

// Setup mode: the setup dialog, the completion dialog, then the program
// group folder. The dialogs are not part of the program yet, so setup mode
// changes nothing.
void RunSetupMode()
{
}
