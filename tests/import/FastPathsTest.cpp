// The fast paths of the import against the plain path on random input: the same records, the
// same progress, the same refusals, whatever the options.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ImportTestSupport.h"
#include "common/DecimalText.h"
#include "host/brisko/File.h"
#include "import/FieldPipeline.h"
#include "import/NumberScan.h"

namespace dornel::test {
namespace {

/// Text made of the pieces that matter to the reader and the converter: digits, signs, points,
/// exponents, blanks, delimiters, qualifiers, line ends, letters, units beyond ASCII, and zero.
std::string RandomBody(std::mt19937& rng, size_t pieces) {
    using namespace std::string_view_literals;
    static const std::string_view kPieces[] = {"0",
                                               "7",
                                               "42",
                                               "-",
                                               "+",
                                               ".",
                                               "e",
                                               "E",
                                               "1e5",
                                               "2.5e-3",
                                               " ",
                                               "\t",
                                               ",",
                                               ";",
                                               "|",
                                               "\"",
                                               "'",
                                               "\"\"",
                                               "\n",
                                               "\r\n",
                                               "\r",
                                               "abc",
                                               "x",
                                               "NA",
                                               "é",
                                               "\xe4\xb8\xad",
                                               "$",
                                               "1,234",
                                               "12.50",
                                               "0.000001",
                                               "123456789012345678",
                                               "1e400",
                                               "3,5",
                                               "-0",
                                               "  9  ",
                                               "z\0z"sv};
    std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
    std::string body;
    for (size_t i = 0; i < pieces; ++i) {
        // Now and then a field longer than a field may be.
        if (rng() % 997 == 0)
            body += std::string(1200, 'a' + static_cast<char>(rng() % 26));
        body += kPieces[pick(rng)];
    }
    return body;
}

struct Outcome {
    int status = 0;
    std::vector<std::string> records;
    std::vector<std::string> events;
    std::string failure;
};

struct Choices {
    FileKind kind;
    int flags;
    const char* delimiters;
    const char* qualifiers;
    const char* decimal;
    int startRow;
    int maxRow;
    int maxCol;
    int refuseAt;
};

Outcome Import(const std::string& path, const Choices& c, bool fast) {
    RecordingManager manager;
    manager.SetOption("UseFixedWidth", (c.flags & 1) != 0, false);
    manager.SetOption("EatWhitespace", (c.flags & 2) != 0, false);
    manager.SetOption("SkipExtraDelimiters", (c.flags & 4) != 0, false);
    manager.SetOption("AggressiveConversion", (c.flags & 8) != 0, false);
    manager.SetOption("DateTimeSupport", (c.flags & 16) != 0, false);
    manager.SetOption("Delimiter", c.delimiters, false);
    manager.SetOption("TextQualifier", c.qualifiers, false);
    manager.SetOption("DecimalSymbol", c.decimal, false);
    manager.SetOption("ColumnBreaks", "0,3,7,20", false);
    manager.SetOption("StartRow", c.startRow, false);
    manager.SetOption("MaxRow", c.maxRow, false);
    manager.SetOption("MaxCol", c.maxCol, false);
    manager.refuseAt = c.refuseAt;
    DatImportFilter filter(manager, c.kind);
    filter.fastPaths = fast;
    Outcome o;
    try {
        o.status = filter.ImportFile(brisko::RString(path), false);
    } catch (const std::exception& e) {
        o.failure = e.what();
    }
    o.records = std::move(manager.records);
    o.events = std::move(manager.events);
    return o;
}

/// Restores the field pipeline's tuning when a test ends.
struct ScopedTuning {
    ScopedTuning() : saved(FieldPipeline::GetTuning()) {}
    ~ScopedTuning() { FieldPipeline::SetTuning(saved); }
    FieldPipeline::Tuning saved;
};

TEST(FastPaths, AnImportGivesWhatThePlainPathGives) {
    // Small blocks put block edges inside fields, numbers and qualified sections; in larger
    // ones fields are split from masks of many units. Small chunks put chunk edges between a
    // few fields, with and without the reading thread, whichever thread scans the numbers.
    const ScopedBlockSize blocks(61);
    static const size_t kBlockSizes[] = {61, 131, 4096};
    const ScopedTuning tuning;
    std::mt19937 rng(20261206);
    // Some delimiters and qualifiers are units numbers are made of.
    static const char* const kDelimiters[] = {",",         "\t", ";", " ",   ",\t; ", "|",
                                              ",;|\t =:/", "",   "-", "e5.", "+"};
    static const char* const kQualifiers[] = {"\"", "'", "\"'", "", "."};
    static const char* const kDecimals[] = {".", ",", "."};
    TempDir dir;
    for (int round = 0; round < 400; ++round) {
        brisko::CEncodedBufferedFile::SetDefaultBlockSize(kBlockSizes[rng() % 3]);
        const std::string path = dir.Write("input.txt", RandomBody(rng, 50 + rng() % 400));
        const Choices c{static_cast<FileKind>(rng() % 5),
                        static_cast<int>(rng() % 32),
                        kDelimiters[rng() % std::size(kDelimiters)],
                        kQualifiers[rng() % std::size(kQualifiers)],
                        kDecimals[rng() % std::size(kDecimals)],
                        static_cast<int>(rng() % 3),
                        rng() % 4 == 0 ? static_cast<int>(rng() % 20) : -1,
                        rng() % 4 == 0 ? static_cast<int>(rng() % 5) : -1,
                        rng() % 5 == 0 ? static_cast<int>(1 + rng() % 60) : 0};
        // The number scan on either thread, or moving between them.
        FieldPipeline::Tuning t{1000 + rng() % 3000, 1 + rng() % 6,
                                rng() % 2 ? int64_t{0} : int64_t{1} << 40,
                                static_cast<FieldPipeline::ScanOn>(rng() % 3)};
        // Or chunks of the usual size, which shrink to a file this short.
        if (rng() % 4 == 0) {
            t.chunkUnits = FieldPipeline::Tuning{}.chunkUnits;
            t.chunkFields = FieldPipeline::Tuning{}.chunkFields;
        }
        FieldPipeline::SetTuning(t);
        const Outcome fast = Import(path, c, true);
        const Outcome plain = Import(path, c, false);
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(fast.status, plain.status);
        ASSERT_EQ(fast.failure, plain.failure);
        ASSERT_EQ(fast.records, plain.records);
        ASSERT_EQ(fast.events, plain.events);
    }
}

TEST(FastPaths, ProgressOfALongFileComesFromTheSamePlaces) {
    // Rows past several thousands, so that progress is reported from several chunks.
    std::mt19937 rng(7);
    std::string body;
    for (int r = 0; r < 40000; ++r)
        body += std::to_string(rng() % 100000) + ",\"t" + std::to_string(r % 13) + "\",," +
                std::to_string(r) + ".5\r\n";
    TempDir dir;
    const std::string path = dir.Write("long.csv", body);
    for (const int cancelAt : {0, 3, 17}) {
        RecordingManager fastManager, plainManager;
        fastManager.cancelAt = plainManager.cancelAt = cancelAt;
        DatImportFilter fast(fastManager, KIND_CSV), plain(plainManager, KIND_CSV);
        plain.fastPaths = false;
        EXPECT_EQ(fast.ImportFile(brisko::RString(path), false),
                  plain.ImportFile(brisko::RString(path), false));
        EXPECT_EQ(fastManager.records, plainManager.records);
        EXPECT_EQ(fastManager.events, plainManager.events);
        EXPECT_GT(plainManager.events.size(), cancelAt == 0 ? 40u : 3u);
    }
}

/// What the plain path decides for a field: the number test, one token, and the reader's value.
ScannedField PlainVerdict(const std::u16string& field, double& value) {
    if (!brisko::IsNumber(field.c_str()))
        return ScannedField::Text;
    const char16_t* q = field.c_str();
    while (IsSpace16(*q))
        ++q;
    while (*q && !IsSpace16(*q))
        ++q;
    while (IsSpace16(*q))
        ++q;
    if (*q)
        return ScannedField::Text;
    value = WideToDouble(field.c_str());
    return ScannedField::Number;
}

TEST(ScanNumberField, DecidesAsThePlainPathDoes) {
    struct Case {
        const char16_t* field;
        ScannedField verdict;
        double value;
    };
    const Case cases[] = {
        {u"12", ScannedField::Number, 12},
        {u"-0.5", ScannedField::Number, -0.5},
        {u"+.5", ScannedField::Number, 0.5},
        {u"5.", ScannedField::Number, 5},
        {u"1.5e3", ScannedField::Number, 1500},
        {u"1E-2", ScannedField::Number, 0.01},
        {u"1e", ScannedField::Text, 0},
        {u"1e+", ScannedField::Text, 0},
        {u".", ScannedField::Text, 0},
        {u"-", ScannedField::Text, 0},
        {u"12abc", ScannedField::Text, 0},
        {u"2024-01-21", ScannedField::Text, 0},
        {u"abc", ScannedField::Text, 0},
        {u"0.1", ScannedField::Number, 0.1},
        {u"9007199254740993", ScannedField::Number, 9007199254740992.0},
        {u"1e400", ScannedField::Number, __builtin_huge_val()},
        {u"1e-400", ScannedField::Number, 0},
        {u"0.000000000000000000000001", ScannedField::Number, 1e-24},
        {u"123456789012345", ScannedField::Number, 123456789012345.0},
        {u"12345678.9012345", ScannedField::Number, 12345678.9012345},
        {u"0000000000000000001.5", ScannedField::Number, 1.5},
        {u"-0", ScannedField::Number, -0.0},
        {u"1.5e-022", ScannedField::Number, 1.5e-22},
        {u"7E+22", ScannedField::Number, 7e22},
        {u"7e23", ScannedField::Number, 7e23},
        {u"1e0001", ScannedField::Number, 10},
        {u"1e004009012345678", ScannedField::Number, __builtin_huge_val()},
        {u"1e-004009012345678", ScannedField::Number, 0},
        {u"e5", ScannedField::Text, 0},
        {u"0.0000000000000000000000007", ScannedField::Number, 7e-25},
        // Digits of other scripts, and spaces that are not white space to the number test.
        {u"\u0661\u0662", ScannedField::Text, 0},
        {u"12\u00A0", ScannedField::Text, 0},
        {u"1\uFF12", ScannedField::Text, 0},
        // White space anywhere is the plain path's to judge.
        {u" 12", ScannedField::Unsure, 0},
        {u"12 ", ScannedField::Unsure, 0},
        {u"1 2", ScannedField::Unsure, 0},
    };
    for (const Case& c : cases) {
        double value = -1;
        EXPECT_EQ(ScanNumberField(c.field, std::char_traits<char16_t>::length(c.field), value),
                  c.verdict)
            << brisko::ToUtf8(c.field);
        if (c.verdict == ScannedField::Number) {
            EXPECT_EQ(value, c.value) << brisko::ToUtf8(c.field);
        }
    }

    // Random fields of the characters a number is made of.
    std::mt19937 rng(99);
    const char16_t alphabet[] = u"0123456789012345678901234567890.-+eE x";
    for (int i = 0; i < 200000; ++i) {
        std::u16string field;
        const size_t n = 1 + rng() % 24;
        for (size_t k = 0; k < n; ++k)
            field += alphabet[rng() % (std::size(alphabet) - 1)];
        double fast = 0, plain = 0;
        const ScannedField verdict = ScanNumberField(field.c_str(), field.size(), fast);
        // Scanned before a delimiter, where it was read, the field is judged alike.
        for (const char16_t after : {u',', u'\t', u'x'}) {
            const std::u16string inText = field + after + u"5";
            double inPlace = 0;
            const ScannedField v = ScanPlainNumber(inText.c_str(), field.size(), inPlace);
            if (v != ScannedField::Unscanned) {
                ASSERT_EQ(v, verdict) << brisko::ToUtf8(field);
                if (v == ScannedField::Number) {
                    ASSERT_EQ(inPlace, fast) << brisko::ToUtf8(field);
                }
            }
        }
        if (verdict == ScannedField::Unsure)
            continue;
        ASSERT_EQ(verdict, PlainVerdict(field, plain)) << brisko::ToUtf8(field);
        if (verdict == ScannedField::Number) {
            ASSERT_EQ(fast, plain) << brisko::ToUtf8(field);
            ASSERT_EQ(std::signbit(fast), std::signbit(plain)) << brisko::ToUtf8(field);
        }
    }
}

TEST(FromWide, ALengthGivesTheSameTextAsAZero) {
    std::mt19937 rng(3);
    const char16_t units[] = {u'a', u'Z', u'0', u' ', u'~', 0x7F, 0x80, 0xE9, 0x4E2D, 0, 1};
    for (int i = 0; i < 50000; ++i) {
        std::u16string text;
        const size_t n = rng() % 40;
        for (size_t k = 0; k < n; ++k)
            text += units[rng() % 8 == 0 ? rng() % std::size(units) : rng() % 5];
        brisko::RString withLength, withZero;
        withLength.FromWide(text.c_str(), text.size());
        withZero.FromWide(text.c_str());
        ASSERT_EQ(withLength.str(), withZero.str()) << i;
    }
}

}  // namespace
}  // namespace dornel::test
