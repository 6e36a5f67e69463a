// Tests of the block-decoding text file: encodings both ways, byte-order marks, block edges.
#include "host/brisko/EncodedBufferedFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "host/brisko/Exception.h"
#include "hostlibs/ReaderTestSupport.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

using brisko::CEncodedBufferedFile;
using brisko::WString;

constexpr size_t kBlockSizes[] = {1, 2, 3, 7, 64 * 1024};

WString ReadFile(const std::string& path, int encoding, uint32_t page, bool impose,
                 int* unicode = nullptr) {
    CEncodedBufferedFile f(brisko::RString(path), "r", 3, encoding, page, impose, false);
    if (unicode)
        *unicode = f.m_isUnicode;
    return ReadAll(f);
}

struct RoundTripCase {
    const char* name;
    int encoding;
    uint32_t page;
    WString text;
    std::string expectedStart;  // the first bytes of the written file
};

class EncodedRoundTrip : public ::testing::TestWithParam<size_t> {};

TEST_P(EncodedRoundTrip, EveryEncodingReadsBackWhatWasWritten) {
    const RoundTripCase cases[] = {
        {"utf8", brisko::TE_UTF8, 0, u"h\u00e9llo \U0001D11E w\u00f6rld\r\nend",
         "\xEF\xBB\xBFh\xC3\xA9"},
        {"utf16", brisko::TE_UTF16LE, 0, u"h\u00e9llo \U0001D11E\nx",
         std::string("\xFF\xFEh\0\xE9\0", 6)},
        {"cp1252", brisko::TE_ANSI, 1252, u"caf\u00e9 \u20ac 5", "caf\xE9 \x80"},
        {"cp932", brisko::TE_ANSI, 932, u"\u65e5\u672c abc", "\x93\xfa\x96\x7b"},
        {"cp65001", brisko::TE_ANSI, 65001, u"\u00e9t\u00e9", "\xC3\xA9t"},
    };
    BlockSize block(GetParam());
    TempDir dir;
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Path(std::string(c.name) + ".txt");
        {
            CEncodedBufferedFile out(brisko::RString(path), "w", 3, c.encoding, c.page, false,
                                     false);
            out.WriteString(c.text);
            out.Close();
        }
        EXPECT_EQ(ReadBytes(path).substr(0, c.expectedStart.size()), c.expectedStart);
        EXPECT_EQ(ReadFile(path, c.encoding, c.page, true), c.text);
    }
}

TEST_P(EncodedRoundTrip, ByteOrderMarksDecideUnlessTheEncodingIsImposed) {
    BlockSize block(GetParam());
    TempDir dir;
    const std::string utf8 = dir.Write("u8.txt", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9");
    const std::string utf16 = dir.Write("u16.txt", std::string("\xFF\xFE\xE9\0t\0", 6));
    const std::string bare16 = dir.Write("b16.txt", std::string("a\0,\0b\0\n\0", 8));
    const std::string ansi = dir.Write("ansi.txt", "caf\xE9");
    int unicode = -1;
    EXPECT_EQ(ReadFile(utf8, brisko::TE_ANSI, 1252, false, &unicode), u"\u00e9t\u00e9");
    EXPECT_EQ(unicode, 0);
    EXPECT_EQ(ReadFile(utf16, brisko::TE_ANSI, 0, false, &unicode), u"\u00e9t");
    EXPECT_EQ(unicode, 1);
    EXPECT_EQ(ReadFile(bare16, brisko::TE_ANSI, 0, false, &unicode), u"a,b\n");
    EXPECT_EQ(unicode, 1);
    EXPECT_EQ(ReadFile(ansi, brisko::TE_ANSI, 1252, false, &unicode), u"caf\u00e9");
    EXPECT_EQ(unicode, 0);
    // Imposed 8-bit text: the mark's bytes are characters of the page.
    EXPECT_EQ(ReadFile(utf8, brisko::TE_ANSI, 1252, true),
              u"\u00ef\u00bb\u00bf\u00c3\u00a9t\u00c3\u00a9");
    // Imposed UTF-16 skips a mark of its own encoding.
    EXPECT_EQ(ReadFile(utf16, brisko::TE_UTF16LE, 0, true), u"\u00e9t");
}

TEST_P(EncodedRoundTrip, BrokenBytesBecomeReplacementCharacters) {
    BlockSize block(GetParam());
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        int encoding;
        WString expected;
    } cases[] = {
        {"stray byte",
         "a\xFF"
         "b",
         brisko::TE_UTF8, u"a\uFFFDb"},
        {"cut at end", "ab\xE2\x82", brisko::TE_UTF8, u"ab\uFFFD"},
        {"overlong", "\xC0\xAFx", brisko::TE_UTF8, u"\uFFFDx"},
        {"bad continuation", "\xE2(x", brisko::TE_UTF8, u"\uFFFD(x"},
        {"real FFFF",
         "a\xEF\xBF\xBF"
         "b",
         brisko::TE_UTF8, u"a\uFFFDb"},
        {"odd UTF-16 byte", std::string("a\0b", 3), brisko::TE_UTF16LE, u"a\uFFFD"},
        {"UTF-16 FFFF",
         std::string("\xFF\xFF"
                     "a\0",
                     4),
         brisko::TE_UTF16LE, u"\uFFFDa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("broken.txt", c.bytes);
        EXPECT_EQ(ReadFile(path, c.encoding, 0, true), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, EncodedRoundTrip, ::testing::ValuesIn(kBlockSizes));

TEST(EncodedBufferedFile, UnGetcAndSeekToBeginSkipTheMarkAgain) {
    BlockSize block(2);
    TempDir dir;
    const std::string path = dir.Write("bom.txt",
                                       "\xEF\xBB\xBF"
                                       "abc");
    CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 0, false, false);
    EXPECT_EQ(f.Getc(), u'a');
    EXPECT_EQ(f.Getc(), u'b');
    f.UnGetc(u'b');
    EXPECT_EQ(f.Getc(), u'b');
    EXPECT_EQ(f.Getc(), u'c');
    EXPECT_EQ(f.Getc(), brisko::kEndOfFile);
    EXPECT_EQ(f.Getc(), brisko::kEndOfFile);
    EXPECT_EQ(f.GetPosition(), f.GetLength());
    f.SeekToBegin();
    EXPECT_EQ(ReadAll(f), u"abc");
}

// Long files are decoded ahead on a second thread; reading, seeking back and changing the page
// must not tell the difference from decoding on demand.
class ReadAhead : public ::testing::TestWithParam<size_t> {
  protected:
    /// 8-bit text whose bytes above 0x7F read differently in pages 1252 and 1251.
    static std::string Text(size_t bytes) {
        std::string s;
        for (size_t i = 0; s.size() < bytes; ++i)
            s += "line " + std::to_string(i) + " caf\xE9;\n";
        return s;
    }
    static WString Widen(const std::string& bytes, uint32_t page) {
        return brisko::DecodeCodePage(page, bytes.data(), bytes.size());
    }
};

TEST_P(ReadAhead, ReadsTheWholeFileWithPositionsThatOnlyGrow) {
    BlockSize block(GetParam());
    TempDir dir;
    const std::string bytes = Text(GetParam() * 40);
    const std::string path = dir.Write("long.txt", bytes);
    CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 1252, true, false);
    WString read;
    int64_t last = 0;
    for (char16_t c; (c = f.Getc()) != brisko::kEndOfFile;) {
        read += c;
        const int64_t position = f.GetPosition();
        ASSERT_GE(position, last);
        last = position;
    }
    EXPECT_EQ(read, Widen(bytes, 1252));
    EXPECT_EQ(f.GetPosition(), static_cast<int64_t>(bytes.size()));
}

TEST_P(ReadAhead, SeekingBackStartsAgainFromTheFirstCharacter) {
    BlockSize block(GetParam());
    TempDir dir;
    const std::string bytes = Text(GetParam() * 40);
    const std::string path = dir.Write("long.txt", bytes);
    CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 1252, true, false);
    for (size_t i = 0; i < GetParam() * 3 + 1; ++i)
        f.Getc();
    f.SeekToBegin();
    EXPECT_EQ(ReadAll(f), Widen(bytes, 1252));
}

TEST_P(ReadAhead, ANewCodePageAppliesFromTheBlockAfterTheCurrentOne) {
    BlockSize block(GetParam());
    TempDir dir;
    const std::string bytes = Text(GetParam() * 40);
    const std::string path = dir.Write("long.txt", bytes);
    CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 1252, true, false);
    // Two whole blocks, then one character into the third.
    const size_t read = GetParam() * 2 + 1;
    WString got;
    for (size_t i = 0; i < read; ++i)
        got += f.Getc();
    f.SetCodePage(1251);
    got += ReadAll(f);
    const size_t switchAt = GetParam() * 3;
    EXPECT_EQ(got, Widen(bytes.substr(0, switchAt), 1252) + Widen(bytes.substr(switchAt), 1251));
}

TEST_P(ReadAhead, AsciiRunsOfEveryLengthBetweenOtherCharactersDecode) {
    BlockSize block(GetParam());
    // Runs of 0 to 40 ASCII characters between two-, three- and four-byte characters, so
    // that runs start and end at every offset of the widened words and of the blocks.
    struct Piece {
        const char* utf8;
        const char16_t* utf16;
    };
    const Piece others[] = {
        {"\xC3\xA9", u"\u00e9"}, {"\xE2\x82\xAC", u"\u20ac"}, {"\xF0\x9F\x98\x80", u"\U0001F600"}};
    std::string bytes;
    WString expected;
    for (int i = 0; bytes.size() < GetParam() * 40; ++i) {
        for (int k = 0; k < i % 41; ++k) {
            const char c = static_cast<char>('!' + (i + k) % 90);
            bytes += c;
            expected += static_cast<char16_t>(c);
        }
        bytes += others[i % 3].utf8;
        expected += others[i % 3].utf16;
    }
    TempDir dir;
    const std::string path = dir.Write("runs.txt", bytes);
    EXPECT_EQ(ReadFile(path, brisko::TE_UTF8, 0, true), expected);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, ReadAhead, ::testing::Values(7, 64 * 1024));

#if !defined(_WIN32)
TEST(EncodedBufferedFile, APipeIsDecidedOnTheSameSampleAsAFile) {
    // A pipe says it is empty, as a file that grows says less than it has; the sample must
    // still be all of it, or its first 512 KB.
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string latin, utf16;
    for (int i = 0; latin.size() < 9000; ++i)
        latin += i % 50 == 49 ? "caf\xE9 cr\xE8me\n" : "plain words, and more words\n";
    for (char c : std::string(3000, 'x') + "\xE9")
        utf16 += std::string(1, c) + '\0';
    const Case cases[] = {
        {"a short UTF-8 text", "a,b\n\xC3\xA9,1\n"},
        {"a long 8-bit text", latin},
        {"UTF-16 without a mark", utf16},
        {"8-bit text past the sample", std::string(600 * 1024, 'a') + "\xE9\n"},
    };
    // A write to a pipe nobody reads any more fails instead of ending the process.
    struct IgnoreBrokenPipes {
        void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
        ~IgnoreBrokenPipes() { std::signal(SIGPIPE, previous); }
    } ignore;
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.Write("file.txt", c.bytes);
        const std::string fifo = dir.Path("pipe");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::thread writer([&] {
            if (std::FILE* f = std::fopen(fifo.c_str(), "wb")) {
                std::fwrite(c.bytes.data(), 1, c.bytes.size(), f);
                std::fclose(f);
            }
        });
        brisko::EncodingDecision piped;
        try {
            CEncodedBufferedFile fromPipe(brisko::RString(fifo), "r", 3, brisko::TE_ANY, 0, false,
                                          false);
            piped = fromPipe.GetDecision();
        } catch (const brisko::Exception& e) {
            ADD_FAILURE() << e.what();
        }
        // Reading on takes the file back to its start, which a pipe cannot do: the host spools
        // what comes through one. Only the decision is compared; once the reader is gone, what
        // the writer has left fails to be written, and it ends.
        writer.join();
        CEncodedBufferedFile fromFile(brisko::RString(file), "r", 3, brisko::TE_ANY, 0, false,
                                      false);
        EXPECT_EQ(piped.Name(), fromFile.GetDecision().Name());
        EXPECT_EQ(piped.why, fromFile.GetDecision().why);
        std::filesystem::remove(fifo);
    }
}
#endif

TEST(EncodedBufferedFile, OpeningWhatIsNoFileThrowsNamingThePath) {
    TempDir dir;
    const std::string missing = dir.Path("missing.txt");
    for (const std::string& path : {missing, dir.Path("")}) {
        try {
            CEncodedBufferedFile f(brisko::RString(path), "r", 3, 0, 0, false, false);
            ADD_FAILURE() << "opened " << path;
        } catch (const brisko::Exception& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
}

TEST(EncodedBufferedFile, AFileThatShrinksWhileReadIsAnError) {
    BlockSize block(4);
    TempDir dir;
    // Larger than any buffer below the reader, so that the cut is seen.
    const std::string path = dir.Write("shrink.txt", "0123" + std::string(200000, 'x'));
    CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 65001, true, false);
    EXPECT_EQ(f.Getc(), u'0');
    std::filesystem::resize_file(path, 6);
    try {
        ReadAll(f);
        ADD_FAILURE() << "read past a cut";
    } catch (const brisko::Exception& e) {
        EXPECT_NE(std::string(e.what()).find("became shorter"), std::string::npos) << e.what();
    }
}

TEST(EncodedBufferedFile, AShortFileThatGrowsAfterItIsOpenedIsReadToItsNewEnd) {
    // A short file is read in a block of about the length it had at the opening; what was
    // appended since, less or more than the usual block, is read all the same.
    TempDir dir;
    for (const size_t added : {size_t{3000}, size_t{70000}, size_t{300000}}) {
        const std::string path = dir.Write("grows.txt", "a,b\n");
        CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 65001, true, false);
        std::string more;
        for (size_t i = 0; more.size() < added; ++i)
            more += std::to_string(i) + ",x\n";
        std::FILE* out = std::fopen(path.c_str(), "ab");
        ASSERT_NE(out, nullptr);
        std::fwrite(more.data(), 1, more.size(), out);
        std::fclose(out);
        const WString read = ReadAll(f);
        EXPECT_EQ(read, WString(u"a,b\n") + WString(more.begin(), more.end())) << added;
    }
}

TEST(EncodedBufferedFile, LongTextsAreWrittenWholeWithPairsKeptTogether) {
    // Pairs stand at every offset around the output's piece and block sizes, and the text is
    // written both at once and a few units at a time.
    WString text;
    std::string utf8, utf16;
    for (size_t i = 0; text.size() < 150000; ++i) {
        if (i % 4093 == 0 || (text.size() >= 16380 && text.size() <= 16390)) {
            text += u"\U0001F600";
            utf8 += "\xF0\x9F\x98\x80";
            utf16 += std::string("\x3D\xD8\x00\xDE", 4);
        } else if (i % 7 == 0) {
            text += u"\u00e9";
            utf8 += "\xC3\xA9";
            utf16 += std::string("\xE9\x00", 2);
        } else {
            const char c = static_cast<char>('a' + i % 26);
            text += static_cast<char16_t>(c);
            utf8 += c;
            utf16 += std::string(1, c) + '\0';
        }
    }
    TempDir dir;
    for (size_t step : {text.size(), size_t{5}, size_t{1}}) {
        for (int encoding : {brisko::TE_UTF8, brisko::TE_UTF16LE}) {
            const std::string path = dir.Path("long.txt");
            {
                CEncodedBufferedFile f(brisko::RString(path), "w", 3, encoding, 0, false, false);
                for (size_t at = 0; at < text.size(); at += step)
                    f.WriteString(text.data() + at, std::min(step, text.size() - at));
                f.Close();
            }
            const std::string expected = encoding == brisko::TE_UTF8
                                             ? "\xEF\xBB\xBF" + utf8
                                             : std::string("\xFF\xFE") + utf16;
            const std::string written = ReadBytes(path);
            const auto where =
                std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
            EXPECT_TRUE(written == expected)
                << "step " << step << ", encoding " << encoding << ": " << written.size()
                << " bytes for " << expected.size() << ", first difference at "
                << (where.first - written.begin());
        }
    }
}

TEST(EncodedBufferedFile, AFileOfManyBlocksIsWrittenWholeToAFileAndThroughAPipe) {
    // Tens of megabytes: the written part of a file that replaces another is handed to the
    // system on its way, and a pipe is written in place; neither may lose, repeat or move a
    // byte.
    std::string line;
    WString text;
    std::string expected;
    for (int i = 0; expected.size() < (20u << 20); ++i) {
        line = std::to_string(i) + ",\"row " + std::to_string(i * 7) + "\",0." +
               std::to_string(i % 1000) + "\n";
        expected += line;
        text.append(line.begin(), line.end());
    }
    TempDir dir;
    const std::string path = dir.Write("big.csv", "an older file");
    {
        CEncodedBufferedFile f(brisko::RString(path), "w", 3, brisko::TE_ANSI, 0, false, false);
        for (size_t at = 0; at < text.size(); at += 4000)
            f.WriteString(text.data() + at, std::min<size_t>(4000, text.size() - at));
        f.Close();
    }
    EXPECT_TRUE(ReadBytes(path) == expected) << ReadBytes(path).size() << " bytes";
#if !defined(_WIN32)
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::string piped;
    std::thread drain([&] {
        char buffer[65536];
        for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
            piped.append(buffer, static_cast<size_t>(n));
    });
    {
        CEncodedBufferedFile f(brisko::RString("/proc/self/fd/" + std::to_string(ends[1])), "w", 3,
                               brisko::TE_ANSI, 0, false, false);
        f.WriteString(text);
        f.Close();
    }
    close(ends[1]);
    drain.join();
    close(ends[0]);
    EXPECT_TRUE(piped == expected) << piped.size() << " bytes through the pipe";
#endif
}

TEST(EncodedBufferedFile, ShortTextsWithOneOtherUnitAnywhereAreWrittenWhole) {
    // Short ASCII is copied in pieces of four or eight units, the last overlapping the ones
    // before; a unit beyond ASCII at any place sends the whole text the general way.
    struct Other {
        char16_t unit;
        const char* utf8;
    };
    static const Other kOthers[] = {{u'\u0080', "\xC2\x80"},
                                    {u'\u00e9', "\xC3\xA9"},
                                    {u'\u0100', "\xC4\x80"},
                                    {u'\u7f41', "\xE7\xBD\x81"}};
    TempDir dir;
    const std::string path = dir.Path("short.txt");
    std::string expected = "\xEF\xBB\xBF";
    {
        CEncodedBufferedFile f(brisko::RString(path), "w", 3, brisko::TE_UTF8, 0, false, false);
        for (size_t length = 0; length <= 40; ++length) {
            for (size_t at = 0; at <= length; ++at) {
                const Other& other = kOthers[(length + at) % std::size(kOthers)];
                WString text;
                for (size_t i = 0; i < length; ++i) {
                    const char c = static_cast<char>('A' + (i + length) % 58);
                    text += i == at ? other.unit : static_cast<char16_t>(c);
                    expected += i == at ? std::string(other.utf8) : std::string(1, c);
                }
                f.WriteString(text.data(), text.size());
            }
        }
        f.Close();
    }
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(EncodedBufferedFile, WritingAfterCloseOrAbortIsAnErrorAndChangesNothing) {
    TempDir dir;
    for (int encoding : {brisko::TE_ANSI, brisko::TE_UTF8, brisko::TE_UTF16LE}) {
        for (bool abort : {false, true}) {
            const std::string path = dir.Path("closed.txt");
            CEncodedBufferedFile f(brisko::RString(path), "w", 3, encoding, 0, false, false);
            f.WriteString(u"a,b");
            if (abort)
                f.Abort(true);
            else
                f.Close();
            const std::string after = std::filesystem::exists(path) ? ReadBytes(path) : "";
            EXPECT_THROW(f.WriteString(u"late"), brisko::Exception) << encoding << abort;
            EXPECT_EQ(std::filesystem::exists(path) ? ReadBytes(path) : "", after);
            std::filesystem::remove(path);
        }
    }
}

TEST(EncodedBufferedFile, AbortDeletesAFileBeingWritten) {
    TempDir dir;
    const std::string path = dir.Path("out.txt");
    {
        CEncodedBufferedFile f(brisko::RString(path), "w", 3, brisko::TE_ANSI, 0, false, false);
        f.WriteString(u"partial");
        f.Abort(true);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

#if !defined(_WIN32)
// Pages that shift between one and two bytes, or carry bits from one character to the next.
constexpr uint32_t kShiftingPages[] = {65000, 50220, 50225};

// Writes the pieces to path in page, one call each, as an export writes its fields.
void WriteInPage(const std::string& path, uint32_t page, const std::vector<WString>& pieces) {
    CEncodedBufferedFile f(brisko::RString(path), "w", 3, brisko::TE_ANSI, page, false, false);
    for (const WString& piece : pieces)
        f.WriteString(piece);
    f.Close();
}

TEST(EncodedBufferedFile, AFileInAPageThatShiftsIsWrittenWholeAcrossItsBlocks) {
    // Fields that end in Japanese or in ASCII, written one by one as an export writes them, into
    // hundreds of blocks of output, and read back with the same page. A block ends where a call
    // ends, here and there in the middle of a line.
    std::vector<WString> pieces;
    WString text;
    for (int i = 0; text.size() < 400000; ++i) {
        pieces.push_back(u"\u3042\u3044\u3046" + brisko::FromUtf8(std::to_string(i)) + u"\u65e5");
        pieces.push_back(u"\tx+y\n");
        text += pieces[pieces.size() - 2] + pieces.back();
    }
    TempDir dir;
    for (const uint32_t page : kShiftingPages) {
        SCOPED_TRACE(page);
        const std::string path = dir.Path("shifting.txt");
        WriteInPage(path, page, pieces);
        const WString back = ReadFile(path, brisko::TE_ANSI, page, true);
        const auto where = std::mismatch(back.begin(), back.end(), text.begin(), text.end());
        EXPECT_TRUE(back == text) << back.size() << " units read for " << text.size()
                                  << ", the first difference at " << (where.first - back.begin());
    }
}

TEST(EncodedBufferedFile, GoingBackToTheBeginningOfAFileInAPageThatShiftsReadsItAsAtFirst) {
    // Blocks end inside runs of Japanese: the converter is left shifted, or holding bits.
    WString text;
    for (int i = 0; text.size() < 3000; ++i)
        text += u"a" + brisko::FromUtf8(std::to_string(i)) + u"\t\u3042\u3044\u3046\u65e5\u672c\n";
    BlockSize block(61);
    TempDir dir;
    for (const uint32_t page : kShiftingPages) {
        SCOPED_TRACE(page);
        const std::string path = dir.Path("shifting.txt");
        WriteInPage(path, page, {text});
        CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, page, true, false);
        for (int i = 0; i < 500; ++i)
            f.Getc();
        f.SeekToBegin();
        EXPECT_TRUE(ReadAll(f) == text);
    }
}

TEST(EncodedBufferedFile, AVietnameseLetterAndItsMarkAreJoinedWhereverABlockEnds) {
    // Words longer than any run a block might hold back, each letter followed by a tone mark
    // (0xEC, acute) here and there, read in blocks of every small size: each block's end falls
    // between a letter and its mark somewhere.
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
        bytes += i % 3 == 0 ? "nghia" : "bcdefghijklmnopqrstuva";
        bytes += static_cast<char>(i % 2 == 0 ? 0xEC : 0xCC);
        bytes += i % 5 == 0 ? " " : "xy";
    }
    const WString whole = brisko::DecodeCodePage(1258, bytes.data(), bytes.size());
    ASSERT_NE(whole.find(u'\u00E1'), WString::npos);  // a and an acute, joined
    TempDir dir;
    const std::string path = dir.Write("vi.txt", bytes);
    for (size_t size = 2; size <= 40; ++size) {
        BlockSize block(size);
        EXPECT_TRUE(ReadFile(path, brisko::TE_ANSI, 1258, true) == whole) << "blocks of " << size;
    }
}

TEST(EncodedBufferedFile, AFaultyUtf7TextReadsAsOneWhereverItsBlocksEnd) {
    // The bits of a UTF-7 run can make a low surrogate with no high one before it: one
    // replacement, noted at the byte that completed it, and the bits after it go on. A byte
    // outside the run's alphabet ends the run and is read as itself.
    const struct {
        std::string bytes;
        WString text;
        int64_t firstUndecodable;
    } cases[] = {
        {"+AGHcAABi-", u"a\uFFFDb", 6},            // a, a lone low surrogate, b
        {"x+3ADYPd4A-", u"x\uFFFD\U0001F600", 4},  // then a whole pair
        {"+AGE\377AGI-", u"a\uFFFDAGI-", 4},       // a byte no UTF-7 text has
        {"+c9ffGab", u"\u73D7\uFFFD", 6},          // one, then a run cut off by the end
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_TRUE(brisko::DecodeCodePage(65000, c.bytes.data(), c.bytes.size()) == c.text);
        const std::string path = dir.Write("seven.txt", c.bytes);
        for (size_t size = 1; size <= c.bytes.size(); ++size) {
            BlockSize block(size);
            CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 65000, true,
                                   false);
            EXPECT_TRUE(ReadAll(f) == c.text) << "blocks of " << size;
            EXPECT_EQ(f.GetDecision().undecodable, 1u) << "blocks of " << size;
            EXPECT_EQ(f.GetDecision().firstUndecodable, c.firstUndecodable) << "blocks of " << size;
        }
    }
}
#endif

TEST(EncodedBufferedFile, ACodePageThisSystemLacksIsAClearError) {
    TempDir dir;
    const std::string path = dir.Write("a.txt", "abc");
    CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANSI, 0, true, false);
    EXPECT_THROW(f.SetCodePage(99999), brisko::Exception);
}

}  // namespace
}  // namespace dornel::test
