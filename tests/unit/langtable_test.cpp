// Lookup in language tables built in memory: lines separated by form
// feeds, the first line (the header) never indexed.
#include <stdlib.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "lang/langtable.h"

namespace {

std::string Key(const char *source, const char *context = NULL, TextKind kind = KindMessage)
{
    char key[9];
    MakeLanguageKey(key, source, context, kind);
    return key;
}

std::string Entry(const char *source, const std::string &value, const char *context = NULL,
                  TextKind kind = KindMessage)
{
    return Key(source, context, kind) + "=\"" + value + "\"";
}

// Gives the table a copy of text, allocated to its exact size so that a
// read past its end is a real fault.
void Load(LanguageResources &table, const std::string &text)
{
    char *copy = static_cast<char *>(malloc(text.size() + 1));
    memcpy(copy, text.c_str(), text.size() + 1);
    table.AdoptText(copy, (int32_t)text.size());
}

std::string Translated(const LanguageResources &table, const char *source,
                       const char *context = NULL, TextKind kind = KindMessage,
                       size_t size = 512)
{
    std::string buf(size + 8, 'Z');
    table.Translate(source, &buf[0], size, context, kind);
    EXPECT_EQ('Z', buf[size]) << "wrote past the destination";
    return std::string(buf.c_str());
}

const std::string Header = "***messages***";
const std::string FF = "\f";

TEST(LangTable, EmptyTablePassesSourceThrough)
{
    LanguageResources table;
    EXPECT_FALSE(table.IsLoaded());
    EXPECT_EQ("abc", Translated(table, "abc"));
    char same[16] = "keep me";
    table.Translate(same, same, sizeof(same), NULL, KindMessage);
    EXPECT_STREQ("keep me", same);
    EXPECT_EQ(NULL, table.FindEntry("92ab48be"));
    EXPECT_EQ(NULL, table.ScanEntry("92ab48be"));
}

TEST(LangTable, TranslateCases)
{
    LanguageResources table;
    const std::string longValue(300, 'v');
    Load(table, Header + FF +
                    "; a comment line" + FF +
                    Entry("abc", "ABC") + FF +
                    Entry("quoted", "say \"hi\" now") + FF +
                    Key("open") + "=\"no closing quote" + FF +
                    Key("odd") + "XYvalue of odd\"" + FF +
                    Entry("Cancel", "Abbrechen", "SETUPDLG", KindDialog) + FF + FF +
                    Entry("last", longValue));
    ASSERT_TRUE(table.IsLoaded());

    EXPECT_EQ("ABC", Translated(table, "abc"));
    EXPECT_EQ("say \"hi\" now", Translated(table, "quoted")) << "only the last quote ends a value";
    EXPECT_EQ("no closing quote\f", Translated(table, "open")) << "keeps its line end";
    EXPECT_EQ("value of odd", Translated(table, "odd"))
        << "a found line is taken whatever its 9th and 10th characters";
    EXPECT_EQ("Abbrechen", Translated(table, "Cancel", "SETUPDLG", KindDialog));
    EXPECT_EQ("Cancel", Translated(table, "Cancel", "DONEDLG", KindDialog)) << "other context";
    EXPECT_EQ("Cancel", Translated(table, "Cancel")) << "other kind";
    EXPECT_EQ(std::string(255, 'v'), Translated(table, "last"))
        << "a last line without line end is cut at 255 bytes";
    EXPECT_EQ("missing", Translated(table, "missing"));

    char inPlace[512] = "abc";
    table.Translate(inPlace, inPlace, sizeof(inPlace), NULL, KindMessage);
    EXPECT_STREQ("ABC", inPlace);
    char untouched[512] = "no entry";
    table.Translate(untouched, untouched, sizeof(untouched), NULL, KindMessage);
    EXPECT_STREQ("no entry", untouched);
}

TEST(LangTable, ValueIsBoundedByDestination)
{
    LanguageResources table;
    Load(table, Header + FF + Entry("abc", std::string(100, 'w')) + FF + "tail line");
    EXPECT_EQ(std::string(15, 'w'), Translated(table, "abc", NULL, KindMessage, 16));
    EXPECT_EQ("", Translated(table, "abc", NULL, KindMessage, 1));
}

TEST(LangTable, UppercaseKeyIsNeverFound)
{
    LanguageResources table;
    std::string upper = Key("abc");
    for (char &c : upper)
        c = (char)toupper((unsigned char)c);
    Load(table, Header + FF + upper + "=\"X\"" + FF + "padding line");
    EXPECT_EQ("abc", Translated(table, "abc"));
}

TEST(LangTable, FirstLineIsFoundOnlyByScan)
{
    LanguageResources table;
    Load(table, Entry("abc", "first") + FF + Entry("xyz", "second") + FF + "padding line");
    const std::string key = Key("abc");
    EXPECT_EQ(NULL, table.FindEntry(key.c_str())) << "the first line is not indexed";
    ASSERT_NE((const char *)NULL, table.ScanEntry(key.c_str()));
    EXPECT_EQ(table.Text, table.ScanEntry(key.c_str()));
    EXPECT_EQ("first", Translated(table, "abc"));
}

TEST(LangTable, ScanNeedsEqualsAndQuote)
{
    LanguageResources table;
    // Not indexed (the first line), and not an entry for the scan either.
    Load(table, Key("abc") + " \"not an entry\"" + FF + "padding line");
    EXPECT_EQ(NULL, table.ScanEntry(Key("abc").c_str()));
    EXPECT_EQ("abc", Translated(table, "abc"));
}

TEST(LangTable, ShortLinesAtTheEnd)
{
    LanguageResources cut;
    // An entry line cut right behind its '=': the value is empty and the
    // lookup stops at the end of the text.
    Load(cut, Header + FF + Entry("abc", "ABC") + FF + Key("short") + "=");
    EXPECT_EQ(2, cut.LineIndex.Count);
    EXPECT_EQ("", Translated(cut, "short"));

    LanguageResources tail;
    Load(tail, Header + FF + Entry("abc", "ABC") + FF + "1234567");
    EXPECT_EQ(1, tail.LineIndex.Count) << "a line starting in the last 8 bytes is not indexed";
    EXPECT_EQ("ABC", Translated(tail, "abc"));
}

TEST(LangTable, IndexIsSortedAndEveryEntryIsFound)
{
    LanguageResources table;
    std::string text = Header;
    char source[32];
    for (int i = 0; i < 500; ++i)
    {
        snprintf(source, sizeof(source), "text %d", i);
        text += FF + Entry(source, std::string("value ") + source);
        if (i % 7 == 0)
            text += FF + FF + "; comment " + source;
    }
    Load(table, text);
    ASSERT_EQ(500 + 72, table.LineIndex.Count);
    for (int i = 1; i < table.LineIndex.Count; ++i)
        ASSERT_LE(strncmp(table.Text + table.LineIndex.Items[i - 1],
                          table.Text + table.LineIndex.Items[i], 8), 0) << "at " << i;
    for (int i = 0; i < 500; ++i)
    {
        snprintf(source, sizeof(source), "text %d", i);
        const std::string key = Key(source);
        const char *line = table.FindEntry(key.c_str());
        ASSERT_NE((const char *)NULL, line) << source;
        EXPECT_EQ(0, strncmp(line, key.c_str(), 8));
        EXPECT_EQ(std::string("value ") + source, Translated(table, source));
    }
    EXPECT_EQ(NULL, table.FindEntry("00000000"));
    EXPECT_EQ(NULL, table.FindEntry("ffffffff"));
}

TEST(LangTable, DirectionEntry)
{
    const struct
    {
        const char *value;
        bool rtl;
    } table[] = {{"RTL", true}, {"rtl", false}, {"LTR", false}, {"RTL ", false}};
    for (const auto &row : table)
    {
        LanguageResources lang;
        Load(lang, Header + FF + "50a17ae8=\"" + row.value + "\"" + FF + "padding line");
        lang.DetectTextDirection();
        EXPECT_EQ(row.rtl, lang.Rtl) << "value \"" << row.value << "\"";
    }
    LanguageResources none;
    none.DetectTextDirection();
    EXPECT_FALSE(none.Rtl);
}

TEST(LangTable, ArrayGrowth)
{
    Array<int> a;
    EXPECT_EQ(0, a.Capacity);
    const int expected[] = {32, 72, 122, 184, 262};
    int step = 0;
    for (int i = 0; i < 262; ++i)
    {
        a.Add(i * 3);
        if (a.Count == 1 || a.Count == 33 || a.Count == 73 || a.Count == 123 || a.Count == 185)
        {
            EXPECT_EQ(expected[step++], a.Capacity) << "after " << a.Count << " items";
        }
    }
    EXPECT_EQ(262, a.Capacity);
    for (int i = 0; i < 262; ++i)
        ASSERT_EQ(i * 3, a.Items[i]);
    a.AddSize(1000);
    EXPECT_EQ(1262, a.Capacity) << "a large step takes exactly what it needs";
}

} // namespace
