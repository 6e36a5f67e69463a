// Tests of the export writer: lines, separators, qualifiers, numbers, dates, points, memory
// blocks, and its failures.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "export/ExportTestSupport.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/Exception.h"
#include "host/qorvix/GlobalMemory.h"

namespace dornel::test {
namespace {

using namespace qorvix;

std::unique_ptr<TrBase> Points(std::vector<double>& coords, std::vector<double>& attrs, int count,
                               int attrCount) {
    auto p = std::make_unique<TrPoints>();
    p->pointCount = count;
    p->attrCount = attrCount;
    p->coords = coords.data();
    p->attrs = attrs.empty() ? nullptr : attrs.data();
    return p;
}

TEST(ExportWriter, CellsBecomeLines) {
    struct Case {
        const char* name;
        FileKind kind;
        const char* options;
        RecordList (*records)();
        std::string bytes;
    } cases[] = {
        {"a default CSV export", KIND_CSV, "",
         [] {
             return Records(Text(0, 0, "a"), Empty(0, 1), Number(0, 2, 2.5), Empty(1, 0),
                            Number(1, 1, 7));
         },
         "\"a\",,2.5\n,7\n"},
        {"empty cells after the last value write nothing", KIND_CSV, "",
         [] {
             return Records(Number(0, 0, 1), Empty(0, 1), Empty(0, 2), Empty(1, 0), Empty(1, 1),
                            Number(2, 0, 3));
         },
         "1\n\n3\n"},
        {"one line feed per change of row", KIND_CSV, "",
         [] { return Records(Number(3, 0, 1), Number(7, 0, 2)); }, "1\n2\n"},
        {"a smaller row stays on the line", KIND_CSV, "",
         [] { return Records(Number(5, 0, 1), Number(2, 0, 2)); }, "1,2\n"},
        // Row -1 is the writer's own mark of no line begun: each cell of it begins one again.
        {"cells of row -1 run together", KIND_CSV, "",
         [] { return Records(Number(-1, 0, 1), Number(-1, 1, 2), Number(0, 0, 3)); }, "123\n"},
        {"qualifiers inside texts are not doubled", KIND_CSV, "",
         [] { return Records(Text(0, 0, "say \"hi\", x\ny")); }, "\"say \"hi\", x\ny\"\n"},
        {"TXT: tab, no qualifier", KIND_TXT, "",
         [] { return Records(Text(0, 0, "a b"), Number(0, 1, 2)); }, "a b\t2\n"},
        {"TXT with a decimal comma", KIND_TXT, "DecimalSymbol=comma;Delimiter=semicolon",
         [] { return Records(Number(0, 0, 2.5), Number(0, 1, -0.125)); }, "2,5;-0,125\n"},
        {"DAT takes its stored options", KIND_DAT, "Delimiter=space;TextQualifier=singlequote",
         [] { return Records(Text(0, 0, "x"), Number(0, 1, 1e20)); }, "'x' 1E+020\n"},
        {"CSV ignores its stored options", KIND_CSV, "Delimiter=tab;TextQualifier=none",
         [] { return Records(Text(0, 0, "x"), Number(0, 1, 1)); }, "\"x\",1\n"},
        {"BLN writes what CSV writes", KIND_BLN, "",
         [] { return Records(Number(0, 0, 1), Number(0, 1, 2)); }, "1,2\n"},
        {"a date is a qualified text", KIND_CSV, "",
         [] {
             return Records(DateFormat(0, 0, "yyyy-mm-dd"), Number(0, 0, 45356),
                            Number(0, 1, 45356.5));
         },
         "\"2024-03-05\",\"2024-03-05 12:00:00\"\n"},
        {"a date without qualifier is bare", KIND_TXT, "",
         [] { return Records(DateFormat(0, 0, "d/m/yyyy"), Number(0, 0, 45285)); }, "25/12/2023\n"},
        {"a format that is no date ends the dates", KIND_CSV, "",
         [] {
             auto plain = std::make_unique<TrCellFmt>(0, 1, 0);
             plain->format = brisko::RString("0.00");
             return Records(DateFormat(0, 0, "yyyy-mm-dd"), Number(0, 0, 45356), std::move(plain),
                            Number(0, 1, 45356));
         },
         "\"2024-03-05\",45356\n"},
        {"unknown cell kinds keep their separators", KIND_CSV, "",
         [] {
             auto odd = std::make_unique<TrCell>(0, 1);
             odd->kind = 9;
             return Records(Number(0, 0, 1), std::move(odd), Number(0, 2, 3));
         },
         "1,,3\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Export e(c.kind);
        if (*c.options)
            e.filter.ApplyStringOptions(brisko::RString(c.options));
        int status = -1;
        EXPECT_EQ(e.Run(c.records(), &status), c.bytes);
        EXPECT_EQ(status, EXPORT_DONE);
    }
}

TEST(ExportWriter, TextsOfEveryLengthAfterRunsOfEmptyCells) {
    // A cell goes out with the separators of the empty cells before it; texts short and long,
    // ASCII or not, and runs of separators longer than what is gathered for one call.
    // Short texts have their one other character at a place that moves with the empty cells.
    for (size_t length : {0,  1,  2,  3,  4,   5,   6,   7,   8,   9,   10,  11,  15,
                          16, 17, 24, 25, 200, 250, 251, 252, 253, 254, 300, 5000}) {
        for (int empties : {0, 1, 40, 100, 1000}) {
            for (bool ascii : {true, false}) {
                SCOPED_TRACE(testing::Message() << length << " units after " << empties
                                                << " empty cells, ascii " << ascii);
                std::u16string wide;
                std::string utf8;
                const size_t otherAt = length < 30 ? (length + empties) % (length + 1) : 3;
                for (size_t i = 0; i < length; ++i) {
                    const bool other = !ascii && i % 97 == otherAt;
                    wide += other ? u'\u00e9' : static_cast<char16_t>('a' + i % 26);
                    utf8 += other ? std::string("\xC3\xA9") : std::string(1, 'a' + i % 26);
                }
                brisko::RString text;
                text.FromWide(wide.c_str());
                RecordList records = Records(Number(0, 0, 1));
                for (int c = 1; c <= empties; ++c)
                    records.push_back(Empty(0, c));
                records.push_back(std::make_unique<TrCell>(0, empties + 1, text));
                records.push_back(Empty(1, 0));
                records.push_back(Number(1, 1, -0.5));
                Export e(KIND_TXT);
                e.filter.ApplyStringOptions(brisko::RString(
                    "ExportEncodingMethod=2;Delimiter=comma;TextQualifier=doublequote"));
                EXPECT_EQ(e.Run(std::move(records)),
                          "\xEF\xBB\xBF"
                          "1" +
                              std::string(empties + 1, ',') + '"' + utf8 + "\"\n,-0.5\n");
            }
        }
    }
}

TEST(ExportWriter, OutputsOfManyBlocksKeepEveryCell) {
    // Several times the output block, cells of every kind ending anywhere in it: a cell that
    // meets the block's end is written whole, in any encoding, whichever road it takes.
    struct Case {
        const char* options;
        bool utf16;
        std::string mark;
    } cases[] = {
        {"ExportEncodingMethod=2;Delimiter=comma;TextQualifier=doublequote", false, "\xEF\xBB\xBF"},
        {"ExportEncodingMethod=2;Delimiter=semicolon;TextQualifier=none;DecimalSymbol=comma", false,
         "\xEF\xBB\xBF"},
        {"ExportEncodingMethod=1;Delimiter=tab;TextQualifier=singlequote", true, "\xFF\xFE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        Export e(KIND_TXT);
        e.filter.ApplyStringOptions(brisko::RString(c.options));
        const std::string options = c.options;
        const char delimiter = options.find("semicolon") != std::string::npos ? ';'
                               : options.find("tab") != std::string::npos     ? '\t'
                                                                              : ',';
        const std::string qualifier = options.find("doublequote") != std::string::npos   ? "\""
                                      : options.find("singlequote") != std::string::npos ? "'"
                                                                                         : "";
        const bool comma = options.find("DecimalSymbol=comma") != std::string::npos;
        RecordList records;
        std::string text;
        for (int row = 0; row < 12000; ++row) {
            int col = 0;
            records.push_back(Number(row, col++, row));
            text += std::to_string(row);
            // A fraction with a digit string of its own length.
            records.push_back(Number(row, col++, row + 0.125));
            text += delimiter + std::to_string(row) + (comma ? ",125" : ".125");
            // Empty cells, a few or more than are gathered at once.
            const int empties = row % 5 == 0 ? 70 : row % 3;
            for (int k = 0; k < empties; ++k)
                records.push_back(Empty(row, col++));
            text += std::string(static_cast<size_t>(empties), delimiter);
            // A text, now and then one that is not ASCII or longer than most.
            std::string word = "w" + std::to_string(row * 7919 % 1000);
            if (row % 13 == 0)
                word += "\xC3\xA9";
            if (row % 101 == 0)
                word += std::string(1500, 'x');
            brisko::RString acp;
            acp.FromWide(brisko::FromUtf8(word).c_str());
            records.push_back(std::make_unique<TrCell>(row, col++, acp));
            text += delimiter + qualifier + word + qualifier + "\n";
        }
        std::string expected = c.mark;
        if (c.utf16) {
            for (char16_t u : brisko::FromUtf8(text)) {
                expected += static_cast<char>(u & 0xFF);
                expected += static_cast<char>(u >> 8);
            }
        } else {
            expected += text;
        }
        const std::string bytes = e.Run(std::move(records));
        ASSERT_EQ(bytes.size(), expected.size());
        EXPECT_TRUE(bytes == expected);
    }
}

TEST(ExportWriter, PointsKeepTheDecimalPointAndTheirAttributes) {
    std::vector<double> coords = {2.5, 1, 0, -1, 1e20, 3};
    std::vector<double> attrs = {7, 8, 9, 10};
    Export e(KIND_TXT);
    e.filter.ApplyStringOptions(brisko::RString("DecimalSymbol=comma"));
    EXPECT_EQ(e.Run(Records(Points(coords, attrs, 2, 2))),
              "2.5\t1\t0\t7\t8\n-1\t1E+020\t3\t9\t10\n");
    std::vector<double> none;
    Export bare(KIND_CSV);
    EXPECT_EQ(bare.Run(Records(Points(coords, none, 1, 0))), "2.5,1,0\n");
}

TEST(ExportWriter, APointSetMustBeTheOnlyObject) {
    std::vector<double> coords = {1, 2, 3};
    std::vector<double> none;
    for (int first = 0; first < 2; ++first) {
        Export e(KIND_CSV);
        e.path = e.dir.Path("p.csv");
        ASSERT_EQ(e.filter.BeginExport(brisko::RString(e.path), false), EXPORT_DONE);
        auto earlier = first == 0 ? Number(0, 0, 1) : Points(coords, none, 1, 0);
        ASSERT_EQ(e.filter.ExportObject(*earlier), EXPORT_DONE);
        auto points = Points(coords, none, 1, 0);
        try {
            e.filter.ExportObject(*points);
            ADD_FAILURE() << "a second object was accepted";
        } catch (const brisko::Exception& ex) {
            EXPECT_EQ(ex.File(), "DatExportFilter");
            EXPECT_EQ(ex.Line(), 610);
            EXPECT_EQ(ex.CodeName(), "ERR_MULTIPLE_OBJECTS");
            EXPECT_NE(std::string(ex.what()).find("p.csv"), std::string::npos);
        }
    }
}

TEST(ExportWriter, CapabilitiesAndCancellation) {
    Export e(KIND_CSV);
    e.path = e.dir.Path("c.csv");
    ASSERT_EQ(e.filter.BeginExport(brisko::RString(e.path), false), EXPORT_DONE);
    for (auto [flags, status] :
         {std::pair{uint16_t{0x2000}, EXPORT_DONE}, std::pair{uint16_t{0}, EXPORT_DONE},
          std::pair{uint16_t{0x2001}, EXPORT_CAPABILITY},
          std::pair{uint16_t{0x8000}, EXPORT_CAPABILITY}}) {
        TrWksCap cap;
        cap.flags = flags;
        EXPECT_EQ(e.filter.ExportObject(cap), status) << flags;
    }
    e.manager.cancelAt = 1;
    auto cell = Number(0, 0, 1);
    EXPECT_EQ(e.filter.ExportObject(*cell), EXPORT_CANCELLED);
}

TEST(ExportWriter, NothingExportedLeavesNoFile) {
    Export e(KIND_CSV);
    int status = -1;
    e.Run(Records(), &status);
    EXPECT_EQ(status, EXPORT_NOTHING);
    EXPECT_FALSE(std::filesystem::exists(e.path));
    EXPECT_EQ(e.manager.events.back(), "stop");
}

TEST(ExportWriter, EndingTwiceFindsTheFileClosed) {
    Export e(KIND_CSV);
    e.Run(Records(Number(0, 0, 1)));
    try {
        e.filter.EndExport();
        ADD_FAILURE() << "ended an export whose file is closed";
    } catch (const brisko::Exception& ex) {
        EXPECT_EQ(ex.Line(), 706);
        EXPECT_EQ(ex.Code(), 15);
    }
}

TEST(ExportWriter, ProgressMessagesNameTheFileOrTheMemoryBlock) {
    Export file(KIND_CSV);
    file.Run(Records(Number(0, 0, 1)));
    EXPECT_EQ(file.manager.events[0], "start");
    EXPECT_EQ(file.manager.events[1], "message Exporting data file out.txt");
    Export clip(KIND_CSV);
    clip.manager.IoManager::SetOption("ClipboardTextType", 5, false);
    clip.Run(Records(Number(0, 0, 1)));
    EXPECT_EQ(clip.manager.events[1], "message Exporting to memory block");
}

struct BlockResult {
    std::string bytes;
    uint32_t size = 0;
};

BlockResult ExportToBlock(FileKind kind, int textType, const char* options, RecordList records) {
    Export e(kind);
    if (textType >= 0)
        e.manager.IoManager::SetOption("ClipboardTextType", textType, false);
    if (*options)
        e.filter.ApplyStringOptions(brisko::RString(options));
    HGLOBAL block = nullptr;
    BlockResult r;
    auto init = std::make_unique<TrInitWksExp>();
    init->handleDest = &block;
    init->sizeDest = &r.size;
    records.insert(records.begin(), std::move(init));
    int status = -1;
    e.Run(std::move(records), &status);
    EXPECT_EQ(status, EXPORT_DONE);
    EXPECT_FALSE(std::filesystem::exists(e.path));
    if (block) {
        r.bytes.assign(static_cast<const char*>(GlobalLock(block)), r.size);
        GlobalUnlock(block);
        GlobalFree(block);
    }
    return r;
}

TEST(ExportWriter, MemoryBlocksCarryTheTextAndItsTerminator) {
    BlockResult r = ExportToBlock(KIND_CSV, 1, "", Records(Text(0, 0, "a"), Number(0, 1, 2)));
    EXPECT_EQ(r.bytes, std::string("\"\0a\0\"\0,\0"
                                   "2\0\n\0\0\0",
                                   14));
    EXPECT_EQ(r.size, 14u);
    r = ExportToBlock(KIND_CSV, 0, "", Records(Number(0, 0, 1)));
    EXPECT_EQ(r.bytes, std::string("1\n\0", 3));
    r = ExportToBlock(KIND_TXT, -1, "ExportEncodingMethod=2", Records(Number(0, 0, 1)));
    EXPECT_EQ(r.bytes,
              "\xEF\xBB\xBF"
              "1\n");
}

TEST(ExportWriter, AMemoryExportOfNothingFails) {
    Export e(KIND_CSV);
    HGLOBAL block = nullptr;
    uint32_t size = 0;
    e.path = e.dir.Path("m.txt");
    ASSERT_EQ(e.filter.BeginExport(brisko::RString(e.path), false), EXPORT_DONE);
    TrInitWksExp init;
    init.handleDest = &block;
    init.sizeDest = &size;
    ASSERT_EQ(e.filter.ExportObject(init), EXPORT_DONE);
    try {
        e.filter.EndExport();
        ADD_FAILURE() << "delivered an empty block";
    } catch (const brisko::Exception& ex) {
        EXPECT_EQ(ex.Line(), 798);
    }
    EXPECT_EQ(block, nullptr);
}

TEST(ExportWriter, EncodingsOfTheStoredMethod) {
    struct Case {
        const char* options;
        std::string bytes;
    } cases[] = {
        {"ExportEncodingMethod=1", std::string("\xFF\xFE"
                                               "\xE9\0\n\0",
                                               6)},
        {"ExportEncodingMethod=2", "\xEF\xBB\xBF\xC3\xA9\n"},
        {"ExportEncodingMethod=0;ExportCodepage=1252", "\xE9\n"},
        {"ExportEncodingMethod=7;ExportCodepage=1252", "\xE9\n"},
    };
    for (const Case& c : cases) {
        Export e(KIND_TXT);
        e.filter.ApplyStringOptions(brisko::RString(c.options));
        brisko::RString text;
        text.FromWide(u"\u00e9");
        auto cell = std::make_unique<TrCell>(0, 0, text);
        EXPECT_EQ(e.Run(Records(std::move(cell))), c.bytes) << c.options;
    }
}

TEST(ExportWriter, AnUnwritablePathIsAnErrorAndLeavesNothing) {
    TempDir dir;
    RecordingManager m;
    DatExportFilter f(m, KIND_CSV);
    const std::string path = dir.Path("missing/out.csv");
    EXPECT_THROW(f.BeginExport(brisko::RString(path), false), brisko::Exception);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(m.events.empty());
}

TEST(ExportWriter, AReadOnlyFileIsRefusedAndKept) {
    // A file without any write bit is left alone even by a process that could write it.
    TempDir dir;
    const std::string path = dir.Write("ro.csv", "keep\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    RecordingManager m;
    DatExportFilter f(m, KIND_CSV);
    EXPECT_THROW(f.BeginExport(brisko::RString(path), false), brisko::Exception);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadBytes(path), "keep\n");
}

TEST(ExportWriter, AnAbandonedExportLeavesTheOldFileAlone) {
    Export e(KIND_CSV);
    e.path = e.dir.Write("keep.csv", "old content\n");
    {
        RecordingManager m;
        DatExportFilter f(m, KIND_CSV);
        ASSERT_EQ(f.BeginExport(brisko::RString(e.path), false), EXPORT_DONE);
        auto cell = Number(0, 0, 1);
        f.ExportObject(*cell);
        // Destroyed without EndExport, as a host does after a failure.
    }
    EXPECT_EQ(ReadBytes(e.path), "old content\n");
    EXPECT_FALSE(std::filesystem::exists(e.path + ".part"));
}

TEST(ExportWriter, AnInteractiveExportWithoutADialogIsCancelledAndOpensNothing) {
    for (FileKind kind : {KIND_TXT, KIND_DAT}) {
        Export e(kind);
        const std::string path = e.dir.Path("x.txt");
        EXPECT_EQ(e.filter.BeginExport(brisko::RString(path), true), EXPORT_CANCELLED);
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_TRUE(e.manager.events.empty());
    }
    // CSV never shows the dialog.
    Export csv(KIND_CSV);
    EXPECT_EQ(csv.filter.BeginExport(brisko::RString(csv.dir.Path("c.csv")), true), EXPORT_DONE);
}

}  // namespace
}  // namespace dornel::test
