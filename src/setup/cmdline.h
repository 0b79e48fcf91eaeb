// The silent switch of the sfxcmd variable and the switches of the command
// line, and the choice of run mode they lead to. Pure code.
#ifndef VELMOR_SETUP_CMDLINE_H
#define VELMOR_SETUP_CMDLINE_H

enum SwitchKind
{
    SwitchSetup,     // "setup...": setup mode
    SwitchSilent,    // 's' not followed by a letter: silent, not counted
    SwitchWait,      // "wait...": sleep 2 s (the batch file's delay)
    SwitchWarning,   // "warning...": the delete-by-hand notice
    SwitchOther      // anything else, "clean" included: no action
};

enum RunMode
{
    ModeNone,
    ModeSetup,
    ModeUninstall
};

// Classifies the text that follows a '/' or '-'; prefix comparisons
// without regard to ASCII case, in the order setup, s, wait, warning.
SwitchKind ClassifySwitch(const char *text);

// True when sfxcmd holds a '-' or '/' followed by 's' or 'S' that is not
// followed by a letter.
bool SfxcmdRequestsSilent(const char *sfxcmd);

// Receives each switch in command-line order, as the scan meets it, so
// that a sleep or a notice happens before anything later on the line.
class SwitchHandler
{
public:
    virtual void OnSwitch(SwitchKind kind) = 0;

protected:
    ~SwitchHandler() {}
};

struct StartupChoice
{
    bool SilentMode;
    bool SetupRequested;
    int SwitchCount;
    RunMode Mode;
};

// Scans sfxcmd (may be NULL) and the command line (the text after the
// program's name) and decides the run mode. Every '/' and '-' starts a
// switch wherever it stands, also inside a quoted name or a word.
StartupChoice ScanStartup(const char *sfxcmd, const char *commandLine,
                          SwitchHandler *handler);

#endif
