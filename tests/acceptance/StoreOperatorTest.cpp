// What an operator meets in the option store: each filter's scope, stores written before scopes,
// homes that are missing or may not be written, and a lock that another process keeps.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

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
                             "Delimiter=comma", "--save"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("o.csv")), "\"name\",\"x\",\"lon\"\n\"A\",\"1,5\",2\n\"B\",3,4\n");
    // The same holds for the runs after it, and for an export of the import's own kind.
    r = RunDornel({"--store", store, "import", in, "--kind", "txt", "--format", "csv"});
    EXPECT_EQ(r.out, kStationsView) << r.err;
    r = RunDornel({"--store", store, "convert", in, dir.Path("o.txt"), "--export-options",
                   "Delimiter=semicolon", "--save"});
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

TEST(Scopes, AnOptionStringLastsOneRunUnlessSaved) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    const std::string in = dir.Write("stations.txt", kStations);
    auto view = [&] { return RunDornel({"--store", store, "import", in, "--format", "csv"}).out; };
    // A string given to a CSV import that reads none of it, then to the TXT import itself.
    RunDornel({"--store", store, "import", dir.Write("r.csv", "a\n"), "--options", "StartRow=3"});
    EXPECT_EQ(view(), kStationsView);
    RunDornel({"--store", store, "import", in, "--options", "StartRow=1", "--format", "none"});
    EXPECT_EQ(view(), kStationsView);
    RunDornel({"--store", store, "convert", in, dir.Path("o.csv"), "--import-options", "StartRow=1",
               "--export-options", "Delimiter=semicolon"});
    EXPECT_EQ(view(), kStationsView);
    EXPECT_FALSE(std::filesystem::exists(store));
    // Saved, it stays.
    RunDornel(
        {"--store", store, "import", in, "--options", "StartRow=1", "--save", "--format", "none"});
    EXPECT_EQ(view(), "A,\"1,5\",2\nB,3,4\n");
}

TEST(Scopes, AnOptionOrAWholeScopeIsUndoneAndTheOthersStay) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    auto d = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--store", store, "options"});
        return RunDornel(args);
    };
    d({"set", "A", "1"});
    d({"set", "B", "2"});
    d({"set", "A", "3", "--kind", "txt"});
    d({"set", "C", "4", "--kind", "txt"});
    d({"set", "D", "5", "--kind", "csv", "--direction", "export"});
    EXPECT_EQ(d({"unset", "A"}).exitCode, 0);
    EXPECT_EQ(d({"unset", "A"}).exitCode, 1);
    EXPECT_EQ(d({"reset", "--kind", "txt"}).exitCode, 0);
    EXPECT_EQ(d({"list", "--all"}).out, "shared B=2 (int)\nexport/csv D=5 (int)\n");
    EXPECT_EQ(d({"reset", "--all"}).exitCode, 0);
    EXPECT_EQ(d({"list", "--all"}).out, "");
}

TEST(Scopes, AStoredValueThatChangesARunIsSaidOnce) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    const std::string in = dir.Write("q.txt", "a;b\n1;2\n");
    RunDornel({"--store", store, "options", "set", "Delimiter", ";", "--kind", "txt"});
    RunResult r = RunDornel({"--store", store, "import", in, "--format", "csv"});
    EXPECT_EQ(r.out, "a,b\n1,2\n");
    EXPECT_EQ(r.err, "dornel: using stored Delimiter=semicolon (import, txt) from " + store + "\n");
    // A value given for the run is not the stored one.
    r = RunDornel(
        {"--store", store, "import", in, "--format", "csv", "--options", "Delimiter=tab"});
    EXPECT_EQ(r.err, "");
    // A value set for the run in the shared scope does not hide the filter's own stored one.
    r = RunDornel({"--store", store, "--set", "Delimiter=|", "import", in, "--format", "csv"});
    EXPECT_EQ(r.out, "a,b\n1,2\n");
    EXPECT_EQ(Count(r.err, "using stored Delimiter=semicolon"), 1u) << r.err;
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

/// Runs a script in a folder that the user "nobody" may enter, or skips when this process may not
/// run commands as another user (the run as another user is what makes a home unwritable).
RunResult RunScriptAsOthers(const TempDir& dir, const std::string& script) {
    std::filesystem::permissions(dir.Path(""), std::filesystem::perms(0777),
                                 std::filesystem::perm_options::replace);
    return RunScript(dir.Path(""),
                     "as() { setpriv --reuid=\"$1\" --regid=\"$1\" --clear-groups \"${@:2}\"; }\n"
                     "as 65534 test -x \"$DORNEL\" || { echo skip; exit; }\n" +
                         script);
}

TEST(Homeless, AStoreThatCannotBeSavedLetsTheImportRunAndSaysWhy) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs to run commands as another user";
    TempDir dir;
    // "nobody" has the home /nonexistent in the user database; the second user has no entry at
    // all; the third run has a HOME whose .config it may not write.
    const RunResult r = RunScriptAsOthers(dir, R"sh(
printf 'a;b\n1;2\n' > x.txt; mkdir -p home/.config; chmod 755 home home/.config
run() { as "$1" env -u XDG_CONFIG_HOME "${@:2}" "$DORNEL" import x.txt --options Delimiter=semicolon --save --format csv; echo "exit=$?"; }
run 65534 -u HOME 2> e1.txt
run 54321 -u HOME 2> e2.txt
run 65534 HOME="$PWD/home" 2> e3.txt
as 65534 env -u HOME -u XDG_CONFIG_HOME "$DORNEL" options set A 1 2> e4.txt; echo "set=$?"
as 54321 env -u HOME -u XDG_CONFIG_HOME "$DORNEL" options set A 1 2> e5.txt; echo "set=$?"
ls
)sh");
    if (r.out == "skip\n")
        GTEST_SKIP() << "the build cannot be run by another user here";
    EXPECT_EQ(r.out,
              "a,b\n1,2\nexit=0\na,b\n1,2\nexit=0\na,b\n1,2\nexit=0\nset=1\nset=1\n"
              "e1.txt\ne2.txt\ne3.txt\ne4.txt\ne5.txt\nhome\nx.txt\n")
        << r.err;
    const std::string nonexistent = "'/nonexistent/.config/dornel/options.json'";
    const std::string e1 = ReadBytes(dir.Path("e1.txt"));
    EXPECT_EQ(Count(e1, "dornel: warning: cannot save the option store " + nonexistent +
                            " (cannot create its folder '/nonexistent/.config/dornel'): "
                            "Permission denied; the options of this run were not saved"),
              1u)
        << e1;
    EXPECT_EQ(Lines(e1).size(), 1u) << e1;
    const std::string e2 = ReadBytes(dir.Path("e2.txt"));
    EXPECT_EQ(Count(e2, "there is no option store"), 1u) << e2;
    EXPECT_NE(e2.find("options last for this run only"), std::string::npos) << e2;
    const std::string e3 = ReadBytes(dir.Path("e3.txt"));
    EXPECT_NE(e3.find(dir.Path("home/.config/dornel")), std::string::npos) << e3;
    EXPECT_NE(e3.find("Permission denied"), std::string::npos) << e3;
    // The command that is about the store itself still fails, with the same cause.
    EXPECT_NE(ReadBytes(dir.Path("e4.txt")).find("cannot create its folder"), std::string::npos);
    EXPECT_NE(ReadBytes(dir.Path("e5.txt")).find("there is no option store"), std::string::npos);
}

TEST(StoreLock, AWriterSaysWhoHoldsTheLockAndGivesUpWithNothingLost) {
    TempDir dir;
    const RunResult r = RunScript(dir.Path(""), R"sh(
printf 'a;b\n1;2\n' > x.txt
"$DORNEL" --store s.json options set Kept 1
cp s.json before.json
flock s.json.lock sleep 60 & holder=$!
# Until the holder has the lock: a busy machine may start it late.
while flock -n s.json.lock true; do sleep 0.01; done
export DORNEL_LOCK_TIMEOUT=5
"$DORNEL" --store s.json options set A 2 2> set.txt & setter=$!
"$DORNEL" --store s.json import x.txt --options Delimiter=semicolon --save --format csv 2> import.txt; echo "import=$?"
wait $setter; echo "set=$?"
kill $holder
cmp -s s.json before.json && echo unchanged
)sh");
    EXPECT_EQ(r.out, "a,b\n1,2\nimport=0\nset=1\nunchanged\n") << r.err;
    for (const char* name : {"set.txt", "import.txt"}) {
        const std::string err = ReadBytes(dir.Path(name));
        EXPECT_EQ(Count(err, "waiting for the option store's lock"), 1u) << err;
        EXPECT_NE(err.find("held by process "), std::string::npos) << err;
        EXPECT_NE(err.find("after 5 seconds"), std::string::npos) << err;
    }
}

TEST(StoreLock, ASaveThatCannotSyncOrRenameLeavesTheStoreAsItWas) {
    TempDir dir;
    for (const char* fault : {"fsync:1:EIO", "rename:1:EIO", "flock:1:ENOSPC"}) {
        const RunResult r = RunScript(dir.Path(""), std::string(kFaulty) + R"sh(
rm -f s.json; "$DORNEL" --store s.json options set Kept 1; cp s.json before.json
faulty )sh" + fault + R"sh( "$DORNEL" --store s.json options set A 2; echo "set=$?"
cmp -s s.json before.json && echo unchanged
ls | grep -c part
)sh");
        EXPECT_EQ(r.out, "set=1\nunchanged\n0\n") << fault << r.err;
        EXPECT_NE(r.err.find("cannot save the option store 's.json'"), std::string::npos)
            << fault << r.err;
    }
}

TEST(Scopes, TheReadmesExamplesGiveTheSameInAnyOrderOnOneStore) {
    // The examples of the README's first block, each line a command (a line ending in a
    // backslash goes on). Those that keep a store of their own show how to change it, and run
    // in their order there.
    const std::string readme = ReadBytes(DORNEL_SOURCE_DIR "/README.md");
    const size_t from = readme.find("```sh", readme.find("## Using the host program"));
    const size_t to = readme.find("```", from + 5);
    std::vector<std::string> commands;
    std::string command;
    for (const std::string& line : Lines(readme.substr(from, to - from))) {
        if (command.empty() && line.rfind("build/bin/dornel ", 0) != 0)
            continue;
        std::string part =
            line.substr(command.empty() ? std::string("build/bin/dornel ").size() : 0);
        // A comment after a command explains it.
        if (const size_t comment = part.find("  #"); comment != std::string::npos)
            part.erase(comment);
        while (!part.empty() && part.back() == ' ')
            part.pop_back();
        command += part;
        if (!command.empty() && command.back() == '\\')
            command.pop_back();
        else if (command.find("--store") == std::string::npos)
            commands.push_back(std::move(command)), command.clear();
        else
            command.clear();
    }
    ASSERT_GE(commands.size(), 10u);
    // Each alone in a folder of its own, then all in one folder and one store, in a shuffled
    // order: every command prints the same and ends the same.
    std::string script =
        "export XDG_CONFIG_HOME=$PWD/config\n"
        "cp -r '" DORNEL_SOURCE_DIR
        "/samples' .\nrun() { \"$DORNEL\" \"$@\" 2>&1; "
        "echo \"exit=$?\"; }\n";
    for (size_t i = 0; i < commands.size(); ++i)
        script += "mkdir -p alone/" + std::to_string(i) + "; (cd alone/" + std::to_string(i) +
                  " && XDG_CONFIG_HOME=$PWD/config && cp -r ../../samples . && run " + commands[i] +
                  " > ../../alone-" + std::to_string(i) + ".txt)\n";
    std::vector<size_t> order(commands.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::mt19937 random(5);
    for (int round = 0; round < 2; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (const size_t i : order)
            script += "run " + commands[i] + " > shared-" + std::to_string(round) + "-" +
                      std::to_string(i) + ".txt\n";
    }
    TempDir dir;
    const RunResult r = RunScript(dir.Path(""), script);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (size_t i = 0; i < commands.size(); ++i) {
        const std::string alone = ReadBytes(dir.Path("alone-" + std::to_string(i) + ".txt"));
        EXPECT_NE(alone.find("exit="), std::string::npos) << commands[i];
        for (int round = 0; round < 2; ++round)
            EXPECT_EQ(ReadBytes(dir.Path("shared-" + std::to_string(round) + "-" +
                                         std::to_string(i) + ".txt")),
                      alone)
                << commands[i];
    }
}

}  // namespace
}  // namespace dornel::test

#endif
