#include "setup/program.h"

#include <ole2.h>
#include <shellapi.h>
#include <string.h>

#include "lang/format.h"
#include "lang/messages.h"
#include "platform/os.h"
#include "res/resource.h"
#include "setup/cmdline.h"

bool SilentMode = false;
HICON AppIcon = NULL;
HFONT BoldFont = NULL;
char ProgramGroupFolder[1024];

void BuildWarningNotice(char *dst, size_t size, const char *programPath)
{
    const char *done = GetMsg(IDS_UNINSTALL_DONE);
    const char *byHand = GetMsg(IDS_DELETE_BY_HAND);
    char second[NoticeTextSize];
    FormatMessageText1(second, sizeof(second), byHand, programPath);
    const char *parts[2] = {done, second};
    FormatMessageText(dst, size, "%s\n%s", parts, 2);
}

namespace {

// Acts on each switch the moment the scan meets it.
class SwitchActions : public SwitchHandler
{
public:
    void OnSwitch(SwitchKind kind)
    {
        if (kind == SwitchWait)
            Sleep(2000);
        else if (kind == SwitchWarning)
            ShowWarningNotice();
    }

private:
    static void ShowWarningNotice()
    {
        char path[1024];
        GetProgramPath(path, sizeof(path));
        char text[NoticeTextSize];
        BuildWarningNotice(text, sizeof(text), path);
        MessageBoxA(NULL, text, GetMsg(IDS_UNINSTALL_CAPTION),
                    MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
};

} // namespace

void ReadSfxcmd(char *value, DWORD size)
{
    memset(value, 0, size);
    DWORD n = GetEnvironmentVariableA("sfxcmd", value, size);
    if (n == 0 || n >= size)
        memset(value, 0, size);
}

int RunProgram(HINSTANCE instance, const char *commandLine)
{
    LanguageModule.LoadLangModule(instance);
    LoadLanguageFile("uninstall.lng");
    OleInitialize(NULL);
    // The setup dialog holds a "RICHEDIT" control.
    HMODULE richEdit = LoadLibraryA("riched32.dll");
    AppIcon = LoadIconA(ResourceInstance, "VMZICON");
    BoldFont = CreateFontA(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET,
                           0, 0, 0, 0, "MS Sans Serif");

    char sfxcmd[1024];
    ReadSfxcmd(sfxcmd, sizeof(sfxcmd));
    SwitchActions actions;
    StartupChoice choice = ScanStartup(sfxcmd, commandLine, &actions);
    SilentMode = choice.SilentMode;

    if (choice.Mode == ModeSetup)
        RunSetupMode();
    else if (choice.Mode == ModeUninstall)
        RunUninstall();

    if (richEdit != NULL)
        FreeLibrary(richEdit);
    OleUninitialize();
    if (BoldFont != NULL)
        DeleteObject(BoldFont);
    BoldFont = NULL;
    return 0;
}
