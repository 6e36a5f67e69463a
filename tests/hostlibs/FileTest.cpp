// Tests of the file helpers: the text test, byte-order marks and paths.
#include "host/brisko/File.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <random>

#include "support/TestSupport.h"

namespace dornel::test {
namespace {

TEST(IsFileBinary, JudgesTheSampleAndRejectsWhatCannotBeRead) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        brisko::ConfidenceLevel expected;
    } cases[] = {
        {"plain.txt", "a,b\r\n1,2\n", brisko::CONF_TEXT},
        {"zero.bin", std::string("ab\0cd", 5), brisko::CONF_BINARY},
        {"controls.bin",
         "\x01\x02\x03\x04"
         "a",
         brisko::CONF_BINARY},
        {"utf16.txt", std::string("a\0b\0c\0", 6), brisko::CONF_TEXT},
        {"bom16.txt", std::string("\xFF\xFE\x00\x4e", 4), brisko::CONF_TEXT},
        {"one.txt",
         "abc\x01"
         "defghijklmnop",
         brisko::CONF_TEXT_LOW},
    };
    for (const Case& c : cases)
        EXPECT_EQ(brisko::IsFileBinary(brisko::RString(dir.Write(c.name, c.bytes)), 512),
                  c.expected)
            << c.name;
    EXPECT_EQ(brisko::IsFileBinary(brisko::RString(dir.Path("missing")), 512),
              brisko::CONF_UNREADABLE);
    EXPECT_EQ(brisko::IsFileBinary(brisko::RString(dir.Path("")), 512), brisko::CONF_UNREADABLE);
}

TEST(FileHelpers, SizesMarksAndPaths) {
    TempDir dir;
    EXPECT_EQ(brisko::GetBOMInfo(brisko::RString(dir.Write("a", "\xEF\xBB\xBFx"))), 3);
    EXPECT_EQ(brisko::GetBOMInfo(brisko::RString(dir.Write("b", "\xFF\xFEx\0"))), 2);
    EXPECT_EQ(brisko::GetBOMInfo(brisko::RString(dir.Write("c", "xyz"))), 0);
    EXPECT_EQ(brisko::GetFileSize(brisko::RString(dir.Write("d", "12345"))), 5);
    EXPECT_EQ(brisko::GetFileSize(brisko::RString(dir.Path("none"))), -1);
    EXPECT_TRUE(brisko::RemoveFile(brisko::RString(dir.Path("d"))));
    EXPECT_FALSE(brisko::RemoveFile(brisko::RString(dir.Path("d"))));

    EXPECT_EQ(brisko::CPath("dir/sub/data.csv").GetNameAndExtension().str(), "data.csv");
    EXPECT_EQ(brisko::CPath("C:\\dir\\data.CSV").GetExtension().str(), ".CSV");
    EXPECT_EQ(brisko::CPath("dir.v2/noext").GetExtension().str(), "");
}

TEST(CFile, ReadsSeeksAndReportsFailure) {
    TempDir dir;
    brisko::CFile f(brisko::RString(dir.Write("f", "abcdef")), 1, 3, 1);
    EXPECT_EQ(f.GetLength(), 6);
    EXPECT_EQ(f.Seek(2, 0), 2);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 4u);
    EXPECT_STREQ(buf, "cdef");
    brisko::CFile missing(brisko::RString(dir.Path("none")), 1, 3, 1);
    EXPECT_LT(missing.GetLength(), 0);
    EXPECT_EQ(missing.Read(buf, 8), 0u);
}

}  // namespace
}  // namespace dornel::test
