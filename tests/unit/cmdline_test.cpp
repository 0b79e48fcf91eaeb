// The silent switch of sfxcmd, the command-line switches and the run mode
// they choose, as one table; the handler sees each switch in line order.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "setup/cmdline.h"
#include "setup/program.h"

namespace {

class Recorder : public SwitchHandler
{
public:
    void OnSwitch(SwitchKind kind) { Seen += "SQWNO"[kind]; }
    std::string Seen;   // S setup, Q quiet (silent), W wait, N notice (warning), O other
};

struct StartupCase
{
    const char *sfxcmd;
    const char *commandLine;
    bool silent;
    bool setup;
    int switchCount;
    RunMode mode;
    const char *seen;
};

TEST(CmdLine, SwitchTable)
{
    const StartupCase cases[] = {
        {NULL, "", false, false, 0, ModeUninstall, ""},
        {"", "/s", true, false, 0, ModeUninstall, "Q"},
        {"", "-S", true, false, 0, ModeUninstall, "Q"},
        {"", "/s2", true, false, 0, ModeUninstall, "Q"},
        {"", "/s\t", true, false, 0, ModeUninstall, "Q"},
        {"", "/setup", false, true, 1, ModeSetup, "S"},
        {"", "-Setup", false, true, 1, ModeSetup, "S"},
        {"", "/SETUPX", false, true, 1, ModeSetup, "S"},
        {"", "/setup /s", true, true, 1, ModeSetup, "SQ"},
        {"", "/s /setup", true, true, 1, ModeSetup, "QS"},
        {"", "/silent", false, false, 1, ModeNone, "O"},
        {"", "/Sx", false, false, 1, ModeNone, "O"},
        {"", "/s/x", true, false, 1, ModeNone, "QO"},
        {"", "/s-", true, false, 1, ModeNone, "QO"},
        {"", "/wait", false, false, 1, ModeNone, "W"},
        {"", "/WAITING", false, false, 1, ModeNone, "W"},
        {"", "/wait /warning", false, false, 2, ModeNone, "WN"},
        {"", "-Warning", false, false, 1, ModeNone, "N"},
        {"", "/warn", false, false, 1, ModeNone, "O"},
        {"", "/clean", false, false, 1, ModeNone, "O"},
        {"", "my-files", false, false, 1, ModeNone, "O"},
        {"", "\"C:\\my-files\"", false, false, 1, ModeNone, "O"},
        {"", "C:\\a/b-c", false, false, 2, ModeNone, "OO"},
        {"", "//", false, false, 2, ModeNone, "OO"},
        {"", "/", false, false, 1, ModeNone, "O"},
        {"", "plain words", false, false, 0, ModeUninstall, ""},
        {"", "/setup /wait /warning /clean", false, true, 4, ModeSetup, "SWNO"},
        {"-sfx", "", false, false, 0, ModeUninstall, ""},
        {"x -s y", "", true, false, 0, ModeUninstall, ""},
        {"/S", "", true, false, 0, ModeUninstall, ""},
        {"-s", "/setup", true, true, 1, ModeSetup, "S"},
        {"--s", "", true, false, 0, ModeUninstall, ""},
        {"-", "", false, false, 0, ModeUninstall, ""},
        {"s", "", false, false, 0, ModeUninstall, ""},
        {"-S1", "", true, false, 0, ModeUninstall, ""},
        {"-s", "/clean", true, false, 1, ModeNone, "O"},
    };
    for (const StartupCase &c : cases)
    {
        Recorder rec;
        StartupChoice got = ScanStartup(c.sfxcmd, c.commandLine, &rec);
        const std::string row = std::string("sfxcmd \"") + (c.sfxcmd ? c.sfxcmd : "(none)") +
                                "\", command line \"" + c.commandLine + "\"";
        EXPECT_EQ(c.silent, got.SilentMode) << row;
        EXPECT_EQ(c.setup, got.SetupRequested) << row;
        EXPECT_EQ(c.switchCount, got.SwitchCount) << row;
        EXPECT_EQ(c.mode, got.Mode) << row;
        EXPECT_EQ(c.seen, rec.Seen) << row;
    }
}

TEST(CmdLine, NullHandlerAndNullLine)
{
    StartupChoice got = ScanStartup(NULL, NULL, NULL);
    EXPECT_EQ(ModeUninstall, got.Mode);
    got = ScanStartup("-s", "/setup", NULL);
    EXPECT_EQ(ModeSetup, got.Mode);
    EXPECT_TRUE(got.SilentMode);
}

TEST(CmdLine, SwitchAtTheVeryEndReadsNothingBeyond)
{
    // The buffer ends right after '/', '-s' or '-S' with its terminator;
    // bytes beyond would make a letter or a switch.
    const char line[] = "/s\0x/setup";
    Recorder rec;
    StartupChoice got = ScanStartup("-s\0x", line, &rec);
    EXPECT_TRUE(got.SilentMode);
    EXPECT_EQ(0, got.SwitchCount);
    EXPECT_EQ("Q", rec.Seen);
}

TEST(CmdLine, LongCommandLine)
{
    std::string line;
    for (int i = 0; i < 4000; ++i)
        line += "/s ";
    line += "-x";
    Recorder rec;
    StartupChoice got = ScanStartup(NULL, line.c_str(), &rec);
    EXPECT_TRUE(got.SilentMode);
    EXPECT_EQ(1, got.SwitchCount);
    EXPECT_EQ(4001u, rec.Seen.size());
}

// sfxcmd is read into 1024 characters: a value of 1023 characters is used,
// one of 1024 or more is not.
TEST(CmdLine, SfxcmdLengthLimit)
{
    char value[1024];
    std::string fits(1021, 'x');
    fits += "-s";
    ASSERT_EQ(1023u, fits.size());
    SetEnvironmentVariableA("sfxcmd", fits.c_str());
    memset(value, 'Z', sizeof(value));
    ReadSfxcmd(value, sizeof(value));
    EXPECT_EQ(fits, std::string(value));
    EXPECT_TRUE(ScanStartup(value, "", NULL).SilentMode);

    std::string tooLong(1022, 'x');
    tooLong += "-s";
    SetEnvironmentVariableA("sfxcmd", tooLong.c_str());
    memset(value, 'Z', sizeof(value));
    ReadSfxcmd(value, sizeof(value));
    EXPECT_STREQ("", value);
    EXPECT_FALSE(ScanStartup(value, "", NULL).SilentMode);

    SetEnvironmentVariableA("sfxcmd", NULL);
    memset(value, 'Z', sizeof(value));
    ReadSfxcmd(value, sizeof(value));
    EXPECT_STREQ("", value);
}

} // namespace
