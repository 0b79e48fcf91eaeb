// The program's static objects, in one place so that they are built in
// this order before WinMain and destroyed in the reverse order after it:
// the language table is freed first, then the language module, and last
// the help windows are closed.
#include "dialogs/help.h"
#include "lang/langtable.h"
#include "lang/messages.h"
#include "platform/fatal.h"
#include "platform/text.h"

UnloadHelpSystem HelpSystemCloser;
LeadByteInfo LeadByteTable;
ErrorState ProgramErrorState;
ExtResource LanguageModule;
LanguageResources LanguageTable;
