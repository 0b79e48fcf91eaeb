// The language file as the program reads it from disk: the file reader
// (real files, a sparse file beyond 4 GiB, named pipes) and the loader
// (header search over overlapping chunks, the cut at 131,072 bytes, the
// escapes, the index), each on small files written for the case.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include "lang/file.h"
#include "lang/langtable.h"
#include "lang/messages.h"
#include "support/testutil.h"

namespace {

const std::string Header = "***messages***";

std::string Key(const char *source, const char *context = NULL, TextKind kind = KindMessage)
{
    char key[9];
    MakeLanguageKey(key, source, context, kind);
    return key;
}

std::string Entry(const char *source, const std::string &value)
{
    return Key(source) + "=\"" + value + "\"";
}

std::string Translated(const LanguageResources &table, const char *source)
{
    char buf[512];
    table.Translate(source, buf, sizeof(buf), NULL, KindMessage);
    return buf;
}

class LangFile : public ::testing::Test
{
protected:
    LangFile() : Dir("langfile") {}

    // Writes bytes as a language file and loads it into Table.
    void Load(const std::string &bytes)
    {
        const std::string path = Dir.File("uninstall.lng");
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        Table.ReadLanguageFileAt(path.c_str());
    }

    std::string LoadedText() const
    {
        return Table.Text != NULL ? std::string(Table.Text, (size_t)Table.TextLength)
                                  : std::string("<none>");
    }

    ScratchDir Dir;
    LanguageResources Table;
};

// ------------------------------------------------------------- the reader

class FileReader : public LangFile
{
};

TEST_F(FileReader, MissingFileLeavesTheObjectClosed)
{
    File file;
    EXPECT_FALSE(file.Open(Dir.File("absent.lng").c_str()));
    EXPECT_TRUE(file.Close());   // nothing open: nothing to close
    char buf[4];
    EXPECT_EQ(-1, file.Read(buf, sizeof(buf)));
}

TEST_F(FileReader, ReadsToTheEndThenZero)
{
    const std::string path = Dir.File("ten.bin");
    ASSERT_TRUE(WriteFileBytes(path, "0123456789"));
    File file;
    ASSERT_TRUE(file.Open(path.c_str()));
    char buf[16];
    EXPECT_EQ(6, file.Read(buf, 6));
    EXPECT_EQ(6, file.Tell());
    EXPECT_EQ(4, file.Read(buf, sizeof(buf)));
    EXPECT_EQ(0, memcmp(buf, "6789", 4));
    EXPECT_EQ(0, file.Read(buf, sizeof(buf)));   // the end is not a failure
    ASSERT_TRUE(file.Seek(2));
    EXPECT_EQ(3, file.Read(buf, 3));
    EXPECT_EQ(0, memcmp(buf, "234", 3));
    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(file.Close());
    // Closed means closed: the file can be deleted at once.
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(FileReader, OthersMayReadAndWriteMeanwhile)
{
    const std::string path = Dir.File("shared.lng");
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    File file;
    ASSERT_TRUE(file.Open(path.c_str()));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer) << GetLastError();
    DWORD written = 0;
    SetFilePointer(writer, 0, NULL, FILE_END);
    EXPECT_TRUE(WriteFile(writer, "def", 3, &written, NULL));
    CloseHandle(writer);
    char buf[8];
    EXPECT_EQ(6, file.Read(buf, sizeof(buf)));
    EXPECT_EQ(0, memcmp(buf, "abcdef", 6));
    // A file that someone holds without sharing its reading cannot be opened.
    file.Close();
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    EXPECT_FALSE(file.Open(path.c_str()));
    CloseHandle(exclusive);
    EXPECT_TRUE(file.Open(path.c_str()));
}

TEST_F(FileReader, SeekBeyondFourGibPassesTheHighPart)
{
    // A sparse file: markers at 16 and at 4 GiB + 16, nothing between.
    const std::string path = Dir.File("sparse.bin");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD done = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &done, NULL);
    const int64_t beyond = (int64_t(1) << 32) + 16;
    LARGE_INTEGER at;
    at.QuadPart = 16;
    DWORD written = 0;
    ASSERT_TRUE(SetFilePointerEx(h, at, NULL, FILE_BEGIN));
    ASSERT_TRUE(WriteFile(h, "near", 4, &written, NULL));
    at.QuadPart = beyond;
    ASSERT_TRUE(SetFilePointerEx(h, at, NULL, FILE_BEGIN));
    ASSERT_TRUE(WriteFile(h, "far!", 4, &written, NULL));
    CloseHandle(h);

    File file;
    ASSERT_TRUE(file.Open(path.c_str()));
    char buf[8] = {0};
    ASSERT_TRUE(file.Seek(beyond));
    EXPECT_EQ(beyond, file.Tell());
    ASSERT_EQ(4, file.Read(buf, 4));
    EXPECT_EQ(std::string("far!"), std::string(buf, 4));
    EXPECT_EQ(beyond + 4, file.Tell());
    EXPECT_EQ(0, file.Read(buf, 4));

    ASSERT_TRUE(file.Seek(16));
    ASSERT_EQ(4, file.Read(buf, 4));
    EXPECT_EQ(std::string("near"), std::string(buf, 4));

    // A low part of all ones with no error is a position like any other.
    ASSERT_TRUE(file.Seek(0xFFFFFFFFll));
    EXPECT_EQ(0xFFFFFFFFll, file.Tell());
    ASSERT_EQ(1, file.Read(buf, 1));
    EXPECT_EQ(0, buf[0]);
    file.Close();
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

// Exposes the handle to put a pipe client into message reading mode, where
// a read smaller than the message fails with the rest left in the pipe.
class MessagePipeFile : public File
{
public:
    bool ReadMessages()
    {
        DWORD mode = PIPE_READMODE_MESSAGE;
        return SetNamedPipeHandleState(Handle, &mode, NULL, NULL) != FALSE;
    }
};

struct PipeReadCase
{
    int32_t Count;        // bytes asked for
    int32_t Expected;     // what Read returns
    const char *Why;
};

TEST_F(FileReader, FailedLargeReadOfAPipeIsRepeatedWith20000Bytes)
{
    // One message of 30000 bytes: a read of more than 20000 bytes that
    // fails is repeated once with 20000 bytes and gets the rest of the
    // message; a failing read of at most 20000 bytes is not repeated.
    const PipeReadCase cases[] = {
        {25000, 5000, "repeated, the rest of the message follows"},
        {20001, 9999, "just above the limit: repeated"},
        {20000, -1, "at the limit: not repeated"},
        {15000, -1, "below the limit: not repeated"},
    };
    const int32_t messageSize = 30000;
    std::string message((size_t)messageSize, 'm');
    for (const PipeReadCase &c : cases)
    {
        SCOPED_TRACE(c.Why);
        char name[96];
        snprintf(name, sizeof(name), "\\\\.\\pipe\\velmor-file-test-%lu-%d",
                 (unsigned long)GetCurrentProcessId(), (int)c.Count);
        HANDLE server = CreateNamedPipeA(name, PIPE_ACCESS_OUTBOUND,
                                         PIPE_TYPE_MESSAGE | PIPE_WAIT, 1, 65536, 65536, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, server) << GetLastError();
        MessagePipeFile file;
        ASSERT_TRUE(file.Open(name)) << GetLastError();
        ASSERT_TRUE(file.ReadMessages()) << GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(server, message.data(), (DWORD)message.size(), &written, NULL));
        ASSERT_EQ((DWORD)messageSize, written);

        std::vector<char> buf((size_t)c.Count + 16, 0);
        EXPECT_EQ(c.Expected, file.Read(buf.data(), c.Count));
        file.Close();
        CloseHandle(server);
    }
}

// ------------------------------------------------------------- the loader

TEST_F(LangFile, MissingFileOrNoHeaderLoadsNothing)
{
    Table.ReadLanguageFileAt(Dir.File("absent.lng").c_str());
    EXPECT_FALSE(Table.IsLoaded());
    Load("no header here\r\n" + Entry("abc", "x") + "\r\n**messages***\r\n");
    EXPECT_FALSE(Table.IsLoaded());
    EXPECT_EQ("abc", Translated(Table, "abc"));
    Load("");
    EXPECT_FALSE(Table.IsLoaded());
}

TEST_F(LangFile, TextBeforeTheHeaderIsIgnored)
{
    Load("[other]\r\n" + Entry("before", "not loaded") + "\r\nname=value\r\n" + Header +
         "\r\n" + Entry("abc", "ABC") + "\r\n" + Entry("before", "loaded") + "\r\n");
    ASSERT_TRUE(Table.IsLoaded());
    EXPECT_EQ(0, LoadedText().find(Header));
    EXPECT_EQ("ABC", Translated(Table, "abc"));
    EXPECT_EQ("loaded", Translated(Table, "before"));
}

struct HeaderCase
{
    size_t Offset;   // where the header starts
    size_t After;    // bytes of the file behind the header's start
    bool Found;
    const char *Why;
};

TEST_F(LangFile, HeaderSearchOverOverlappingChunks)
{
    // Chunks of 8192 bytes start 8176 bytes apart; each is searched at its
    // offsets 0 to n - 16.
    const HeaderCase cases[] = {
        {0, 64, true, "at the start"},
        {8176, 64, true, "last offset searched in the first chunk"},
        {8177, 64, true, "first chunk's tail, found in the second"},
        {8185, 64, true, "across the first chunk's end"},
        {63 * 8176, 64, true, "start of the last chunk"},
        {523264, 64, true, "last offset of the last chunk"},
        {523265, 64, false, "beyond the 64 chunks"},
        {600000, 64, false, "far beyond"},
        {100, 13, false, "header alone in the last 13 bytes"},
        {100, 15, false, "header in the last 15 bytes"},
        {100, 16, true, "16 bytes from the header to the end"},
        {20000, 15, false, "last 15 bytes of a later chunk"},
        {20000, 16, true, "16 bytes at the end of a later chunk"},
    };
    for (const HeaderCase &c : cases)
    {
        SCOPED_TRACE(c.Why);
        std::string bytes(c.Offset, 'x');
        for (size_t i = 0; i < bytes.size(); i += 61)
            bytes[i] = '\n';
        std::string tail = Header + "\n" + Entry("abc", "ABC") + "\n";
        tail += std::string(64, '.');
        bytes += tail.substr(0, c.After);
        LanguageResources table;
        const std::string path = Dir.File("header.lng");
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        table.ReadLanguageFileAt(path.c_str());
        EXPECT_EQ(c.Found, table.IsLoaded()) << "header at " << c.Offset;
        if (c.Found && table.IsLoaded())
        {
            EXPECT_EQ(0, strncmp(table.Text, Header.c_str(), 13));
            if (c.After >= 64)
            {
                EXPECT_EQ("ABC", Translated(table, "abc"));
            }
        }
    }
}

TEST_F(LangFile, TextIsCutAt131072BytesFromTheHeader)
{
    // Filler lines up to just before the limit, then an entry that the
    // limit cuts in its value, then one wholly beyond it.
    std::string text = "  " + Header + "\r\n" + Entry("first", "one") + "\r\n";
    const std::string cutEntry = Entry("cut", "0123456789");
    const size_t limit = 131072 + 2;   // counted from the first asterisk
    while (text.size() + 80 < limit - 20)
        text += "; " + std::string(76, 'f') + "\r\n";
    text += std::string(limit - 20 - text.size(), ';') + "\r\n";   // ends at limit - 18
    text += cutEntry + "\r\n";                                       // cut 18 bytes in
    text += Entry("beyond", "never") + "\r\n";
    Load(text);
    ASSERT_TRUE(Table.IsLoaded());
    ASSERT_EQ(131072, Table.TextLength);
    EXPECT_EQ(cutEntry.substr(0, 18), LoadedText().substr(131072 - 18));
    EXPECT_EQ("one", Translated(Table, "first"));
    EXPECT_EQ("beyond", Translated(Table, "beyond"));
    // The cut line is the last line and keeps what was read of its value.
    EXPECT_EQ(std::string("01234567"), Translated(Table, "cut"));
}

TEST_F(LangFile, EscapesAndLineEnds)
{
    Load(Header + "\r\n" + Entry("esc", "a\\\"b\\\\c\\nd\\re\\tf\\xg") + "\n" +
         Entry("q", "say \\\"hi\\\"") + "\r" + "trailing \\");
    ASSERT_TRUE(Table.IsLoaded());
    // Each escape gives its character, \x stays, raw line ends become form
    // feeds.
    EXPECT_EQ(Header + "\f\f" + Key("esc") + "=\"a\"b\\c\nd\re\tf\\xg\"\f" + Key("q") +
                  "=\"say \"hi\"\"\ftrailing \\",
              LoadedText());
    EXPECT_EQ("a\"b\\c\nd\re\tf\\xg", Translated(Table, "esc"));
    EXPECT_EQ("say \"hi\"", Translated(Table, "q"));
    // The last byte of the file, a lone backslash, stays.
    EXPECT_EQ('\\', Table.Text[Table.TextLength - 1]);
}

TEST_F(LangFile, EscapedLineEndDoesNotSplitTheEntry)
{
    Load(Header + "\r\n" + Entry("two", "line one\\r\\nline two") + "\r\n" +
         Entry("next", "N") + "\r\n");
    EXPECT_EQ("line one\r\nline two", Translated(Table, "two"));
    EXPECT_EQ("N", Translated(Table, "next"));
    EXPECT_EQ(2, Table.LineIndex.Count);
}

TEST_F(LangFile, CrLfGivesOneIndexedLine)
{
    const std::string entry = Entry("abc", "ABC");
    Load(Header + "\r\n" + entry + "\r\n");
    ASSERT_TRUE(Table.IsLoaded());
    EXPECT_EQ(Header + "\f\f" + entry + "\f\f", LoadedText());
    ASSERT_EQ(1, Table.LineIndex.Count);
    EXPECT_EQ((int)Header.size() + 2, Table.LineIndex.Items[0]);
    EXPECT_STREQ(Table.FindEntry(Key("abc").c_str()), Table.Text + Header.size() + 2);
}

TEST_F(LangFile, ZeroByteEndsTheText)
{
    Load(Header + "\r\n" + Entry("abc", "ABC") + "\r\n" + std::string(1, '\0') +
         Entry("hidden", "H") + "\r\n");
    EXPECT_EQ("ABC", Translated(Table, "abc"));
    EXPECT_EQ("hidden", Translated(Table, "hidden"));
    EXPECT_EQ(Header.size() + 2 + 14 + 2, (size_t)Table.TextLength);
}

struct GrowthCase
{
    int Lines;
    int Capacity;
};

TEST_F(LangFile, IndexGrowsTo72Then122)
{
    const GrowthCase cases[] = {{1, 32}, {32, 32}, {33, 72}, {72, 72}, {73, 122}, {123, 184}};
    for (const GrowthCase &c : cases)
    {
        std::string text = Header + "\n";
        char source[32];
        for (int i = 0; i < c.Lines; ++i)
        {
            snprintf(source, sizeof(source), "text %d", i);
            text += Entry(source, source) + "\n";
        }
        LanguageResources table;
        const std::string path = Dir.File("growth.lng");
        ASSERT_TRUE(WriteFileBytes(path, text));
        table.ReadLanguageFileAt(path.c_str());
        EXPECT_EQ(c.Lines, table.LineIndex.Count);
        EXPECT_EQ(c.Capacity, table.LineIndex.Capacity) << c.Lines << " lines";
        for (int i = 0; i < c.Lines; ++i)
        {
            snprintf(source, sizeof(source), "text %d", i);
            char key[9];
            MakeLanguageKey(key, source, NULL, KindMessage);
            ASSERT_NE(nullptr, table.FindEntry(key)) << source;
        }
    }
}

// Serves the header through a named pipe, then hangs up: the read of the
// text behind it fails.
DWORD WINAPI ServeHeaderThenHangUp(void *param)
{
    HANDLE server = static_cast<HANDLE>(param);
    if (!ConnectNamedPipe(server, NULL) && GetLastError() != ERROR_PIPE_CONNECTED)
        return 1;
    const std::string bytes = Header + "\r\n" + Entry("abc", "ABC") + "\r\n";
    DWORD written = 0;
    WriteFile(server, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    FlushFileBuffers(server);   // until the reader has taken it all
    DisconnectNamedPipe(server);
    return 0;
}

TEST_F(LangFile, FailedReadBehindTheHeaderGivesAnEmptyLoadedText)
{
    char name[96];
    snprintf(name, sizeof(name), "\\\\.\\pipe\\velmor-lng-%lu",
             (unsigned long)GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                     65536, 65536, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, server) << GetLastError();
    HANDLE thread = CreateThread(NULL, 0, ServeHeaderThenHangUp, server, 0, NULL);
    ASSERT_NE(nullptr, thread);
    Table.ReadLanguageFileAt(name);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    CloseHandle(thread);
    CloseHandle(server);
    ASSERT_TRUE(Table.IsLoaded());
    EXPECT_EQ(0, Table.TextLength);
    EXPECT_STREQ("", Table.Text);
    EXPECT_EQ(0, Table.LineIndex.Count);
    EXPECT_EQ("abc", Translated(Table, "abc"));
}

// ------------------------------------------------ the fatal memory error

const char FatalProbeVariable[] = "VELMOR_FATAL_PROBE_RESULT";

TEST(LangIndexChild, GrowsBeyondMemory)
{
    const char *resultFile = getenv(FatalProbeVariable);
    if (resultFile == NULL || *resultFile == 0)
        GTEST_SKIP() << "runs only when started by LangIndex.MemoryErrorEndsTheRunWithCode8";
    ASSERT_TRUE(WriteFileBytes(resultFile, "growing"));
    Array<int> index;
    index.Add(1);
    index.AddSize(0x7FFFFFF0);   // more than any 32-bit process can hold
    WriteFileBytes(resultFile, "survived");
}

TEST(LangIndex, MemoryErrorEndsTheRunWithCode8)
{
    ScratchDir dir("fatal");
    TestCopyRun run = RunTestCopy(dir.File("fatal.exe"), "LangIndexChild.GrowsBeyondMemory",
                                  FatalProbeVariable, dir.Path());
    ASSERT_TRUE(run.Started) << run.Error;
    ASSERT_TRUE(run.Ended) << run.Output;
    EXPECT_EQ(8u, run.ExitCode) << run.Output;
    EXPECT_EQ("growing", run.Result);
}

}  // namespace
