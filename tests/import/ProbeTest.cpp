// Tests of the file probe: extensions against format keys, binary files, failures.
#include <gtest/gtest.h>

#include "import/ImportTestSupport.h"

namespace dornel::test {
namespace {

TEST(ProbeFile, JudgesTheExtensionAgainstTheFormatKey) {
    TempDir dir;
    struct Case {
        const char* file;
        std::string bytes;
        const char* key;
        int expected;
    } cases[] = {
        {"map.bln", "1,2\n", "blnw", 1},
        {"map.bln", "1,2\n", "bln", 1},
        {"map.bna", "1,2\n", "bnaw", 1},
        {"map.bna", "1,2\n", "bln", 0},
        {"run.log", "a b\n", "txt", 2},
        {"run.log", "a b\n", "csv", 0},
        {"run.log", "a b\n", "dat", 0},
        {"noext", "a b\n", "txt", 2},
        {"noext", "a b\n", "dat", 0},
        {"DATA.DAT", "1 2\n", "dat", 1},
        {"x.csv", "1,2\n", "CSV", 1},
        {"x.csv", "1,2\n", "txt", 2},
        {"empty.csv", "", "csv", 1},
        {"empty.xyz", "", "txt", 2},
        {"pic.csv", std::string("\x89PNG\r\n\x1a\n\0\0", 10), "csv", 0},
        {"dir.v1/x", "1\n", "txt", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " under " + c.key);
        std::filesystem::create_directories(std::filesystem::path(dir.Path(c.file)).parent_path());
        const std::string path = dir.Write(c.file, c.bytes);
        RecordingManager m;
        m.SetFormatKey(RString(c.key));
        DatImportFilter f(m, KIND_TXT);
        EXPECT_EQ(f.ProbeFile(RString(path)), c.expected);
    }
}

TEST(ProbeFile, AnythingThatCannotBeOpenedIsNotForThisFormat) {
    TempDir dir;
    RecordingManager m;
    m.SetFormatKey(RString("txt"));
    DatImportFilter f(m, KIND_TXT);
    EXPECT_EQ(f.ProbeFile(RString(dir.Path("missing.txt"))), 0);
    EXPECT_EQ(f.ProbeFile(RString(dir.Path(""))), 0);
}

}  // namespace
}  // namespace dornel::test
