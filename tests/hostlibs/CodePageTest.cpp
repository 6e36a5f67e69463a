// Tests of code-page conversions and the code-page catalogue.
#include "host/brisko/CodePage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>
#if defined(__GLIBC__)
#include <link.h>
#endif

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

TEST(CodePage, PagesFirstDecodedOnManyThreadsAtOnceDecodeAlikeOnEach) {
    // A page's table is made once for the process, by whichever thread needs it first; pages
    // no other test here decodes, so that the threads race to make them.
    struct Case {
        uint32_t page;
        char byte;
        char16_t expected;
    };
    static const Case kCases[] = {
        {1253, '\xC1', u'\u0391'},
        {28595, '\xB0', u'\u0410'},
        {850, '\x82', u'\u00E9'},
        {1257, '\xC0', u'\u0104'},
    };
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < 4; ++k) {
                const Case& c = kCases[(t + k) % 4];
                const std::string bytes = std::string("x") + c.byte;
                if (brisko::DecodeCodePage(c.page, bytes.data(), bytes.size()) !=
                    std::u16string(u"x") + c.expected)
                    ++wrong;
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    // A page the system lacks stays lacking, asked again.
    for (int i = 0; i < 2; ++i)
        EXPECT_THROW(brisko::DecodeCodePage(99999, "x", 1), brisko::Exception);
}

#if defined(__GLIBC__)
// Whether a shared object whose file name ends in name is loaded in this process.
bool ObjectLoaded(const std::string& name) {
    struct Search {
        const std::string* name;
        bool found;
    } search{&name, false};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const size_t length = std::strlen(info->dlpi_name);
            if (length >= s->name->size() &&
                std::strcmp(info->dlpi_name + length - s->name->size(), s->name->c_str()) == 0)
                s->found = true;
            return 0;
        },
        &search);
    return search.found;
}

// A file the detection cannot place is decoded with each page it weighs, one after another, and
// the system unloads the module of a page no converter has open once two others were closed:
// loading it again for every file cost more than decoding the file's sample.
TEST(CodePage, APageStaysLoadedWhileOtherPagesAreDecodedAndEncoded) {
    EXPECT_EQ(brisko::DecodeCodePage(932,
                                     "\x82\xA0"
                                     "a",
                                     3),
              u"\u3042a");
    for (const uint32_t other : {936u, 949u, 950u, 1258u, 28595u, 1251u}) {
        brisko::DecodeCodePage(other, "ab\xE0\xE1", 4);
        brisko::EncodeCodePage(other, u"\u00e9\u0416", 2);
    }
    EXPECT_TRUE(ObjectLoaded("/CP932.so"));
    EXPECT_EQ(brisko::EncodeCodePage(932, u"\u3042", 1), "\x82\xA0");
}
#endif

#if !defined(_WIN32)
// Pages whose bytes mean one thing or another by what came before them: shifts in and out of
// two-byte characters, or bits carried from one character to the next.
constexpr uint32_t kShiftingPages[] = {65000, 50220, 50225};

// A file is encoded a block at a time, and each text on its own: each must end in the state the
// next begins in, or the next is read in the wrong mode, or the last character's bits are lost.
TEST(CodePage, TextsEncodedOneAfterAnotherDecodeAsOneText) {
    const std::u16string pieces[] = {u"abc", u"\u3042\u3044", u"\u65e5\u672c", u"+", u"-", u"1.5,",
                                     u" ",   u"\u3042",       u"x-y"};
    std::mt19937 random(7);
    for (const uint32_t page : kShiftingPages) {
        SCOPED_TRACE(page);
        for (int round = 0; round < 200; ++round) {
            std::u16string whole;
            std::string bytes;
            const int count = 1 + static_cast<int>(random() % 6);
            for (int i = 0; i < count; ++i) {
                const std::u16string& piece = pieces[random() % std::size(pieces)];
                whole += piece;
                bytes += brisko::EncodeCodePage(page, piece.data(), piece.size());
            }
            ASSERT_EQ(brisko::DecodeCodePage(page, bytes.data(), bytes.size()), whole)
                << "round " << round;
        }
    }
}

TEST(CodePage, ATextThatShiftsAtEveryCharacterIsEncodedWhole) {
    // Over four bytes a unit: more than a first guess at the room the text needs.
    std::u16string text;
    for (int i = 0; i < 3000; ++i)
        text += u"\u3042a";
    for (const uint32_t page : kShiftingPages) {
        const std::string bytes = brisko::EncodeCodePage(page, text.data(), text.size());
        EXPECT_EQ(brisko::DecodeCodePage(page, bytes.data(), bytes.size()), text) << page;
    }
}

// A decoder is given one unit of room more than its bytes: every page fits a whole text in it,
// its last character too.
TEST(CodePage, AWholeTextFitsTheRoomOfOneUnitMoreThanItsBytes) {
    const struct {
        uint32_t page;
        std::u16string text;
    } cases[] = {
        {65000, u"plain,1.5\n"},   {65000, u"a,\u3042\n+-b"}, {50220, u"a\u3042b"},
        {932, u"x\u3042y"},        {1258, u"Vi\u1EC7t"},      {1252, u"caf\u00e9"},
        {65001, u"\u00e9t\u00e9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        const std::string bytes = brisko::EncodeCodePage(c.page, c.text.data(), c.text.size());
        const auto decoder = brisko::CodePageDecoder::Create(c.page);
        std::u16string out(bytes.size() + 1, u'\0');
        size_t used = 0;
        const size_t n = decoder->Decode(reinterpret_cast<const uint8_t*>(bytes.data()),
                                         bytes.size(), out.data(), out.size(), used, true);
        EXPECT_EQ(used, bytes.size());
        EXPECT_TRUE(out.substr(0, n) == c.text);
    }
}

TEST(CodePage, ACharacterAPageLacksBecomesOneQuestionMarkInTheRightMode) {
    // Hangul is no part of the Japanese page, Hebrew of the Korean one.
    const struct {
        uint32_t page;
        std::u16string text, expected;
    } cases[] = {
        {50220, u"\u3042\ud55c\u3044b", u"\u3042?\u3044b"},
        {50220, u"\u3042\U0001F600b", u"\u3042?b"},
        {50225, u"\uac00\u05d0\uac01c", u"\uac00?\uac01c"},
        // A lone surrogate is one character the page lacks, and what follows it stays.
        {50220, {0x3042, 0xD800, u'a', 0xDC00, 0x3044}, u"\u3042?a?\u3044"},
        {1252, {0xD800, u'a', 0xD83D, 0xDE00, u'b', 0xDBFF}, u"?a?b?"},
    };
    for (const auto& c : cases) {
        const std::string bytes = brisko::EncodeCodePage(c.page, c.text.data(), c.text.size());
        EXPECT_EQ(brisko::DecodeCodePage(c.page, bytes.data(), bytes.size()), c.expected) << c.page;
    }
}

// The converter is not set back after a byte it cannot read: a shifted page stays shifted, and
// the Vietnamese page's letter held back for its marks comes out before the replacement.
TEST(CodePage, AnInvalidByteBecomesOneReplacementAndTakesNothingElseAlong) {
    const struct {
        uint32_t page;
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {1258, "e\x81x", u"e\uFFFDx"},
        {1258, "ab\x81\xE0", u"ab\uFFFD\u00E0"},
        {1258, "\xE0\x81", u"\u00E0\uFFFD"},
        {50220, "\x1B$B$\"\xFF$$\x1B(Ba", u"\u3042\uFFFD\u3044a"},
        {932, "\x82\xA0\x82 \x82\xA2", u"\u3042\uFFFD \u3044"},
        // A character cut off by the end of the text is one, as a reader of a file takes it.
        {65001, "a\xE3\x81", u"a\uFFFD"},
        {50220, "a\x1B$", u"a\uFFFD"},
        {932, "a\x82", u"a\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(brisko::DecodeCodePage(c.page, c.bytes.data(), c.bytes.size()), c.expected)
            << c.page << " " << c.bytes;
}
#endif

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

TEST(CodePage, AsciiBytesNarrowAsTheirUtf16Does) {
    const uint32_t saved = brisko::GetSystemCodePage();
    // 500 is an EBCDIC page, where ASCII letters are other bytes; the others keep them.
    for (const uint32_t page : {1252u, 65001u, 932u, 500u}) {
        if (!brisko::IsCodePageAvailable(page))
            continue;
        brisko::SetSystemCodePage(page);
        for (const std::u16string& text :
             {std::u16string(u"Text 1,2;3 \"q\" ~\x7F\x01"), std::u16string()}) {
            const std::string bytes(text.begin(), text.end());
            brisko::RString wide, ascii("a longer text than the one that replaces it");
            wide.FromWide(text.c_str());
            ascii.FromAscii(bytes.data(), bytes.size());
            EXPECT_EQ(ascii.str(), wide.str()) << page;
        }
        brisko::RString letter;
        letter.FromAscii("A", 1);
        EXPECT_EQ(letter.str(), page == 500 ? "\xC1" : "A") << page;
    }
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

namespace {

/// UTF-8 of UTF-16 the plain way, one unit at a time: pairs joined, lone halves U+FFFD.
std::string PlainUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

TEST(Utf8, RunsOfAsciiEncodeAsOneUnitAtATimeDoes) {
    // Long ASCII runs with the other forms between them, at every offset from a run's start.
    std::mt19937 rng(17);
    const char16_t others[] = {0, 0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0x4E2D, 0xFFFD, 0xD83D, 0xDE00};
    for (int i = 0; i < 20000; ++i) {
        std::u16string text;
        const size_t n = rng() % 60;
        for (size_t k = 0; k < n; ++k)
            text += rng() % 6 == 0 ? others[rng() % std::size(others)]
                                   : static_cast<char16_t>(0x20 + rng() % 0x5F);
        ASSERT_EQ(brisko::ToUtf8(text), PlainUtf8(text)) << i;
    }
}

}  // namespace
