#include "setup/cmdline.h"

#include <stddef.h>

#include "platform/text.h"

SwitchKind ClassifySwitch(const char *text)
{
    if (StartsWithNoCase(text, "setup"))
        return SwitchSetup;
    if ((text[0] == 's' || text[0] == 'S') && !IsAsciiLetter(text[1]))
        return SwitchSilent;
    if (StartsWithNoCase(text, "wait"))
        return SwitchWait;
    if (StartsWithNoCase(text, "warning"))
        return SwitchWarning;
    return SwitchOther;
}

bool SfxcmdRequestsSilent(const char *sfxcmd)
{
    if (sfxcmd == NULL)
        return false;
    for (const char *p = sfxcmd; *p != 0; ++p)
    {
        // p[1] is tested before p[2] is read, so the scan never reads
        // beyond the terminator.
        if ((*p == '-' || *p == '/') && AsciiUpper(p[1]) == 'S' && !IsAsciiLetter(p[2]))
            return true;
    }
    return false;
}

StartupChoice ScanStartup(const char *sfxcmd, const char *commandLine,
                          SwitchHandler *handler)
{
    StartupChoice choice;
    choice.SilentMode = SfxcmdRequestsSilent(sfxcmd);
    choice.SetupRequested = false;
    choice.SwitchCount = 0;

    for (const char *p = commandLine != NULL ? commandLine : ""; *p != 0; ++p)
    {
        if (*p != '/' && *p != '-')
            continue;
        SwitchKind kind = ClassifySwitch(p + 1);
        if (kind == SwitchSetup)
            choice.SetupRequested = true;
        if (kind == SwitchSilent)
            choice.SilentMode = true;
        else
            ++choice.SwitchCount;
        if (handler != NULL)
            handler->OnSwitch(kind);
        // The next search starts at the byte after the '/' or '-'.
    }

    // "setup" counts as a switch, so the two modes never meet in one run.
    if (choice.SetupRequested)
        choice.Mode = ModeSetup;
    else if (choice.SwitchCount == 0)
        choice.Mode = ModeUninstall;
    else
        choice.Mode = ModeNone;
    return choice;
}
