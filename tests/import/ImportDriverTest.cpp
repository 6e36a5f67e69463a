// Tests of the import driver: records and host calls of whole imports by kind, limits, progress,
// refusals, memory blocks and the preview.
#include <gtest/gtest.h>

#include "host/brisko/Exception.h"
#include "host/qorvix/IoFilter.h"
#include "import/ImportTestSupport.h"

namespace dornel::test {
namespace {

using Records = std::vector<std::string>;

struct Import {
    explicit Import(FileKind kind) : filter(manager, kind) {}
    int File(const std::string& name, const std::string& bytes, bool interactive = false) {
        path = dir.Write(name, bytes);
        return filter.ImportFile(RString(path), interactive);
    }
    TempDir dir;
    RecordingManager manager;
    DatImportFilter filter;
    std::string path;
};

/// Only the cell records, without begin and end.
Records Cells(const Records& all) {
    Records out;
    for (const std::string& r : all)
        if (r != "begin" && r != "end")
            out.push_back(r);
    return out;
}

TEST(ImportFile, AnEmptyFileIsDoneWithoutAnyRecord) {
    Import i(KIND_TXT);
    EXPECT_EQ(i.File("empty.txt", ""), qorvix::IMPORT_DONE);
    EXPECT_TRUE(i.manager.records.empty());
    EXPECT_TRUE(i.manager.events.empty());
    EXPECT_EQ(i.filter.reading.reader, nullptr);
}

TEST(ImportFile, KindsSettleTheirOwnRules) {
    struct Case {
        const char* name;
        FileKind kind;
        const char* decimal;
        std::string input;
        Records cells;
    } cases[] = {
        {"CSV splits at commas",
         KIND_CSV,
         ".",
         "1.5,\"a;b\"\n",
         {"number 0 0 1.5", "text 0 1 a;b"}},
        {"CSV with decimal comma splits at semicolons",
         KIND_CSV,
         ",",
         "1,5;x\n",
         {"number 0 0 1.5", "text 0 1 x"}},
        {"BNA headers and coordinates",
         KIND_BNA,
         ".",
         "\"Lake\",2\n1.5 2.5\n3,4\n\"Isle\",1\n0;0\n",
         {"text 0 0 Lake", "number 0 1 2", "number 1 0 1.5", "number 1 1 2.5", "number 2 0 3",
          "number 2 1 4", "text 3 0 Isle", "number 3 1 1", "number 4 0 0", "number 4 1 0"}},
        {"TXT detects the tab",
         KIND_TXT,
         ".",
         "a,b\tc\td\n1,5\t2\t3\n",
         {"text 0 0 a,b", "text 0 1 c", "text 0 2 d", "text 1 0 1,5", "number 1 1 2",
          "number 1 2 3"}},
        {"DAT detects the semicolon",
         KIND_DAT,
         ".",
         "1;2;3\n4;5;6\n",
         {"number 0 0 1", "number 0 1 2", "number 0 2 3", "number 1 0 4", "number 1 1 5",
          "number 1 2 6"}},
        {"blank lines count as rows", KIND_TXT, ".", "1\n\n\n2", {"number 0 0 1", "number 3 0 2"}},
        {"quoted blanks before the closer go",
         KIND_CSV,
         ".",
         "\"ab  \",x  \n",
         {"text 0 0 ab", "text 0 1 x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Import i(c.kind);
        i.manager.IoManager::SetOption("Delimiter", "should be ignored by fixed kinds", false);
        if (c.kind == KIND_TXT || c.kind == KIND_DAT)
            i.manager.IoManager::SetOption("Delimiter", ",\t; ", false);
        i.filter.decimalSymbol = RString(c.decimal);
        EXPECT_EQ(i.File("data.txt", c.input), qorvix::IMPORT_DONE);
        ASSERT_GE(i.manager.records.size(), 2u);
        EXPECT_EQ(i.manager.records.front(), "begin");
        EXPECT_EQ(i.manager.records.back(), "end");
        EXPECT_EQ(Cells(i.manager.records), c.cells);
    }
}

TEST(ImportFile, ProgressEveryThousandRowsAndTheMessage) {
    std::string lines;
    for (int r = 0; r < 2500; ++r)
        lines += std::to_string(r) + "\n";
    Import i(KIND_CSV);
    EXPECT_EQ(i.File("rows.csv", lines), qorvix::IMPORT_DONE);
    ASSERT_EQ(i.manager.events.size(), 5u);
    EXPECT_EQ(i.manager.events[0], "start");
    EXPECT_EQ(i.manager.events[1], "message Importing rows.csv");
    EXPECT_EQ(i.manager.events[2].rfind("proportion 0.", 0), 0u) << i.manager.events[2];
    EXPECT_EQ(i.manager.events[3].rfind("proportion ", 0), 0u);
    EXPECT_EQ(i.manager.events[4], "stop");
    EXPECT_EQ(i.manager.records.size(), 2502u);
}

TEST(ImportFile, LimitsStartRowAndStops) {
    struct Case {
        const char* name;
        const char* options;
        int refuseAt;
        int cancelAt;
        std::string input;
        int status;
        Records records;
    } cases[] = {
        {"MaxRow 3",
         "MaxRow=3",
         0,
         0,
         "1\n2\n3\n4\n5\n",
         0,
         {"begin", "number 0 0 1", "number 1 0 2", "number 2 0 3", "end"}},
        {"MaxRow 0 still reads one row",
         "MaxRow=0",
         0,
         0,
         "1\n2\n",
         0,
         {"begin", "number 0 0 1", "end"}},
        {"negative MaxRow is no limit",
         "MaxRow=-1",
         0,
         0,
         "1\n2",
         0,
         {"begin", "number 0 0 1", "number 1 0 2", "end"}},
        {"MaxCol drops the rest of the line",
         "MaxCol=2",
         0,
         0,
         "1,2,3,4\n5\n",
         0,
         {"begin", "number 0 0 1", "number 0 1 2", "number 1 0 5", "end"}},
        {"StartRow skips heading lines",
         "StartRow=2",
         0,
         0,
         "title\nunits\n10\n20\n",
         0,
         {"begin", "number 0 0 10", "number 1 0 20", "end"}},
        {"begin refused", "", 1, 0, "1\n", 1, {"refused begin"}},
        {"cell refused", "", 3, 0, "1,2,3\n", 1, {"begin", "number 0 0 1", "refused number 0 1 2"}},
        {"end refused", "", 3, 0, "1\n", 1, {"begin", "number 0 0 1", "refused end"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Import i(KIND_TXT);
        i.filter.ApplyStringOptions(RString(std::string("Delimiter=comma;") + c.options));
        i.manager.refuseAt = c.refuseAt;
        EXPECT_EQ(i.File("d.txt", c.input), c.status);
        EXPECT_EQ(i.manager.records, c.records);
        EXPECT_EQ(i.manager.events.back(), "stop");
    }
}

TEST(ImportFile, CancellingTheProgressStops) {
    std::string lines;
    for (int r = 0; r < 3000; ++r)
        lines += "1\n";
    Import i(KIND_CSV);
    i.manager.cancelAt = 2;
    EXPECT_EQ(i.File("rows.csv", lines), qorvix::IMPORT_STOPPED);
    EXPECT_EQ(i.manager.records.size(), 2001u);
    EXPECT_EQ(i.manager.records.back(), "number 1999 0 1");
    EXPECT_EQ(i.manager.events.back(), "stop");
}

TEST(ImportFile, AnInteractiveImportWithoutADialogIsCancelled) {
    Import i(KIND_TXT);
    EXPECT_EQ(i.File("d.txt", "1,2\n", true), qorvix::IMPORT_CANCELLED);
    EXPECT_TRUE(i.manager.records.empty());
    EXPECT_TRUE(i.manager.events.empty());
}

TEST(ImportFile, FailuresAreErrorsNamingTheFile) {
    Import i(KIND_TXT);
    const std::string missing = i.dir.Path("missing.txt");
    try {
        i.filter.ImportFile(RString(missing), false);
        ADD_FAILURE() << "imported a missing file";
    } catch (const brisko::Exception& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
    }
    EXPECT_THROW(i.filter.ImportFile(RString(i.dir.Path("")), false), brisko::Exception);
    EXPECT_TRUE(i.manager.records.empty());
}

TEST(ImportFromMemory, ClipboardTextTypeChoosesEncodingAndCutsAtTheFirstZero) {
    struct Case {
        const char* name;
        int textType;  // -1: absent
        std::string block;
        bool aggressive;
        Records cells;
    } cases[] = {
        {"UTF-16 cut at the third unit",
         1,
         std::string("1\0"
                     "2\0\0\0"
                     "3\0"
                     "4\0",
                     10),
         true,
         {"number 0 0 12"}},
        {"8-bit cut at the zero byte",
         0,
         std::string("$1000\0"
                     "x9ab",
                     10),
         true,
         {"number 0 0 1000"}},
        {"absent keeps the block whole",
         -1,
         std::string("a\tb\n", 4),
         false,
         {"text 0 0 a", "text 0 1 b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingManager m;
        if (c.textType >= 0)
            m.IoManager::SetOption("ClipboardTextType", c.textType, false);
        DatImportFilter f(m, KIND_TXT);
        EXPECT_EQ(f.ImportFromMemory(c.block.data(), static_cast<uint32_t>(c.block.size()), false),
                  qorvix::IMPORT_DONE);
        EXPECT_EQ(f.aggressiveConversion, c.aggressive);
        EXPECT_TRUE(f.fromMemory);
        EXPECT_EQ(Cells(m.records), c.cells);
        EXPECT_EQ(m.events[1], "message Importing...");
    }
}

TEST(BuildPreview, ReadsTheFirstLinesWithTheDialogsSettings) {
    Import i(KIND_TXT);
    i.path = i.dir.Write("p.txt", "skip\n\"ab  \";2;;x\n\n3\n4\n5\n");
    i.filter.reading.reader =
        std::make_unique<brisko::CEncodedBufferedFile>(RString(i.path), "r", 3, 0, 0, false, false);
    ImportDialogSettings s;
    s.delimited = true;
    s.delimiterText = RString(";");
    s.qualifierText = RString("\"");
    s.startRow = 1;
    std::vector<PreviewCell> cells;
    ASSERT_TRUE(i.filter.BuildPreview(s, cells, 3));
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[0].text, u"ab  ");  // the preview keeps trailing blanks
    EXPECT_EQ(cells[1].value, 2.0);
    EXPECT_EQ(cells[2].col, 3u);  // the empty field still took a column
    EXPECT_EQ(cells[3].row, 2u);  // the blank line counted
    EXPECT_EQ(cells[3].value, 3.0);
    EXPECT_TRUE(i.manager.records.empty());
    EXPECT_EQ(i.filter.previewSink, nullptr);
    EXPECT_EQ(i.filter.startRow, 1);
    EXPECT_EQ(i.filter.delimiters.str(), ";");

    s.delimited = false;
    s.columnBreaksText = RString("2");
    cells.clear();
    ASSERT_TRUE(i.filter.BuildPreview(s, cells, 50));
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[0].text, u"\"ab  \";2;;x");
    EXPECT_EQ(cells[1].row, 2u);
    EXPECT_TRUE(i.filter.useFixedWidth);
    EXPECT_EQ(i.filter.columnBreaks, (std::vector<int32_t>{0, 2, kNoLimit}));
}

}  // namespace
}  // namespace dornel::test
