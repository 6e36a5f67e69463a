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
