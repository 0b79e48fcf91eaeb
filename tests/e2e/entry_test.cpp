// The real uninstall.exe of this build, started with its switches and
// watched by the window robot.
#include <string.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "e2e/e2e_support.h"
#include "support/testutil.h"

namespace {

// Each test runs its own copy of the program from its own folder.
class Entry : public testing::Test
{
protected:
    Entry() : Dir(AnsiFromUtf8("e2e-\xe5\x8d\xb8\xe8\xbd\xbd").c_str()) {}   // e2e-卸载

    void SetUp() override
    {
        ExePath = Dir.File("uninstall.exe");
        ASSERT_TRUE(CopyFileA((TestDir() + "uninstall.exe").c_str(), ExePath.c_str(), FALSE))
            << "uninstall.exe missing from the test stage";
    }

    // Starts the program suspended, the robot on it, then lets it run.
    void Launch(const char *args, const std::wstring &robotArgs)
    {
        ASSERT_TRUE(Program.Start(WideFromUtf8(Utf8FromAnsi(ExePath)), WideFromUtf8(args),
                                  WideFromUtf8(Utf8FromAnsi(Dir.Path()))));
        ASSERT_TRUE(Bot.Start(L"--pid " + std::to_wstring(Program.Info.dwProcessId) + L" " +
                              robotArgs));
        Program.Resume();
    }

    ScratchDir Dir;
    std::string ExePath;
    Child Program;
    Robot Bot;
};

TEST_F(Entry, WaitSleepsAboutTwoSecondsAndEnds)
{
    Launch("/wait", L"--expect-none --timeout 20000");
    EXPECT_EQ(0u, Bot.Finish()) << Bot.Output;
    long ms = Program.WaitEnd(20000);
    ASSERT_GE(ms, 0) << "the program did not end";
    EXPECT_GE(ms, 1900);
    EXPECT_LT(ms, 15000);
    EXPECT_EQ(0u, Program.ExitCode());
    printf("/wait ran %ld ms\n", ms);
}

TEST_F(Entry, WaitWarningShowsNoticeAfterTheSleep)
{
    Launch("/wait /warning", L"--timeout 20000 --press \x786e\x5b9a");   // 确定
    ASSERT_EQ(0u, Bot.Finish()) << Bot.Output;
    printf("%s", Bot.Output.c_str());
    EXPECT_EQ("\xe5\x8d\xb8\xe8\xbd\xbd Velmor", Bot.Fields["caption"]);   // 卸载 Velmor
    // 卸载已完成 \n 你应该手动删除 <path>
    EXPECT_EQ("\xe5\x8d\xb8\xe8\xbd\xbd\xe5\xb7\xb2\xe5\xae\x8c\xe6\x88\x90\n"
              "\xe4\xbd\xa0\xe5\xba\x94\xe8\xaf\xa5\xe6\x89\x8b\xe5\x8a\xa8\xe5\x88\xa0\xe9\x99\xa4 " +
                  Utf8FromAnsi(ExePath),
              Bot.Fields["text"]);
    EXPECT_EQ("1", Bot.Fields["pressed"]);
    EXPECT_GE(atol(Bot.Fields["window"].c_str()), 1900) << "the notice came before the sleep ended";
    long ms = Program.WaitEnd(10000);
    EXPECT_GE(ms, 0) << "the program did not end after the notice was closed";
    EXPECT_EQ(0u, Program.ExitCode());
}

// A language module beside the program replaces the strings it holds (the
// caption, 5104) and leaves the others (5105, 5106) to the program.
TEST_F(Entry, NoticeTakesStringsFromLanguageModule)
{
    ASSERT_TRUE(CopyFileA((TestDir() + "vmzlng_fixture.dll").c_str(),
                          Dir.File("vmzlng.dll").c_str(), FALSE));
    Launch("/warning", L"--timeout 20000 --press #1");
    ASSERT_EQ(0u, Bot.Finish()) << Bot.Output;
    EXPECT_EQ("Remove Velmor (language module)", Bot.Fields["caption"]);
    EXPECT_EQ(0u, Bot.Fields["text"].rfind("\xe5\x8d\xb8\xe8\xbd\xbd\xe5\xb7\xb2\xe5\xae\x8c\xe6\x88\x90\n", 0))
        << Bot.Fields["text"];
    EXPECT_GE(Program.WaitEnd(10000), 0);
}

TEST_F(Entry, OtherSwitchesEndWithoutAnyMode)
{
    const char *const lines[] = {"/clean", "/silent", "/s/x", "my-files", "\"C:\\my-files\""};
    for (const char *line : lines)
    {
        SCOPED_TRACE(line);
        Child program;
        ASSERT_TRUE(program.Start(WideFromUtf8(Utf8FromAnsi(ExePath)), WideFromUtf8(line),
                                  WideFromUtf8(Utf8FromAnsi(Dir.Path()))));
        Robot bot;
        ASSERT_TRUE(bot.Start(L"--pid " + std::to_wstring(program.Info.dwProcessId) +
                              L" --expect-none --timeout 15000"));
        program.Resume();
        EXPECT_EQ(0u, bot.Finish()) << bot.Output;
        long ms = program.WaitEnd(15000);
        EXPECT_GE(ms, 0) << "did not end";
        EXPECT_LT(ms, 10000) << "ends promptly";
        printf("%s ended after %ld ms\n", line, ms);
        EXPECT_EQ(0u, program.ExitCode());
        // Nothing of the program's folder was touched.
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ExePath.c_str()));
    }
}

} // namespace
