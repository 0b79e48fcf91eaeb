#include "dialogs/help.h"

#include "lang/format.h"
#include "lang/messages.h"
#include "platform/os.h"

typedef HWND(WINAPI *HtmlHelpAProc)(HWND, LPCSTR, UINT, DWORD_PTR);

enum
{
    HelpDisplayTopic = 0x0000,   // HH_DISPLAY_TOPIC
    HelpDisplayToc = 0x0001,     // HH_DISPLAY_TOC
    HelpCloseAll = 0x0012        // HH_CLOSE_ALL
};

static HMODULE HelpModule = NULL;
static HtmlHelpAProc HtmlHelpEntry = NULL;
static char HelpFilePath[1024];

void ShowHelp(HWND owner, const char *topic, bool close)
{
    if (close)
    {
        if (HtmlHelpEntry != NULL)
        {
            HtmlHelpEntry(NULL, NULL, HelpCloseAll, 0);
            FreeLibrary(HelpModule);
            HelpModule = NULL;
            HtmlHelpEntry = NULL;
        }
        return;
    }
    // A failed load is tried again on the next request.
    if (HelpModule == NULL)
        HelpModule = LoadLibraryA("hhctrl.ocx");
    if (HtmlHelpEntry == NULL && HelpModule != NULL)
    {
        HtmlHelpEntry = (HtmlHelpAProc)(void *)GetProcAddress(HelpModule, "HtmlHelpA");
        char program[1024];
        if (!GetProgramPath(program, sizeof(program)) ||
            !BuildPathBesideProgram(HelpFilePath, sizeof(HelpFilePath), program, "velmor.chm"))
            HelpFilePath[0] = 0;
    }
    if (HtmlHelpEntry == NULL)
        return;
    if (topic == NULL)
    {
        HtmlHelpEntry(owner, HelpFilePath, HelpDisplayToc, 0);
        return;
    }
    char address[1024 + 256];
    const char *parts[2] = {HelpFilePath, topic};
    if (!FormatMessageText(address, sizeof(address), "%s::/html/%s.htm", parts, 2))
        return;   // a cut address would name another page
    HtmlHelpEntry(owner, address, HelpDisplayTopic, 0);
}
