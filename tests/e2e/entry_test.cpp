// The real uninstall.exe of this build, started with its switches and
// watched by the window robot.
#include <string.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "support/testutil.h"

namespace {

// A child process started suspended; killed if the test leaves it running.
class Child
{
public:
    Child() { ZeroMemory(&Info, sizeof(Info)); }
    ~Child()
    {
        if (Info.hProcess != NULL)
        {
            if (WaitForSingleObject(Info.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(Info.hProcess, 99);
            CloseHandle(Info.hProcess);
            CloseHandle(Info.hThread);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool Start(const std::wstring &exe, const std::wstring &args, const std::wstring &dir)
    {
        std::wstring line = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
        STARTUPINFOW si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        if (!CreateProcessW(exe.c_str(), &line[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL,
                            dir.c_str(), &si, &Info))
            return false;
        StartTick = GetTickCount();
        return true;
    }

    void Resume()
    {
        StartTick = GetTickCount();
        ResumeThread(Info.hThread);
    }

    // Milliseconds from Resume to the end, or -1 when it did not end in time.
    long WaitEnd(DWORD timeout)
    {
        if (WaitForSingleObject(Info.hProcess, timeout) != WAIT_OBJECT_0)
            return -1;
        return (long)(GetTickCount() - StartTick);
    }

    DWORD ExitCode()
    {
        DWORD code = 0xDEADBEEF;
        GetExitCodeProcess(Info.hProcess, &code);
        return code;
    }

    PROCESS_INFORMATION Info;
    DWORD StartTick = 0;
};

// Runs the robot with its output on a pipe. Start() returns after the
// robot's first line ("watching: ..."), so the program under test can be
// resumed then.
class Robot
{
public:
    ~Robot()
    {
        if (Read != NULL)
            CloseHandle(Read);
    }

    bool Start(const std::wstring &args)
    {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
        HANDLE write = NULL;
        if (!CreatePipe(&Read, &write, &sa, 0))
            return false;
        SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si;
        ZeroMemory(&si, sizeof(si));
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = write;
        si.hStdError = write;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring exe = WideFromUtf8(TestDir()) + L"robot.exe";
        std::wstring line = L"\"" + exe + L"\" " + args;
        bool ok = CreateProcessW(exe.c_str(), &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &si,
                                 &Proc.Info) != 0;
        CloseHandle(write);
        if (!ok)
            return false;
        return ReadLine().rfind("watching:", 0) == 0;
    }

    // Waits for the robot to end; its report lines become Fields.
    DWORD Finish(DWORD timeout = 60000)
    {
        for (std::string line; !(line = ReadLine()).empty();)
        {
            size_t colon = line.find(": ");
            if (colon != std::string::npos && line.compare(0, 8, "control:") != 0)
                Fields[line.substr(0, colon)] = Unescape(line.substr(colon + 2));
            Output += line + "\n";
        }
        if (Proc.WaitEnd(timeout) < 0)
            return 0xDEADBEEF;
        return Proc.ExitCode();
    }

    std::map<std::string, std::string> Fields;
    std::string Output;

private:
    std::string ReadLine()
    {
        std::string line;
        char c;
        DWORD n;
        while (ReadFile(Read, &c, 1, &n, NULL) && n == 1)
        {
            if (c == '\n')
                return line.empty() ? std::string(" ") : line;
            if (c != '\r')
                line += c;
        }
        return line;
    }

    static std::string Unescape(const std::string &s)
    {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i)
        {
            if (s[i] != '\\' || i + 1 == s.size())
            {
                out += s[i];
                continue;
            }
            char e = s[++i];
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
        return out;
    }

    HANDLE Read = NULL;
    Child Proc;
};

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
