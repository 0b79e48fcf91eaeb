#include <string.h>

#include <gtest/gtest.h>

#include "lang/crc32.h"
#include "lang/langtable.h"

namespace {

uint32_t Crc(const char *s)
{
    return ~UpdateCrc32(0xFFFFFFFFu, s, strlen(s));
}

TEST(Crc32, KnownKeys)
{
    EXPECT_EQ(0x92ab48beu, Crc("sabc"));
    EXPECT_EQ(0x50a17ae8u, Crc("$LTRLTR"));
    EXPECT_EQ(0x9b889d24u, Crc("$SETUPDLG"));
    EXPECT_EQ(0xcbf43926u, Crc("123456789"));   // the standard check value
    EXPECT_EQ(0u, Crc(""));
}

TEST(Crc32, LanguageKeys)
{
    char key[9];
    MakeLanguageKey(key, "abc", NULL, KindMessage);
    EXPECT_STREQ("92ab48be", key);
    MakeLanguageKey(key, "LTR", "LTR", KindDialog);
    EXPECT_STREQ("50a17ae8", key);
    MakeLanguageKey(key, "", "SETUPDLG", KindDialog);
    EXPECT_STREQ("9b889d24", key);
    MakeLanguageKey(key, "abc", "", KindMessage);
    EXPECT_STREQ("92ab48be", key) << "an empty context changes nothing";
}

// The 8-bytes-per-step loop equals the byte-wise rule for every start
// alignment and every length up to 64, also when chained.
TEST(Crc32, WordLoopEqualsBytewise)
{
    alignas(16) unsigned char data[64 + 16];
    for (size_t i = 0; i < sizeof(data); ++i)
        data[i] = (unsigned char)(i * 151 + 7);
    for (size_t align = 0; align < 8; ++align)
    {
        for (size_t len = 0; len <= 64; ++len)
        {
            uint32_t seed = 0xFFFFFFFFu - (uint32_t)len;
            EXPECT_EQ(UpdateCrc32Bytewise(seed, data + align, len),
                      UpdateCrc32(seed, data + align, len))
                << "alignment " << align << ", length " << len;
        }
    }
    uint32_t split = UpdateCrc32(UpdateCrc32(0xFFFFFFFFu, data + 1, 13), data + 14, 40);
    EXPECT_EQ(UpdateCrc32Bytewise(0xFFFFFFFFu, data + 1, 53), split);
}

} // namespace
