// Acceptance tests of dornel import and probe: the trace of whole imports of files the test
// writes, the views, and the errors of files that cannot be imported.
#include <gtest/gtest.h>

#include <filesystem>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "acceptance/AcceptanceSupport.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

const std::string kRecord = "{\"record\"";

std::string Cell(int row, int col, const std::string& rest) {
    return "{\"record\":\"TrCell\",\"row\":" + std::to_string(row) +
           ",\"col\":" + std::to_string(col) + "," + rest + "}";
}
std::string Num(int row, int col, const std::string& value) {
    return Cell(row, col, "\"kind\":\"number\",\"value\":" + value);
}
std::string Text(int row, int col, const std::string& text) {
    return Cell(row, col, "\"kind\":\"text\",\"text\":\"" + text + "\"");
}
const std::string kBegin = "{\"record\":\"TrBeginWksImp\"}";
const std::string kEnd = "{\"record\":\"TrEndWksImp\"}";

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii)
        out += c, out += '\0';
    return out;
}

struct ImportCase {
    const char* name;
    const char* file;
    std::string bytes;
    std::vector<std::string> args;
    std::vector<std::string> records;
};

TEST(ImportAcceptance, FilesImportAsTheRulesSay) {
    const std::string longField(1500, 'w');
    const ImportCase cases[] = {
        {"CR LF line ends",
         "crlf.csv",
         "1,a\r\n2,b\r\n",
         {},
         {kBegin, Num(0, 0, "1.0"), Text(0, 1, "a"), Num(1, 0, "2.0"), Text(1, 1, "b"), kEnd}},
        {"LF line ends",
         "lf.csv",
         "1,a\n2,b",
         {},
         {kBegin, Num(0, 0, "1.0"), Text(0, 1, "a"), Num(1, 0, "2.0"), Text(1, 1, "b"), kEnd}},
        {"lone CR line ends",
         "cr.csv",
         "1,a\r2,b\r",
         {},
         {kBegin, Num(0, 0, "1.0"), Text(0, 1, "a"), Num(1, 0, "2.0"), Text(1, 1, "b"), kEnd}},
        {"UTF-8 with mark",
         "u8bom.txt",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9\t2\n",
         {},
         {kBegin, Text(0, 0, "caf\xC3\xA9"), Num(0, 1, "2.0"), kEnd}},
        {"UTF-8 without mark",
         "u8.txt",
         "caf\xC3\xA9\t2\n",
         {},
         {kBegin, Text(0, 0, "caf\xC3\xA9"), Num(0, 1, "2.0"), kEnd}},
        {"UTF-16 with mark",
         "u16bom.txt",
         "\xFF\xFE" + Utf16("x\t2\n"),
         {},
         {kBegin, Text(0, 0, "x"), Num(0, 1, "2.0"), kEnd}},
        {"UTF-16 without mark",
         "u16.txt",
         Utf16("x\t2\n"),
         {},
         {kBegin, Text(0, 0, "x"), Num(0, 1, "2.0"), kEnd}},
        {"UTF-16 imposed by ClipboardTextType",
         "u16.dat",
         Utf16("x;2\n"),
         {"--set", "ClipboardTextType=1"},
         {kBegin, Text(0, 0, "x"), Num(0, 1, "2.0"), kEnd}},
        {"Windows-1252 text",
         "w1252.txt",
         "caf\xE9;\x80 5\n",
         {"--set", "ImportCodePage=1252"},
         {kBegin, Text(0, 0, "caf\xC3\xA9"), Text(0, 1, "\xE2\x82\xAC 5"), kEnd}},
        {"a field longer than 999 characters",
         "long.csv",
         longField + ",1\n",
         {},
         {kBegin, Text(0, 0, std::string(999, 'w')), Text(0, 1, std::string(501, 'w')),
          Num(0, 2, "1.0"), kEnd}},
        {"qualified fields with delimiters and doubled quotes",
         "q.csv",
         "\"a,b\",\"say \"\"hi\"\"\"\n",
         {},
         {kBegin, Text(0, 0, "a,b"), Text(0, 1, "say \\\"\\\"hi\\\"\\\""), kEnd}},
        {"a BLN boundary",
         "b.bln",
         "3,1\n0.5 1.5\n",
         {},
         {kBegin, Num(0, 0, "3.0"), Num(0, 1, "1.0"), Num(1, 0, "0.5"), Num(1, 1, "1.5"), kEnd}},
        {"dates when asked for",
         "d.csv",
         "2024-03-05,x\n",
         {"--set", "DateTimeSupport=true"},
         {kBegin,
          "{\"record\":\"TrCellFmt\",\"row\":0,\"col\":0,\"mask\":288,\"category\":6,\"format\":"
          "\"yyyy-mm-dd\"}",
          Num(0, 0, "45356.0"), Text(0, 1, "x"), kEnd}},
        {"an option string",
         "o.txt",
         "h\n1|2\n",
         {"--options", "Delimiter=|;StartRow=1"},
         {kBegin, Num(0, 0, "1.0"), Num(0, 1, "2.0"), kEnd}},
        {"a memory block",
         "m.txt",
         "1,5\t2\n",
         {"--from-memory", "--set", "ClipboardTextType=0"},
         {kBegin, Num(0, 0, "1.0"), Num(0, 1, "5.0"), Num(0, 2, "2.0"), kEnd}},
        {"an empty file", "empty.csv", "", {}, {}},
    };
    for (const ImportCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::vector<std::string> args = {
            "--store", dir.Path("store.json"),    "--acp", "65001", "import",
            "--trace", dir.Write(c.file, c.bytes)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = RunDornel(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(LinesStartingWith(r.out, kRecord), c.records);
        EXPECT_EQ(Lines(r.out).back(), c.args.size() && c.args[0] == "--from-memory"
                                           ? "{\"call\":\"ImportFromMemory\",\"status\":0}"
                                           : "{\"call\":\"ImportFile\",\"status\":0}");
    }
}

/// A path as it stands inside a JSON string: Windows' backslashes doubled.
std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

TEST(ImportAcceptance, ACsvImportTraceHasTheHostCallsInOrder) {
    TempDir dir;
    const RunResult r = RunDornel({"--store", dir.Path("s.json"), "--acp", "65001", "import",
                                   "--trace", dir.Write("data.csv", "1,,x\n")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{
                  "{\"host\":\"GetOption\",\"name\":\"ClipboardTextType\",\"type\":\"int\","
                  "\"persistent\":false,\"found\":false}",
                  // Plain ASCII stays on the system page, here UTF-8, decided from the bytes.
                  "{\"reader\":{\"path\":\"" + JsonEscaped(dir.Path("data.csv")) +
                      "\",\"encoding\":\"UTF-8\",\"codePage\":0,\"mark\":false,"
                      "\"detected\":true,\"why\":\"ascii\"}}",
                  "{\"host\":\"GetOption\",\"name\":\"DateTimeSupport\",\"type\":\"bool\","
                  "\"persistent\":false,\"found\":false}",
                  "{\"host\":\"ProgressStart\",\"title\":\"\",\"flags\":[true,true]}",
                  "{\"host\":\"ProgressMessage\",\"text\":\"Importing data.csv\"}", kBegin,
                  Num(0, 0, "1.0"), Cell(0, 1, "\"kind\":\"empty\""), Text(0, 2, "x"), kEnd,
                  "{\"host\":\"ProgressStop\"}", "{\"call\":\"ImportFile\",\"status\":0}"}));
}

TEST(ImportAcceptance, RefusalsAndCancellationEndWithStatusOne) {
    std::string rows;
    for (int i = 0; i < 1500; ++i)
        rows += "1\n";
    struct Case {
        std::vector<std::string> args;
        size_t records;
    } cases[] = {{{"--refuse", "3"}, 3}, {{"--cancel-progress", "1"}, 1001}};
    for (const Case& c : cases) {
        TempDir dir;
        std::vector<std::string> args = {"--store", dir.Path("s.json"), "import", "--trace",
                                         dir.Write("rows.csv", rows)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = RunDornel(args);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_EQ(LinesStartingWith(r.out, kRecord).size(), c.records);
        EXPECT_EQ(Lines(r.out).back(), "{\"call\":\"ImportFile\",\"status\":1}");
    }
}

TEST(ImportAcceptance, TheViewsShowTheWorksheet) {
    TempDir dir;
    const std::string file = dir.Write("v.csv", "name,value\n\"a, b\",1.5\n\nz,\n");
    const std::string store = dir.Path("s.json");
    RunResult r = RunDornel({"--store", store, "import", file, "--format", "csv"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "name,value\n\"a, b\",1.5\n\nz\n");
    r = RunDornel({"--store", store, "import", file, "--format", "json"});
    EXPECT_EQ(r.out, "[[\"name\",\"value\"],[\"a, b\",1.5],[],[\"z\"]]\n");
    r = RunDornel({"--store", store, "import", file});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"  | A    | B", "1 | name | value",
                                                      "2 | a, b |   1.5", "3", "4 | z"}));
}

TEST(ImportAcceptance, FilesThatCannotBeImportedAreClearErrors) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    for (const std::string& path : {dir.Path("missing.csv"), dir.Path("")}) {
        const RunResult r = RunDornel({"--store", store, "import", path});
        EXPECT_EQ(r.exitCode, 1) << path;
        EXPECT_EQ(r.err.rfind("dornel: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
    }
    const RunResult trace = RunDornel({"--store", store, "import", "--trace", dir.Path("no.csv")});
    EXPECT_EQ(trace.exitCode, 1);
    EXPECT_EQ(Lines(trace.out).back().rfind("{\"error\":{\"source\":", 0), 0u) << trace.out;
    // Binary bytes are imported as text without harm.
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 37) & 0xFF);
    EXPECT_EQ(RunDornel({"--store", store, "import", dir.Write("b.dat", binary)}).exitCode, 0);
}

TEST(ImportAcceptance, AnUnreadableFileIsAClearError) {
#if defined(_WIN32)
    GTEST_SKIP() << "permissions are not enforced under Wine";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser can read every file";
    TempDir dir;
    const std::string file = dir.Write("secret.csv", "1,2\n");
    std::filesystem::permissions(file, std::filesystem::perms::none);
    const RunResult r = RunDornel({"--store", dir.Path("s.json"), "import", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
#endif
}

TEST(ImportAcceptance, BadCommandLinesAreUsageErrors) {
    TempDir dir;
    const std::string file = dir.Write("a.txt", "1\n");
    EXPECT_EQ(RunDornel({"import", file, "--kind", "xls"}).exitCode, 2);
    EXPECT_EQ(RunDornel({"import"}).exitCode, 2);
    EXPECT_EQ(RunDornel({"frobnicate"}).exitCode, 2);
    const RunResult r = RunDornel(
        {"--store", dir.Path("s.json"), "import", file, "--options", "Bogus=1;StartRow=x;junk"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("'Bogus' is not used"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("'junk' has no '='"), std::string::npos) << r.err;
}

TEST(ProbeAcceptance, PrintsTheAnswerForAKeyAndSaysWhatItMeans) {
    TempDir dir;
    const struct {
        std::string path;
        const char* key;
        const char* answer;
        const char* meaning;
    } cases[] = {
        {dir.Write("m.bln", "1,2\n"), "blnw", "1\n", "is a file of the format 'blnw'"},
        {dir.Write("x.log", "a\n"), "txt", "2\n", "can be imported as plain text"},
        {dir.Path("none.csv"), "csv", "0\n", "is not a file of the format 'csv'"},
    };
    for (const auto& c : cases) {
        const RunResult r = RunDornel({"probe", c.path, "--key", c.key});
        EXPECT_EQ(r.out, c.answer);
        EXPECT_NE(
            r.err.find(std::string("dornel: ") + c.answer[0] + ": '" + c.path + "' " + c.meaning),
            std::string::npos)
            << r.err;
    }
}

TEST(ImportAcceptance, ACsvReadAsOneColumnGetsAHintWhereAnotherDelimiterStandsOnEveryLine) {
    TempDir dir;
    const struct {
        const char* content;
        const char* hint;  // empty: none
    } cases[] = {
        {"a;b;c\n1;2;3\n4;5;6\n", "each line has 2 ';' and no ','"},
        {"a;b\r\n\"x;y\";2\r\n", "--kind txt --options Delimiter=semicolon"},
        {"a\tb\n1\t2\n", "--kind txt --options Delimiter=tab"},
        {"a,b;c\n1,2;3\n", ""},
        {"a;b\n1;2;3\n", ""},
        {"just one line;\n", ""},
    };
    for (const auto& c : cases) {
        const RunResult r = RunDornel({"--store", dir.Path("s.json"), "import",
                                       dir.Write("f.csv", c.content), "--format", "none"});
        EXPECT_EQ(r.exitCode, 0);
        const bool hinted = r.err.find("dornel: hint: ") != std::string::npos &&
                            r.err.find(c.hint) != std::string::npos;
        EXPECT_EQ(hinted, *c.hint != '\0') << c.content << ": " << r.err;
    }
}

TEST(ImportAcceptance, EveryDateOfARunIsReadInOneOrderOfDayAndMonth) {
    TempDir dir;
    const std::string file = dir.Write("d.csv", "d\n03/05/2024\n14/05/2024\n");
    auto view = [&](const char* order) {
        return RunDornel({"--store", dir.Path("s.json"), "--set", "DateTimeSupport=true", "--set",
                          std::string("DateOrder=") + order, "import", file, "--format", "csv"});
    };
    // Month first, the second is no date and stays the text it was; day first, both are dates.
    EXPECT_EQ(view("mdy").out, "d\n3/5/2024\n14/05/2024\n");
    EXPECT_EQ(view("dmy").out, "d\n3/5/2024\n14/5/2024\n");
    EXPECT_EQ(view("ymd").out, "d\n03/05/2024\n14/05/2024\n");
    EXPECT_EQ(view("dm").exitCode, 2);
}

// The detector and iconv are the Linux build's; Windows reads 8-bit text in its system page.
#if !defined(_WIN32)
TEST(ImportAcceptance, PagesNamedByNumberOrByTheDetectorReadAsThemselves) {
    TempDir dir;
    // Each text in UTF-8 and in its page must give the same cells: Korean as the detector names
    // it (UHC), Baltic, Ukrainian and Mac Roman text by the page's number.
    const RunResult r = RunScript(dir.Path(""), R"sh(
check() {  # page name for iconv, import options, text
    printf '%s\n' "$3" > u.txt
    iconv -f UTF-8 -t "$1" u.txt > p.txt || { echo "no $1"; return; }
    "$DORNEL" --store s.json import u.txt --format csv > want.csv
    "$DORNEL" --store s.json import p.txt --format csv ${2:+--options "$2"} > got.csv
    cmp -s want.csv got.csv && echo "$1 same" || { echo "$1 differs"; cat got.csv; }
}
check CP949 "" "이름
서울에서 만난 친구들과 함께 저녁을 먹었습니다
한국어 문장은 읽기 쉽습니다 그리고 맛있는 음식을 좋아합니다"
check ISO-8859-13 "ImportCodePage=28603" "Ąžuolas šaltinis ąčęėįšųūž Łódź"
check KOI8-U "ImportCodePage=21866" "ґанок їжак Київ є"
check MACINTOSH "ImportCodePage=10000" "café crème ü Å ø"
)sh");
    EXPECT_EQ(r.out, "CP949 same\nISO-8859-13 same\nKOI8-U same\nMACINTOSH same\n") << r.err;
}

TEST(ImportAcceptance, WhatCouldNotBeDecodedIsCountedAndTheEncodingUsedIsTraced) {
    TempDir dir;
    const RunResult r = RunScript(dir.Path(""), R"sh(
# A UTF-8 file with one broken byte on its third line: still UTF-8, the byte counted.
printf 'nom,ville\nFran\303\247oise,Besan\303\247on\nJ\351r\303\264me,Orl\303\251ans\n' > broken.csv
printf 'Zo\303\253,G\303\266teborg\n%.0s' $(seq 1 40) >> broken.csv
"$DORNEL" --store s.json import broken.csv --format csv > broken.out 2> broken.err
sed -n 3p broken.out
cat broken.err
# A page imposed by its number is what the trace reports, after the opening's own decision.
printf 'a;b\n\340\341\342;\344\n' > hebrew.txt
"$DORNEL" --store s.json --trace import hebrew.txt --options "ImportCodePage=1255" |
    grep -o '"reader":{[^}]*}' | sed -n '$p'
# The first 600 KB are ASCII, a Latin-1 letter comes after: the letter decides.
awk 'BEGIN { for (i = 0; i < 40000; i++) print "row" i ",plain ascii text" }' > late.csv
printf 'Zo\353,caf\351\n' >> late.csv
"$DORNEL" --store s.json import late.csv --format csv | tail -1
# Multi-byte pages by their numbers: EUC-JP and GB18030 with four-byte sequences and the euro.
printf '名前;都市\n田中;東京\n' | iconv -t EUC-JP > eucjp.txt
"$DORNEL" --store s.json import eucjp.txt --format csv --options "ImportCodePage=20932" | tail -1
printf '价格;€ 5\n𠀀;㐀\n' | iconv -t GB18030 > gb.txt
"$DORNEL" --store s.json import gb.txt --format csv --options "ImportCodePage=54936"
)sh");
    EXPECT_EQ(r.out,
              "J\xEF\xBF\xBDr\xC3\xB4me,Orl\xC3\xA9"
              "ans\n"
              "dornel: warning: 'broken.csv': 1 byte could not be decoded, first at line 3\n"
              "\"reader\":{\"path\":\"hebrew.txt\",\"encoding\":\"windows-1255\","
              "\"codePage\":1255,\"mark\":false,\"detected\":false,\"why\":\"imposed\"}\n"
              "Zo\xC3\xAB,caf\xC3\xA9\n"
              "田中,東京\n"
              "价格,€ 5\n𠀀,㐀\n")
        << r.err;
}
#endif

}  // namespace
}  // namespace dornel::test
