// Files in the encodings users meet, imported without naming one: each is read with its true
// characters, whatever the block size, and the decision says why.
#include "host/brisko/EncodingDetection.h"

#include <gtest/gtest.h>

#include <string>

#include "host/brisko/CodePage.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "hostlibs/ReaderTestSupport.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

using brisko::CEncodedBufferedFile;
using brisko::WString;

constexpr size_t kBlockSizes[] = {1, 2, 3, 7, 64 * 1024};

/// text in a fixed-width encoding: UTF-16 or UTF-32 of either order.
std::string Encode(const std::u32string& text, int unitBytes, bool bigEndian) {
    std::string out;
    auto put = [&](uint32_t v) {
        for (int i = 0; i < unitBytes; ++i) {
            const int shift = 8 * (bigEndian ? unitBytes - 1 - i : i);
            out += static_cast<char>((v >> shift) & 0xFF);
        }
    };
    for (char32_t c : text) {
        if (unitBytes == 2 && c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

/// text as the UTF-16 units a reader gives.
WString Wide(const std::u32string& text) {
    const std::string bytes = Encode(text, 2, false);
    WString w;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        w += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                   static_cast<uint8_t>(bytes[i + 1]) << 8);
    return w;
}

struct Case {
    const char* name;
    std::string bytes;
    std::u32string text;  // what must be read
    int form;
    uint32_t codePage;  // 8-bit text: the page decided
    const char* why;
    bool wide;
};

class DetectedEncoding : public ::testing::TestWithParam<size_t> {};

TEST_P(DetectedEncoding, EachFileReadsWithItsTrueCharacters) {
    const std::u32string latin =
        U"name,city\nFran\u00e7ois,Besan\u00e7on\n\u00a9 2024,Z\u00fcrich\n";
#if !defined(_WIN32)
    const std::u32string czech =
        U"P\u0159\u00edli\u0161 \u017elu\u0165ou\u010dk\u00fd k\u016f\u0148,\u00fap\u011bl "
        U"\u010f\u00e1belsk\u00e9 \u00f3dy\n\u0160\u00e1rka Nov\u00e1kov\u00e1,Brno\n";
    // The Czech text in a Central European page: the two pages share every letter of it but
    // š, ž, ť and Š, which each page places at bytes of its own.
    const auto czechIn = [](const char* s, const char* z, const char* t, const char* capitalS) {
        return std::string("P\xF8\xEDli") + s + " " + z + "lu" + t +
               "ou\xE8k\xFD k\xF9\xF2,\xFAp\xECl \xEF\xE1"
               "belsk\xE9 \xF3"
               "dy\n" +
               capitalS + "\xE1rka Nov\xE1kov\xE1,Brno\n";
    };
#endif
    const std::u32string music = U"a,b\n\u00eatre,\U0001D11E\n";
    const Case cases[] = {
        {"utf16be with mark", "\xFE\xFF" + Encode(music, 2, true), music, brisko::FORM_UTF16BE, 0,
         "mark", true},
        {"utf16be without mark", Encode(U"id,name\n1,abc\n", 2, true), U"id,name\n1,abc\n",
         brisko::FORM_UTF16BE, 0, "no mark", true},
        {"utf32le with mark", Encode(U"\uFEFF", 4, false) + Encode(music, 4, false), music,
         brisko::FORM_UTF32LE, 0, "mark", true},
        {"utf32be with mark", Encode(U"\uFEFF", 4, true) + Encode(music, 4, true), music,
         brisko::FORM_UTF32BE, 0, "mark", true},
        {"utf8 without mark", "name,word\n\xC3\xAAtre,na\xC3\xAFve\n",
         U"name,word\n\u00eatre,na\u00efve\n", brisko::FORM_UTF8, 0, "no mark", false},
        {"ascii", "a,b\n1,2\n", U"a,b\n1,2\n", brisko::FORM_8BIT, 0, "ascii", false},
#if !defined(_WIN32)
        // On a system whose page is UTF-8, 8-bit text gets a legacy page from the detector.
        // A short Latin text may be taken for any Western page; its letters read right in each.
        {"latin-1", "name,city\nFran\xE7ois,Besan\xE7on\n\xA9 2024,Z\xFCrich\n", latin,
         brisko::FORM_8BIT, 0, nullptr, false},
        {"windows-1251",
         "\xE8\xEC\xFF,\xE3\xEE\xF0\xEE\xE4\n\xC0\xEB\xE5\xEA\xF1\xE0\xED\xE4\xF0,"
         "\xCC\xEE\xF1\xEA\xE2\xE0\n\xD1\xE2\xE5\xF2\xEB\xE0\xED\xE0,"
         "\xCD\xEE\xE2\xEE\xF1\xE8\xE1\xE8\xF0\xF1\xEA\n",
         U"\u0438\u043c\u044f,\u0433\u043e\u0440\u043e\u0434\n"
         U"\u0410\u043b\u0435\u043a\u0441\u0430\u043d\u0434\u0440,"
         U"\u041c\u043e\u0441\u043a\u0432\u0430\n"
         U"\u0421\u0432\u0435\u0442\u043b\u0430\u043d\u0430,"
         U"\u041d\u043e\u0432\u043e\u0441\u0438\u0431\u0438\u0440\u0441\u043a\n",
         brisko::FORM_8BIT, 1251, "detected", false},
        {"shift-jis",
         "\x96\xBC\x91\x4F,\x93\x73\x8E\x73\n\x93\x63\x92\x86\x91\xBE\x98\x59,"
         "\x93\x8C\x8B\x9E\n\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD,\x90\xA2\x8A\x45\n",
         U"\u540d\u524d,\u90fd\u5e02\n\u7530\u4e2d\u592a\u90ce,\u6771\u4eac\n"
         U"\u3053\u3093\u306b\u3061\u306f,\u4e16\u754c\n",
         brisko::FORM_8BIT, 932, "detected", false},
        // Central European text in its two pages, which differ in Š, Ť, Ž and their kin.
        {"windows-1250", czechIn("\x9A", "\x9E", "\x9D", "\x8A"), czech, brisko::FORM_8BIT, 1250,
         "detected", false},
        {"iso-8859-2", czechIn("\xB9", "\xBE", "\xBB", "\xA9"), czech, brisko::FORM_8BIT, 28592,
         "detected", false},
#endif
    };
    BlockSize blocks(GetParam());
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("file.csv", c.bytes);
        CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANY, 0, false, false);
        const brisko::EncodingDecision& d = f.GetDecision();
        EXPECT_EQ(d.form, c.form);
        if (c.codePage != 0) {
            EXPECT_EQ(d.codePage, c.codePage);
        }
        if (c.why) {
            EXPECT_EQ(d.why, c.why);
        }
        EXPECT_EQ(f.m_isUnicode != 0, c.wide);
        // Page 0 is the default for this file: what was decided stays.
        f.SetCodePage(0);
        EXPECT_EQ(ReadAll(f), Wide(c.text));
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, DetectedEncoding, ::testing::ValuesIn(kBlockSizes));

TEST(DetectedEncoding, TheSampleReachesPastTheFirstBlockAndACutSequenceIsNoFault) {
    BlockSize blocks(64 * 1024);
    TempDir dir;
    // The first letter beyond ASCII lies far past the first block.
    std::string late(200 * 1024, 'a');
    late += "\n\xC3\xA9t\xC3\xA9\n";
    CEncodedBufferedFile first(brisko::RString(dir.Write("late.csv", late)), "r", 3, brisko::TE_ANY,
                               0, false, false);
    EXPECT_EQ(first.GetDecision().form, brisko::FORM_UTF8);
    // A two-byte sequence split by the end of the sample is not invalid.
    std::string split(brisko::kDetectionSampleBytes - 1, 'b');
    split += "\xC3\xA9 and more\n";
    bool multiByte = false;
    EXPECT_TRUE(brisko::IsValidUtf8(reinterpret_cast<const uint8_t*>(split.data()),
                                    brisko::kDetectionSampleBytes, false, multiByte));
    EXPECT_TRUE(multiByte);
    CEncodedBufferedFile second(brisko::RString(dir.Write("split.csv", split)), "r", 3,
                                brisko::TE_ANY, 0, false, false);
    EXPECT_EQ(second.GetDecision().form, brisko::FORM_UTF8);
    // The same cut at the end of the whole file is broken UTF-8.
    EXPECT_FALSE(
        brisko::IsValidUtf8(reinterpret_cast<const uint8_t*>("ab\xC3"), 3, true, multiByte));
}

TEST(DetectedEncoding, ASequenceAcrossTheFirstBlocksEndIsReadWhole) {
    // A file longer than a block: its first block is no whole file, and a letter cut by the
    // block's end is still UTF-8.
    for (const size_t block : {size_t{4096}, size_t{64} * 1024}) {
        BlockSize blocks(block);
        TempDir dir;
        std::string text(block - 1, 'c');
        text += "\xC3\xA9\n";
        CEncodedBufferedFile file(brisko::RString(dir.Write("cut.csv", text)), "r", 3,
                                  brisko::TE_ANY, 0, false, false);
        EXPECT_EQ(file.GetDecision().form, brisko::FORM_UTF8) << block;
        for (size_t i = 0; i + 1 < block; ++i)
            ASSERT_EQ(file.Getc(), u'c');
        EXPECT_EQ(file.Getc(), u'\u00E9') << block;
    }
}

#if !defined(_WIN32)
TEST(DetectedEncoding, ACentralEuropeanTieGoesToWindows1250) {
    // Czech letters that stand at the same bytes in windows-1250 and ISO-8859-2, and none of
    // those that tell the two apart: neither page has more for it, and the Windows page wins.
    const std::string text =
        "slovo\nDobr\xFD den, p\xF8"
        "eji v\xE1m hezk\xFD ve\xE8"
        "er\n"
        "M\xEC"
        "sto na \xF8"
        "ece, \xFA\xF8"
        "ad a n\xE1m\xEC"
        "st\xED\n"
        "\xC8"
        "esk\xFD jazyk m\xE1 mnoho kr\xE1sn\xFD"
        "ch p\xED"
        "smen\n"
        "P\xEDsni\xE8"
        "ka o m\xEC"
        "st\xEC a o lidech, kte\xF8\xED v n\xEC"
        "m \x9Eili\n";
    const std::string tie = text.substr(0, text.rfind("m \x9E"));
    const brisko::EncodingDecision decision =
        brisko::DecideEncoding(reinterpret_cast<const uint8_t*>(tie.data()), tie.size(), true);
    EXPECT_EQ(decision.codePage, 1250u) << decision.Name();
}
#endif

TEST(Utf8, OnlyShortestFormsOfScalarValuesAreValid) {
    const struct {
        const char* bytes;
        bool valid;
    } cases[] = {
        {"\xC2\xA9", true},      {"\xE2\x82\xAC", true},      {"\xF0\x9F\x98\x80", true},
        {"\xED\x9F\xBF", true},  {"\xEE\x80\x80", true},      {"\xF4\x8F\xBF\xBF", true},
        {"\xC0\x80", false},     {"\xC1\xBF", false},         {"\xE0\x80\x80", false},
        {"\xE0\x9F\xBF", false}, {"\xF0\x8F\xBF\xBF", false}, {"\xED\xA0\x80", false},
        {"\xED\xBF\xBF", false}, {"\xF4\x90\x80\x80", false}, {"\xF5\x80\x80\x80", false},
        {"\x80", false},         {"\xC3\x28", false},
    };
    for (const auto& c : cases) {
        bool multiByte = false;
        const std::string text = std::string("a") + c.bytes + "z";
        EXPECT_EQ(brisko::IsValidUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                      true, multiByte),
                  c.valid)
            << text;
    }
}

TEST(DetectedEncoding, ImposedEncodingsAndGivenPagesStayAsTheyAre) {
    TempDir dir;
    const std::string path = dir.Write("f.csv", "Fran\xE7ois\n");
    CEncodedBufferedFile imposed(brisko::RString(path), "r", 3, brisko::TE_ANSI, 1251, true, false);
    EXPECT_EQ(imposed.GetDecision().why, "imposed");
    EXPECT_EQ(ReadAll(imposed), u"Fran\u0437ois\n");
    // A page given later imposes itself on a detected file, and the decision says so.
    CEncodedBufferedFile later(brisko::RString(path), "r", 3, brisko::TE_ANY, 0, false, false);
    later.SetCodePage(1251);
    EXPECT_EQ(later.GetDecision().why, "imposed");
    EXPECT_EQ(later.GetDecision().codePage, 1251u);
    EXPECT_EQ(ReadAll(later), u"Fran\u0437ois\n");
}

TEST(DetectedEncoding, AFewBrokenBytesInUtf8AreCountedAndTheRestReadsAsUtf8) {
    // Forty lines of accented UTF-8 and one lone Latin-1 byte on line 3.
    std::string text = "nom\nFran\xC3\xA7oise\nJ\xE9r\xC3\xB4me\n";
    for (int i = 0; i < 40; ++i)
        text += "Zo\xC3\xAB G\xC3\xB6teborg\n";
    for (const size_t block : {size_t{5}, size_t{64} * 1024}) {
        BlockSize blocks(block);
        TempDir dir;
        CEncodedBufferedFile f(brisko::RString(dir.Write("f.csv", text)), "r", 3, brisko::TE_ANY, 0,
                               false, false);
        EXPECT_EQ(f.GetDecision().form, brisko::FORM_UTF8) << block;
        const WString read = ReadAll(f);
        EXPECT_EQ(read.substr(0, 20), u"nom\nFran\u00e7oise\nJ\uFFFDr\u00f4me") << block;
        EXPECT_EQ(f.GetDecision().undecodable, 1u) << block;
        EXPECT_EQ(f.GetDecision().firstUndecodable, 16) << block;
    }
    // Broken sequences as many as valid ones: that is no UTF-8 file.
    const std::string mixed = "caf\xC3\xA9 caf\xE9 na\xEFve \xC3\xA0\n";
    EXPECT_NE(
        brisko::DecideEncoding(reinterpret_cast<const uint8_t*>(mixed.data()), mixed.size(), true)
            .form,
        brisko::FORM_UTF8);
}

TEST(DetectedEncoding, AFileAsciiPastItsSampleIsDecidedByItsFirstOtherByte) {
    // 600 KB of ASCII, then a letter in UTF-8 or in Latin-1; the letter must come out right.
    std::string ascii;
    while (ascii.size() < 600 * 1024)
        ascii += "row,plain ascii text\n";
    struct Case {
        const char* tail;
        const char16_t* letters;
        int form;
    } cases[] = {
        {"Zo\xC3\xAB,caf\xC3\xA9\n", u"Zo\u00EB,caf\u00E9\n", brisko::FORM_UTF8},
        {"Zo\xEB,caf\xE9\n", u"Zo\u00EB,caf\u00E9\n", brisko::FORM_8BIT},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.Write("late.csv", ascii + c.tail);
        CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANY, 0, false, false);
        EXPECT_EQ(f.GetDecision().why, "ascii");
        f.SetCodePage(0);  // the default for the file: still what its bytes will say
        const WString read = ReadAll(f);
        EXPECT_EQ(read.substr(ascii.size()), c.letters) << c.tail;
        EXPECT_EQ(f.GetDecision().form, c.form) << c.tail;
        EXPECT_EQ(f.GetDecision().decidedAt, static_cast<int64_t>(ascii.size()) + 2) << c.tail;
        brisko::EncodingDecision probed;
        ASSERT_TRUE(brisko::DecideFileEncoding(brisko::RString(path), probed));
        EXPECT_EQ(probed.form, c.form) << c.tail;
    }
}

TEST(UnmarkedUnicode, OnlyTextOfTwoOrFourBytesACharacterIsTakenForIt) {
    const struct {
        const char* name;
        std::string bytes;
        int form;
    } cases[] = {
        {"Cyrillic UTF-16LE", Encode(U"\u0418\u043c\u044f,\u0413\u043e\u0440\n", 2, false),
         brisko::FORM_UTF16LE},
        {"Japanese UTF-16BE", Encode(U"\u540d\u524d,\u90fd\u5e02\n", 2, true),
         brisko::FORM_UTF16BE},
        {"Latin with one A-macron", Encode(U"\u0100dam,Riga\n", 2, false), brisko::FORM_UTF16LE},
        {"UTF-32BE", Encode(U"a,\u00e9\n", 4, true), brisko::FORM_UTF32BE},
        {"UTF-32LE", Encode(U"\U0001D11E\n", 4, false), brisko::FORM_UTF32LE},
        {"ASCII", "a,b\n1,2\n", brisko::FORM_8BIT},
        {"ASCII with a stray NUL", std::string("name,city,country,notes\n\0x,y\n", 29),
         brisko::FORM_8BIT},
        {"binary", std::string("\x01\x00\x02\x00\x7F\x00\x00\x00", 8), brisko::FORM_8BIT},
        {"UTF-16 with an unpaired surrogate",
         Encode(U"a\n", 2, false) + std::string("\x00\xD8\x41\x00", 4), brisko::FORM_8BIT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(brisko::UnmarkedUnicodeForm(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                              c.bytes.size(), true),
                  c.form)
            << c.name;
}

}  // namespace
}  // namespace dornel::test
