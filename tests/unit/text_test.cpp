// Path and text helpers, under a double-byte (936) and a single-byte (1252)
// ANSI code page. Each row gives the result for both; the test group's
// code page picks the column. "\x81\x5c" is a real GBK character (U+4E57)
// whose trail byte is '\'.
#include <string.h>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/testutil.h"

namespace {

bool DoubleByte()
{
    return LeadByteTable.IsMultiByte();
}

TEST(Text, LeadByteTableFollowsCodePage)
{
    unsigned acp = GetACP();
    if (ExpectedCodePage() != 0)
    {
        ASSERT_EQ(ExpectedCodePage(), acp) << "test group started with the wrong locale";
    }
    if (acp == 936)
    {
        EXPECT_EQ(1, LeadByteTable.Table[256]);
        EXPECT_EQ(1, LeadByteTable.Table[0x81]);
        EXPECT_EQ(1, LeadByteTable.Table[0xFE]);
        EXPECT_EQ(0, LeadByteTable.Table[0x80]);
        EXPECT_EQ(0, LeadByteTable.Table[0xFF]);
        EXPECT_EQ(0, LeadByteTable.Table['\\']);
        EXPECT_EQ(0, LeadByteTable.Table[0]);
    }
    else
    {
        EXPECT_EQ(0, LeadByteTable.Table[256]);
        for (int v = 0; v < 256; ++v)
            EXPECT_EQ(0, LeadByteTable.Table[v]) << "byte " << v;
    }
}

struct PathCase
{
    const char *path;
    int dbcs;   // expected offset of the result in a double-byte code page
    int sbcs;   // ... in a single-byte one
};

TEST(Text, PointToName)
{
    const PathCase cases[] = {
        {"C:\\a\\b.txt", 5, 5},
        {"a/b", 2, 2},
        {"C:b.txt", 2, 2},
        {"b.txt", 0, 0},
        {"", 0, 0},
        {"dir\\", 4, 4},
        {"\\\\server\\share\\file", 15, 15},
        {"C:\\\x81\x5c", 3, 5},
        {"\x81\x5c", 0, 2},
        {"\x81\x5cx\\y", 4, 4},
        {"\x81:x", 0, 2},       // a trail byte ':' is no drive prefix
        {"a\\\x81", 2, 2},      // lead byte right before the terminator
    };
    for (const PathCase &c : cases)
    {
        int want = DoubleByte() ? c.dbcs : c.sbcs;
        EXPECT_EQ(want, PointToName(c.path) - c.path) << "path \"" << c.path << "\"";
    }
}

TEST(Text, WalksStopAtTerminatorAfterLeadByte)
{
    // A lead byte directly before the terminator, and separators beyond it
    // that a two-byte step would reach.
    const char buf[] = "a\\\x81\0\\zz\\";
    EXPECT_EQ(buf + 2, PointToName(buf));
    EXPECT_EQ(buf + 2, PointToLastChar(buf));
    char slash[16];
    memcpy(slash, "ab\x81\0\\\\\\\\", 9);
    AddEndSlash(slash);
    EXPECT_STREQ("ab\x81\\", slash);
    EXPECT_EQ(0, slash[4]);
}

TEST(Text, PointToLastChar)
{
    const PathCase cases[] = {
        {"", 0, 0},
        {"a", 0, 0},
        {"abc", 2, 2},
        {"ab\x81\x5c", 2, 3},
        {"\x81\x5c\x81\x5c", 2, 3},
        {"a\x81", 1, 1},
    };
    for (const PathCase &c : cases)
    {
        int want = DoubleByte() ? c.dbcs : c.sbcs;
        EXPECT_EQ(want, PointToLastChar(c.path) - c.path) << "string \"" << c.path << "\"";
    }
}

struct EditCase
{
    const char *before;
    const char *dbcs;
    const char *sbcs;
};

TEST(Text, AddEndSlash)
{
    const EditCase cases[] = {
        {"", "", ""},
        {"C:\\", "C:\\", "C:\\"},
        {"C:\\dir", "C:\\dir\\", "C:\\dir\\"},
        {"C:\\dir/", "C:\\dir/\\", "C:\\dir/\\"},
        {"C:\\\x81\x5c", "C:\\\x81\x5c\\", "C:\\\x81\x5c"},
    };
    for (const EditCase &c : cases)
    {
        char buf[32];
        memset(buf, 'X', sizeof(buf));
        strcpy(buf, c.before);
        AddEndSlash(buf);
        EXPECT_STREQ(DoubleByte() ? c.dbcs : c.sbcs, buf) << "path \"" << c.before << "\"";
        size_t len = strlen(buf);
        EXPECT_EQ('X', buf[len + 1]) << "wrote past the new terminator";
    }
}

TEST(Text, RemoveNameFromPath)
{
    const EditCase cases[] = {
        {"X:\\dir\\file", "X:\\dir", "X:\\dir"},
        {"X:\\file", "X:\\", "X:\\"},
        {"\\file", "\\", "\\"},
        {"X:file", "X:", "X:"},
        {"dir\\file", "dir", "dir"},
        {"dir\\", "dir", "dir"},
        {"file", "", ""},
        {"\\\\server\\share\\file", "\\\\server\\share", "\\\\server\\share"},
        {"C:\\\x81\x5c", "C:\\", "C:\\\x81"},
        {"C:\\d\\\x81\x5c", "C:\\d", "C:\\d\\\x81"},
    };
    for (const EditCase &c : cases)
    {
        char buf[64];
        strcpy(buf, c.before);
        RemoveNameFromPath(buf);
        EXPECT_STREQ(DoubleByte() ? c.dbcs : c.sbcs, buf) << "path \"" << c.before << "\"";
    }
}

TEST(Text, TrimTrailingSpaces)
{
    const EditCase cases[] = {
        {"abc \t\r\n", "abc", "abc"},
        {" \t \r\n", "", ""},
        {"  lead", "  lead", "  lead"},
        {"", "", ""},
        {"a b", "a b", "a b"},
        {"x\n\n", "x", "x"},
    };
    for (const EditCase &c : cases)
    {
        char buf[32];
        strcpy(buf, c.before);
        EXPECT_EQ(buf, TrimTrailingSpaces(buf));
        EXPECT_STREQ(c.dbcs, buf) << "text \"" << c.before << "\"";
    }
}

TEST(Text, CopyLimited)
{
    char buf[8];
    memset(buf, 'X', sizeof(buf));
    CopyLimited(buf, "hello", 0);
    EXPECT_EQ(0, memcmp(buf, "XXXXXXXX", 8)) << "size 0 must not touch the destination";

    CopyLimited(buf, "hello", 1);
    EXPECT_STREQ("", buf);
    EXPECT_EQ('X', buf[1]);

    memset(buf, 'X', sizeof(buf));
    EXPECT_EQ(buf, CopyLimited(buf, "hello", 4));
    EXPECT_STREQ("hel", buf);
    EXPECT_EQ('X', buf[4]);

    memset(buf, 'X', sizeof(buf));
    CopyLimited(buf, "hi", 6);
    EXPECT_EQ(0, memcmp(buf, "hi\0\0\0\0XX", 8)) << "the rest of size is zero-filled";
}

TEST(Text, CopyWholeRefusesWhatDoesNotFit)
{
    char buf[6];
    EXPECT_TRUE(CopyWhole(buf, "hello", sizeof(buf)));
    EXPECT_STREQ("hello", buf);
    EXPECT_FALSE(CopyWhole(buf, "hello!", sizeof(buf)));
    EXPECT_STREQ("", buf);
    strcpy(buf, "ab");
    EXPECT_TRUE(AppendWhole(buf, "cde", sizeof(buf)));
    EXPECT_STREQ("abcde", buf);
    EXPECT_FALSE(AppendWhole(buf, "f", sizeof(buf)));
    EXPECT_STREQ("abcde", buf);
}

} // namespace
