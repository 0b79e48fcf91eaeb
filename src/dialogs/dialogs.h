// The dialogs of setup mode and the frame they share.
#ifndef VELMOR_DIALOGS_DIALOGS_H
#define VELMOR_DIALOGS_DIALOGS_H

#include <windows.h>

#endif
