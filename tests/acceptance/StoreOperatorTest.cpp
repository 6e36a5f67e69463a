// What an operator meets in the option store: each filter's scope, stores written before scopes,
// homes that are missing or may not be written, and a lock that another process keeps.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "acceptance/AcceptanceSupport.h"
#include "support/TestSupport.h"

#if !defined(_WIN32)

namespace dornel::test {
namespace {

constexpr const char* kStations = "name\tx\tlon\nA\t1,5\t2\nB\t3\t4\n";
// The tab-separated stations as the CSV view shows them: three columns.
constexpr const char* kStationsView = "name,x,lon\nA,\"1,5\",2\nB,3,4\n";

TEST(Scopes, AnExportsOptionsNeverChangeHowTheInputIsRead) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    const std::string in = dir.Write("stations.txt", kStations);
    RunResult r = RunDornel({"--store", store, "convert", in, dir.Path("o.csv"), "--export-options",
                             "Delimiter=comma"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("o.csv")), "\"name\",\"x\",\"lon\"\n\"A\",\"1,5\",2\n\"B\",3,4\n");
    // The same holds for the runs after it, and for an export of the import's own kind.
    r = RunDornel({"--store", store, "import", in, "--kind", "txt", "--format", "csv"});
    EXPECT_EQ(r.out, kStationsView) << r.err;
    r = RunDornel({"--store", store, "convert", in, dir.Path("o.txt"), "--export-options",
                   "Delimiter=semicolon"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("o.txt")), "name;x;lon\nA;1,5;2\nB;3;4\n");
    r = RunDornel({"--store", store, "import", in, "--format", "csv"});
    EXPECT_EQ(r.out, kStationsView) << r.err;
    // Each export kept its own.
    EXPECT_EQ(RunDornel({"--store", store, "options", "get", "Delimiter", "--direction", "export",
                         "--kind", "csv"})
                  .out,
              ",\n");
    EXPECT_EQ(RunDornel({"--store", store, "options", "get", "Delimiter", "--direction", "export",
                         "--kind", "txt"})
                  .out,
              ";\n");
    EXPECT_EQ(RunDornel({"--store", store, "options", "get", "Delimiter"}).exitCode, 1);
}

TEST(Scopes, AFiltersScopeComesFirstThenTheSharedOne) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    const std::string txt = dir.Write("a.txt", "h\n1\n2\n");
    const std::string dat = dir.Write("a.dat", "h\n1\n2\n");
    auto column = [&](const std::string& file) {
        return RunDornel({"--store", store, "import", file, "--format", "csv"}).out;
    };
    ASSERT_EQ(RunDornel({"--store", store, "options", "set", "StartRow", "2", "--type", "int",
                         "--direction", "import", "--kind", "txt"})
                  .exitCode,
              0);
    EXPECT_EQ(column(txt), "2\n");
    EXPECT_EQ(column(dat), "h\n1\n2\n");
    // A shared value reaches every filter that has none of its own.
    ASSERT_EQ(
        RunDornel({"--store", store, "options", "set", "StartRow", "1", "--type", "int"}).exitCode,
        0);
    EXPECT_EQ(column(txt), "2\n");
    EXPECT_EQ(column(dat), "1\n2\n");
    const RunResult all = RunDornel({"--store", store, "options", "list", "--all"});
    EXPECT_EQ(all.out, "import/txt StartRow=2 (int)\nshared StartRow=1 (int)\n");
    EXPECT_EQ(RunDornel({"--store", store, "options", "list", "--kind", "txt"}).out,
              "StartRow=2 (int)\n");
    // A scope is one filter's: a direction alone names none.
    EXPECT_EQ(RunDornel({"--store", store, "options", "list", "--direction", "export"}).exitCode,
              2);
}

TEST(Scopes, AStoreWrittenBeforeScopesIsReadAsTheSharedScope) {
    TempDir dir;
    const std::string store = dir.Write(
        "s.json",
        R"({"format":"dornel-options","version":1,"options":[)"
        R"({"name":"StartRow","type":"int","value":1},{"name":"Delimiter","type":"text","value":";"}]})");
    RunResult r =
        RunDornel({"--store", store, "import", dir.Write("a.txt", "h\n1;2\n"), "--format", "csv"});
    EXPECT_EQ(r.out, "1,2\n") << r.err;
    r = RunDornel({"--store", store, "options", "list"});
    EXPECT_EQ(r.out, "StartRow=1 (int)\nDelimiter=; (text)\n");
    // Saving a filter's own value leaves the old entry to the others.
    ASSERT_EQ(RunDornel({"--store", store, "options", "set", "StartRow", "0", "--direction",
                         "import", "--kind", "txt"})
                  .exitCode,
              0);
    EXPECT_EQ(RunDornel({"--store", store, "options", "get", "StartRow"}).out, "1\n");
}

}  // namespace
}  // namespace dornel::test

#endif
