// Translated format texts are applied safely: only %s and %% count.
#include <string.h>

#include <gtest/gtest.h>

#include "lang/format.h"

namespace {

TEST(Format, OnlyPercentSAndPercentPercent)
{
    struct
    {
        const char *format;
        const char *want;
    } const table[] = {
        {"delete %s by hand", "delete C:\\p\\u.exe by hand"},
        {"%s", "C:\\p\\u.exe"},
        {"100%% %s", "100% C:\\p\\u.exe"},
        {"%s and %s", "C:\\p\\u.exe and %s"},    // never more arguments than given
        {"%n%x%d%p%08x", "%n%x%d%p%08x"},        // other sequences stand as they are
        {"%S %ls %", "%S %ls %"},
        {"no argument", "no argument"},
        {"", ""},
    };
    for (const auto &row : table)
    {
        char out[128];
        EXPECT_TRUE(FormatMessageText1(out, sizeof(out), row.format, "C:\\p\\u.exe"));
        EXPECT_STREQ(row.want, out) << "format \"" << row.format << "\"";
    }
}

TEST(Format, SeveralArgumentsInOrder)
{
    const char *args[2] = {"one", "two"};
    char out[64];
    EXPECT_TRUE(FormatMessageText(out, sizeof(out), "%s-%s-%s", args, 2));
    EXPECT_STREQ("one-two-%s", out);
}

TEST(Format, CutsAtBufferAndTerminates)
{
    char out[16];
    memset(out, 'X', sizeof(out));
    std::string longArg(1023, 'p');
    EXPECT_FALSE(FormatMessageText1(out, 10, "<%s>", longArg.c_str()));
    EXPECT_STREQ("<pppppppp", out);
    EXPECT_EQ('X', out[10]) << "nothing past the given size";
}

} // namespace
