// Tests of code-page conversions and the code-page catalogue.
#include "host/brisko/CodePage.h"

#include <gtest/gtest.h>

#include "host/brisko/CodePageInfo.h"
#include "host/brisko/Exception.h"

namespace dornel::test {
namespace {

TEST(CodePage, CharactersAPageLacksBecomeQuestionMarks) {
    const std::u16string text = u"a\u20ac\u4e00b";
    EXPECT_EQ(brisko::EncodeCodePage(1252, text.data(), text.size()), "a\x80?b");
    EXPECT_EQ(brisko::DecodeCodePage(1252, "a\x80?b", 4), u"a\u20ac?b");
    EXPECT_EQ(brisko::ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(brisko::FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(CodePage, AppendingKeepsWhatWasThereAndEncodesLikeAWholeConversion) {
    struct Case {
        uint32_t page;
        std::u16string text;
        std::string expected;
    };
    const Case cases[] = {
        {65001, u"plain", "plain"}, {65001, u"a\u00e9\U0001F600", "a\xC3\xA9\xF0\x9F\x98\x80"},
        {1252, u"plain", "plain"},  {1252, u"caf\u00e9\u4e00", "caf\xE9?"},
        {866, u"\u0416x", "\x86x"}, {932, u"ab\u3042", "ab\x82\xA0"},
        {65001, u"", ""},
    };
    for (const Case& c : cases) {
        std::string out = "kept|";
        brisko::AppendEncoded(c.page, c.text.data(), c.text.size(), out);
        EXPECT_EQ(out, "kept|" + c.expected) << c.page;
        EXPECT_EQ(brisko::EncodeCodePage(c.page, c.text.data(), c.text.size()), c.expected);
    }
    // A string encoded into again holds only the new text.
    brisko::RString r;
    r.FromWide(u"a longer text than fits in place");
    r.FromWide(u"short");
    EXPECT_EQ(r.str(), "short");
}

TEST(CodePage, TheSystemPageStandsForPageZero) {
    const uint32_t saved = brisko::GetSystemCodePage();
    brisko::SetSystemCodePage(1252);
    brisko::RString r;
    r.FromWide(u"caf\u00e9");
    EXPECT_EQ(r.str(), "caf\xE9");
    EXPECT_EQ(r.ToWide(), u"caf\u00e9");
    EXPECT_THROW(brisko::SetSystemCodePage(99999), brisko::Exception);
    brisko::SetSystemCodePage(saved);
}

TEST(CodePageInfo, ListsThePagesByNameAndFindsThemByNumber) {
    brisko::CodePageInfo info(2);
    ASSERT_EQ(info.GetCount(), 15);
    for (int i = 1; i < info.GetCount(); ++i)
        EXPECT_LT(info.GetNameByIndex(i - 1).str(), info.GetNameByIndex(i).str());
    int index = -5;
    ASSERT_TRUE(info.GetIndexFromPageNumber(1252, index));
    EXPECT_EQ(info.GetPageNumberByIndex(index), 1252u);
    EXPECT_EQ(info.GetNameByIndex(index).str(), "Western European");
    index = -5;
    EXPECT_FALSE(info.GetIndexFromPageNumber(437, index));
    EXPECT_EQ(index, -5);
    info.SetOrder(1);
    EXPECT_EQ(info.GetPageNumberByIndex(0), 874u);
    EXPECT_EQ(info.GetPageNumberByIndex(14), 65001u);
    EXPECT_EQ(info.GetPageNumberByIndex(15), 0u);
    for (int i = 0; i < info.GetCount(); ++i)
        EXPECT_TRUE(brisko::IsCodePageAvailable(info.GetPageNumberByIndex(i)))
            << info.GetPageNumberByIndex(i);
}

}  // namespace
}  // namespace dornel::test
