// Windows version, comparison, conversion and the ANSI/wide file helpers,
// run in each Windows version group.
#include <string.h>

#include <gtest/gtest.h>

#include "platform/os.h"
#include "support/testutil.h"

namespace {

TEST(Os, NtVersionMatchesWineVersion)
{
    struct
    {
        const char *wine;
        int nt;
    } const table[] = {{"win98", 0}, {"winme", 0}, {"nt40", 4}, {"win2k", 5}, {"winxp64", 5}, {"win7", 6}, {"win10", 10}};
    std::string group = ExpectedWinVersion();
    bool known = false;
    for (const auto &row : table)
    {
        if (group != row.wine)
            continue;
        known = true;
        EXPECT_EQ(row.nt, NtVersion()) << "Wine version " << row.wine;
        EXPECT_EQ(row.nt, NtVersion()) << "second call, from the cache";
    }
    EXPECT_TRUE(known) << "unknown test group " << group;
}

TEST(Os, CompareNoCase)
{
    EXPECT_EQ(0, CompareNoCase("UNINSTALL.LST", "Uninstall.lst"));
    EXPECT_EQ(-1, CompareNoCase("a", "B"));
    EXPECT_EQ(1, CompareNoCase("b", "A"));
    EXPECT_EQ(0, CompareNoCase("", ""));
    EXPECT_EQ(-1, CompareNoCase("", "a"));
    EXPECT_EQ(0, CompareNoCase("ComboBox", "COMBOBOX"));
}

TEST(Os, WideToNarrow)
{
    char buf[16];
    memset(buf, 'X', sizeof(buf));
    ASSERT_TRUE(WideToNarrow(L"abc", buf, sizeof(buf)));
    EXPECT_STREQ("abc", buf);
    EXPECT_FALSE(WideToNarrow(L"abcdef", buf, 4)) << "a destination too small fails";

    const std::wstring unload = WideFromUtf8("\xe5\x8d\xb8\xe8\xbd\xbd");   // 卸载
    ASSERT_TRUE(WideToNarrow(unload.c_str(), buf, sizeof(buf)));
    EXPECT_EQ(AnsiFromUtf8("\xe5\x8d\xb8\xe8\xbd\xbd"), std::string(buf));
    if (GetACP() == 936)
    {
        EXPECT_STREQ("\xd0\xb6\xd4\xd8", buf);
    }
}

TEST(Os, CopyWide)
{
    wchar_t dst[8];
    for (wchar_t &c : dst)
        c = L'X';
    CopyWide(dst, L"ab");
    EXPECT_EQ(0, wcscmp(L"ab", dst));
    EXPECT_EQ(L'X', dst[3]) << "nothing beyond the terminator";
}

// On NT the wide name wins when it is given and not empty; on 9x the ANSI
// name is always used. The two names below name different files, so the
// answer shows which one was asked.
TEST(Os, FileExistsAndDeleteChooseNameByFamily)
{
    ScratchDir dir("os-files");
    const std::string ansiMissing = dir.File("missing.txt");
    const std::string ansiReal = dir.File("ansi.txt");
    const std::string wideRealA = dir.File("wide.txt");
    ASSERT_TRUE(WriteFileBytes(ansiReal, "a"));
    ASSERT_TRUE(WriteFileBytes(wideRealA, "w"));
    const std::wstring wideReal = WideFromUtf8(wideRealA);
    const bool nt = NtVersion() != 0;

    EXPECT_EQ(nt, FileExistsAW(ansiMissing.c_str(), wideReal.c_str()));
    EXPECT_TRUE(FileExistsAW(ansiReal.c_str(), NULL));
    EXPECT_TRUE(FileExistsAW(ansiReal.c_str(), L""));
    EXPECT_FALSE(FileExistsAW(ansiMissing.c_str(), NULL));
    EXPECT_TRUE(FileExistsAW(dir.Path().c_str(), NULL)) << "a folder counts as existing";

    // Delete through the pair (ANSI: ansi.txt, wide: wide.txt).
    EXPECT_TRUE(DeleteFileAW(ansiReal.c_str(), wideReal.c_str()));
    EXPECT_EQ(nt, GetFileAttributesA(ansiReal.c_str()) != INVALID_FILE_ATTRIBUTES)
        << "on NT the ANSI file stays";
    EXPECT_EQ(nt, GetFileAttributesA(wideRealA.c_str()) == INVALID_FILE_ATTRIBUTES)
        << "on NT the wide file goes";
    EXPECT_FALSE(DeleteFileAW(ansiMissing.c_str(), NULL));
}

TEST(Os, GetProgramPath)
{
    char path[1024];
    ASSERT_TRUE(GetProgramPath(path, sizeof(path)));
    EXPECT_EQ(TestDir() + "unit_tests.exe", std::string(path));
    char tiny[8];
    memset(tiny, 'X', sizeof(tiny));
    EXPECT_FALSE(GetProgramPath(tiny, sizeof(tiny))) << "a cut path is reported";
    EXPECT_EQ(0, tiny[7]) << "and still terminated";
}

} // namespace
