// GetMsg, the language module and the warning notice, with the program's
// own string table linked into this test program.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "lang/langtable.h"
#include "lang/messages.h"
#include "res/resource.h"
#include "setup/program.h"
#include "support/expected_strings.h"
#include "support/testutil.h"

namespace {

std::string EntryLine(const std::string &ansiSource, const std::string &value)
{
    char key[9];
    MakeLanguageKey(key, ansiSource.c_str(), NULL, KindMessage);
    return std::string(key) + "=\"" + value + "\"";
}

void LoadTable(const std::string &text)
{
    char *copy = static_cast<char *>(malloc(text.size() + 1));
    memcpy(copy, text.c_str(), text.size() + 1);
    LanguageTable.AdoptText(copy, (int32_t)text.size());
}

// Each test starts and ends with no language module and no language file.
class Messages : public testing::Test
{
protected:
    void SetUp() override
    {
        ModulePath = TestDir() + "vmzlng.dll";
        DeleteFileA(ModulePath.c_str());
        LanguageModule.LoadLangModule(GetModuleHandleA(NULL));
    }

    void TearDown() override
    {
        LanguageModule.FreeLangModule();
        free(LanguageTable.Text);
        LanguageTable.Text = NULL;
        LanguageTable.TextLength = 0;
        LanguageTable.LineIndex.Count = 0;
        LanguageTable.Rtl = false;
        DeleteFileA(ModulePath.c_str());
    }

    void InstallModule(const char *fixture)
    {
        ASSERT_TRUE(CopyFileA((TestDir() + fixture).c_str(), ModulePath.c_str(), FALSE))
            << "fixture " << fixture << " missing from the test stage";
        LanguageModule.LoadLangModule(GetModuleHandleA(NULL));
        ASSERT_TRUE(LanguageModule.Loaded);
    }

    std::string ModulePath;
};

TEST_F(Messages, OwnStringTable)
{
    EXPECT_FALSE(LanguageModule.Loaded);
    EXPECT_EQ(GetModuleHandleA(NULL), ResourceInstance);
    EXPECT_EQ(GetModuleHandleA(NULL), ExeInstance);
    for (const auto &s : ExpectedStrings)
        EXPECT_EQ(ExpectedAnsi(s.id), std::string(GetMsg(s.id))) << "string " << s.id;
    EXPECT_STREQ("", GetMsg(4242)) << "an id no table holds gives the empty text";
}

TEST_F(Messages, RingOfEight)
{
    const char *first = GetMsg(IDS_UNINSTALL_CAPTION);
    const char *seen[8] = {first};
    for (int i = 1; i < 8; ++i)
    {
        seen[i] = GetMsg(IDS_UNINSTALL_DONE);
        for (int j = 0; j < i; ++j)
            EXPECT_NE(seen[j], seen[i]) << "calls " << j << " and " << i << " share a buffer";
    }
    EXPECT_EQ(ExpectedAnsi(5104), std::string(first)) << "still valid after 7 further calls";
    const char *ninth = GetMsg(IDS_CONFIRM_UNINSTALL);
    EXPECT_EQ(first, ninth) << "the ninth call reuses the first buffer";
    EXPECT_EQ(ExpectedAnsi(5107), std::string(first));
}

TEST_F(Messages, LanguageModuleReplacesStrings)
{
    InstallModule("vmzlng_fixture.dll");
    EXPECT_NE(ExeInstance, ResourceInstance);
    EXPECT_STREQ("Remove Velmor (language module)", GetMsg(5104));
    EXPECT_EQ(ExpectedAnsi(5105), std::string(GetMsg(5105))) << "a string the module lacks";

    // With a language file the program's own text is looked up, not the
    // module's.
    LoadTable("***messages***\f" + EntryLine(ExpectedAnsi(5109), "Velmor archive (file)") +
              "\fpadding line");
    EXPECT_EQ(ExpectedAnsi(5104), std::string(GetMsg(5104)));
    EXPECT_STREQ("Velmor archive (file)", GetMsg(5109));

    LanguageModule.FreeLangModule();
    EXPECT_FALSE(LanguageModule.Loaded);
    EXPECT_EQ(ExeInstance, ResourceInstance);
    free(LanguageTable.Text);
    LanguageTable.Text = NULL;
    EXPECT_EQ(ExpectedAnsi(5104), std::string(GetMsg(5104))) << "back to the program's own text";
    EXPECT_EQ(ExpectedAnsi(5109), std::string(GetMsg(5109)));
    EXPECT_TRUE(DeleteFileA(ModulePath.c_str())) << "the module file is no longer in use";
}

TEST_F(Messages, DirectionFromModule)
{
    InstallModule("vmzlng_rtl_fixture.dll");
    LanguageTable.DetectTextDirection();
    EXPECT_TRUE(LanguageTable.Rtl);
    LanguageModule.FreeLangModule();
    LanguageTable.DetectTextDirection();
    EXPECT_FALSE(LanguageTable.Rtl);

    InstallModule("vmzlng_fixture.dll");
    LanguageTable.DetectTextDirection();
    EXPECT_FALSE(LanguageTable.Rtl) << "a module without an RTL dialog";
}

TEST_F(Messages, TranslatedMessage)
{
    LoadTable("***messages***\f" + EntryLine(ExpectedAnsi(5105), "Uninstall finished") +
              "\f" + EntryLine(ExpectedAnsi(5106), "Delete %s yourself") + "\fpadding line");
    EXPECT_STREQ("Uninstall finished", GetMsg(5105));
    char text[NoticeTextSize];
    BuildWarningNotice(text, sizeof(text), "C:\\Velmor\\uninstall.exe");
    EXPECT_STREQ("Uninstall finished\nDelete C:\\Velmor\\uninstall.exe yourself", text);
}

TEST_F(Messages, WarningNotice)
{
    char text[NoticeTextSize];
    BuildWarningNotice(text, sizeof(text), "C:\\Velmor\\uninstall.exe");
    EXPECT_EQ(ExpectedAnsi(5105) + "\n" + AnsiFromUtf8("你应该手动删除 ") + "C:\\Velmor\\uninstall.exe",
              std::string(text));
}

TEST_F(Messages, HostileFormatFromLanguageFile)
{
    // Only %s and %% are interpreted; never more arguments than one.
    LoadTable("***messages***\f" + EntryLine(ExpectedAnsi(5106), "%n %x %d %s %s %%") + "\fpadding line");
    char text[NoticeTextSize];
    BuildWarningNotice(text, sizeof(text), "C:\\u.exe");
    EXPECT_EQ(ExpectedAnsi(5105) + "\n%n %x %d C:\\u.exe %s %", std::string(text));
}

TEST_F(Messages, LongProgramPath)
{
    std::string path = "C:\\" + std::string(1014, 'p') + "\\u.exe";
    ASSERT_EQ(1023u, path.size());
    std::string buf(NoticeTextSize + 16, 'Z');
    BuildWarningNotice(&buf[0], NoticeTextSize, path.c_str());
    EXPECT_EQ('Z', buf[NoticeTextSize]);
    EXPECT_NE(std::string::npos, std::string(buf.c_str()).find(path));

    char beside[1024];
    EXPECT_FALSE(BuildPathBesideProgram(beside, sizeof(beside), path.c_str(), "vmzlng.dll"))
        << "a module path that does not fit is not cut";
    EXPECT_STREQ("", beside);
    std::string shorter = "C:\\" + std::string(1000, 'p') + "\\u.exe";
    ASSERT_TRUE(BuildPathBesideProgram(beside, sizeof(beside), shorter.c_str(), "vmzlng.dll"));
    EXPECT_EQ("C:\\" + std::string(1000, 'p') + "\\vmzlng.dll", std::string(beside));
}

} // namespace
