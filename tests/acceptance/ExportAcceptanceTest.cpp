// Acceptance tests of dornel export and dornel convert: the bytes written, memory blocks, and
// failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "acceptance/AcceptanceSupport.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

const char* const kSheet =
    "{\"record\":\"TrInitWksExp\"}\n"
    "{\"record\":\"TrWksCap\",\"flags\":8192}\n"
    "{\"record\":\"TrCell\",\"row\":0,\"col\":0,\"kind\":\"text\",\"text\":\"caf\xC3\xA9\"}\n"
    "{\"record\":\"TrCell\",\"row\":0,\"col\":1,\"kind\":\"empty\"}\n"
    "{\"record\":\"TrCell\",\"row\":0,\"col\":2,\"kind\":\"number\",\"value\":2.5}\n"
    "{\"record\":\"TrCell\",\"row\":1,\"col\":0,\"kind\":\"number\",\"value\":1e20}\n"
    "{\"record\":\"TrCellFmt\",\"row\":1,\"col\":1,\"mask\":288,\"category\":6,\"format\":\"yyyy-"
    "mm-dd\"}\n"
    "{\"record\":\"TrCell\",\"row\":1,\"col\":1,\"kind\":\"number\",\"value\":45356}\n";

std::string Latin1ToUtf16(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c, out += '\0';
    return out;
}

TEST(ExportAcceptance, RecordsBecomeTheFilesBytes) {
    struct Case {
        const char* name;
        const char* out;
        std::vector<std::string> args;
        std::string bytes;
    } cases[] = {
        {"CSV", "o.csv", {}, "\"caf\xC3\xA9\",,2.5\n1E+020,\"2024-03-05\"\n"},
        {"TXT with options",
         "o.txt",
         {"--options", "Delimiter=semicolon;DecimalSymbol=comma"},
         "caf\xC3\xA9;;2,5\n1E+020;2024-03-05\n"},
        {"DAT in Windows-1252",
         "o.dat",
         {"--options", "ExportCodepage=1252"},
         "\"caf\xE9\",,2.5\n1E+020,\"2024-03-05\"\n"},
        {"UTF-16 block",
         "o.csv",
         {"--to-memory", "--set", "ClipboardTextType=1"},
         Latin1ToUtf16("\"caf\xE9\",,2.5\n1E+020,\"2024-03-05\"\n") + std::string(2, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string out = dir.Path(c.out);
        std::vector<std::string> args = {
            "--store",   dir.Path("s.json"),          "--acp", "65001", "export", out,
            "--records", dir.Write("r.jsonl", kSheet)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = RunDornel(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadBytes(out), c.bytes);
    }
}

TEST(ExportAcceptance, TheTraceShowsCallsAndTheBlock) {
    TempDir dir;
    const RunResult r =
        RunDornel({"--store", dir.Path("s.json"), "export", dir.Path("o.csv"), "--records",
                   dir.Write("r.jsonl",
                             "{\"record\":\"TrCell\",\"row\":0,\"col\":0,\"kind\":"
                             "\"number\",\"value\":1}\n"),
                   "--to-memory", "--set", "ClipboardTextType=0", "--trace"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> calls = LinesStartingWith(r.out, "{\"call\"");
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "{\"call\":\"BeginExport\",\"status\":0}",
                         "{\"call\":\"ExportObject\",\"record\":\"TrInitWksExp\",\"status\":0}",
                         "{\"call\":\"ExportObject\",\"record\":\"TrCell\",\"status\":0}",
                         "{\"call\":\"EndExport\",\"status\":0}"}));
    EXPECT_EQ(Lines(r.out).back(), "{\"memory\":{\"size\":3,\"base64\":\"MQoA\"}}");
}

TEST(ExportAcceptance, StatusesAndFailures) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    // Nothing to export: no file, status 1.
    RunResult r = RunDornel({"--store", store, "export", dir.Path("none.csv"), "--records",
                             dir.Write("empty.jsonl", "{\"record\":\"TrInitWksExp\"}\n")});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("none.csv")));
    // A capability the filter lacks.
    r = RunDornel({"--store", store, "export", dir.Path("cap.csv"), "--records",
                   dir.Write("cap.jsonl", "{\"record\":\"TrWksCap\",\"flags\":1}\n")});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("cap.csv")));
    // A second object.
    r = RunDornel(
        {"--store", store, "export", dir.Path("two.csv"), "--records",
         dir.Write("two.jsonl",
                   "{\"record\":\"TrCell\",\"row\":0,\"col\":0,\"kind\":\"number\",\"value\":1}\n"
                   "{\"record\":\"TrPoints\",\"points\":[[1,2,3]]}\n")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("dornel: error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" (DatExportFilter:610)"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("two.csv")));
    // A folder that does not exist.
    r = RunDornel(
        {"--store", store, "export", dir.Path("no/such/dir.csv"), "--records",
         dir.Write(
             "one.jsonl",
             "{\"record\":\"TrCell\",\"row\":0,\"col\":0,\"kind\":\"number\",\"value\":1}\n")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
    // Records that are not records.
    r = RunDornel({"--store", store, "export", dir.Path("bad.csv"), "--records",
                   dir.Write("bad.jsonl", "{\"record\":\"TrCell\"}\nnot json\n")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("bad.jsonl:2"), std::string::npos) << r.err;
}

TEST(ExportAcceptance, AFullDiskLeavesNoTruncatedFile) {
#if defined(_WIN32)
    GTEST_SKIP() << "file-size limits are a POSIX shell's";
#else
    TempDir dir;
    std::string records;
    for (int i = 0; i < 20000; ++i)
        records += "{\"record\":\"TrCell\",\"row\":" + std::to_string(i) +
                   ",\"col\":0,\"kind\":\"text\",\"text\":\"a long enough line of text\"}\n";
    const std::string out = dir.Write("big.csv", "the previous export\n");
    // ulimit -f counts blocks of 1024 bytes: a 64 KB limit, as a full disk would impose.
    const RunResult r = RunDornelAfter(
        "ulimit -f 64",
        {"--store", dir.Path("s.json"), "export", out, "--records", dir.Write("r.jsonl", records)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(out), "the previous export\n");
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
#endif
}

TEST(ConvertAcceptance, ImportsThenExports) {
    TempDir dir;
    const std::string in = dir.Write("in.txt", "name\tvalue\twhen\nx y\t1,5\t2024-03-05\n\n3\n");
    const std::string out = dir.Path("out.csv");
    const RunResult r =
        RunDornel({"--store", dir.Path("s.json"), "--set", "DateTimeSupport=true", "convert", in,
                   out, "--import-options", "Delimiter=tab;DecimalSymbol=comma"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(out), "\"name\",\"value\",\"when\"\n\"x y\",1.5,\"2024-03-05\"\n\n3\n");
}

TEST(ConvertAcceptance, ExportingWhileImportingWritesWhatExportingAfterwardsWrites) {
    // Enough rows that the export is under way long before the import ends. A traced convert
    // exports after the whole import; an untraced one while it goes on.
    TempDir dir;
    std::string body = "id,name,when,amount\n";
    for (int r = 0; r < 60000; ++r)
        body += std::to_string(r) + ",\"n, " + std::to_string(r % 17) + "\",2024-01-0" +
                std::to_string(1 + r % 9) + "," + std::to_string(r % 1000) + ".25\n" +
                (r % 1000 == 0 ? "\n\n" : "");
    const std::string in = dir.Write("in.csv", body);
    const RunResult overlapped =
        RunDornel({"--store", dir.Path("s.json"), "--set", "DateTimeSupport=true", "convert", in,
                   dir.Path("a.csv")});
    const RunResult inTurn =
        RunDornel({"--store", dir.Path("s.json"), "--set", "DateTimeSupport=true", "--trace",
                   "convert", in, dir.Path("b.csv")});
    EXPECT_EQ(overlapped.exitCode, 0) << overlapped.err;
    EXPECT_EQ(inTurn.exitCode, 0) << inTurn.err;
    EXPECT_EQ(ReadBytes(dir.Path("a.csv")), ReadBytes(dir.Path("b.csv")));
    EXPECT_GT(ReadBytes(dir.Path("a.csv")).size(), 1000000u);
}

TEST(ConvertAcceptance, AnImportThatStopsLateLeavesTheOutputAsItWas) {
    // The import stops at its 200000th record, when many rows are exported already.
    TempDir dir;
    std::string body;
    for (int r = 0; r < 60000; ++r)
        body += std::to_string(r) + ",x,2.5,\"a b\"\n";
    const std::string in = dir.Write("in.csv", body);
    const std::string out = dir.Write("out.csv", "the previous export\n");
    const RunResult r =
        RunDornel({"--store", dir.Path("s.json"), "convert", in, out, "--refuse", "200000"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("the import did not finish; nothing was exported"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("cancelled"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(out), "the previous export\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path("")))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

// iconv is the Linux build's; Windows writes these pages through its own converter.
#if !defined(_WIN32)
TEST(ConvertAcceptance, AFileConvertedToAPageThatShiftsIsWrittenAndReadBackWhole) {
    TempDir dir;
    // Many blocks of Japanese texts, each block's end inside one of them. The written file is
    // read by the system's iconv, and imported back with its delimiter detected, which reads
    // ahead and goes back to the beginning.
    const RunResult r = RunScript(dir.Path(""), R"sh(
awk 'BEGIN { print "id,name"; for (i = 0; i < 20000; i++) printf "%d,\"あいうえお%dかきくけこ\"\n", i, i }' > jp.csv
"$DORNEL" --store s.json import jp.csv --format csv > want.csv
tr ',' '\t' < jp.csv | tr -d '"' > want.txt
for page in 65000:UTF-7 50220:ISO-2022-JP 50225:ISO-2022-KR; do
    number=${page%%:*} name=${page#*:}
    "$DORNEL" --store s.json --set ExportCodepage=$number convert jp.csv out.txt || echo "$name failed"
    iconv -f "$name" -t UTF-8 out.txt | cmp -s - want.txt && echo "$name written whole"
    "$DORNEL" --store s.json import out.txt --kind txt --options "ImportCodePage=$number" \
        --format csv | cmp -s - want.csv && echo "$name read back whole"
done
)sh");
    EXPECT_EQ(r.out,
              "UTF-7 written whole\nUTF-7 read back whole\n"
              "ISO-2022-JP written whole\nISO-2022-JP read back whole\n"
              "ISO-2022-KR written whole\nISO-2022-KR read back whole\n")
        << r.err;
}
#endif

}  // namespace
}  // namespace dornel::test
