// What an operator meets: many hosts on one store, pipes and devices as input, links, devices
// and modes as output, signals, write errors on standard output, records out of range.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "acceptance/AcceptanceSupport.h"
#include "support/TestSupport.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dornel::test {
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(SharedStore, ManyHostsAtOnceLoseNoOptionAndNeverBreakTheStore) {
    TempDir dir;
    // 20 writers a round, 10 rounds; in the second half, TXT imports that save their option
    // string run beside them. After each round the store must parse and hold every value.
    const RunResult r = RunScript(dir.Path(""), R"sh(
printf 'a\tb\n1\t2\n' > t.txt
failed=0; lost=0; broken=0
for round in 1 2 3 4 5 6 7 8 9 10; do
    pids=()
    for i in $(seq 1 20); do
        "$DORNEL" --store s.json options set "Name_$i" "$round" --type int 2>>errors.txt &
        pids+=($!)
        if [ "$round" -gt 5 ] && [ $((i % 4)) -eq 0 ]; then
            "$DORNEL" --store s.json import t.txt --options "StartRow=1;MaxColumn=$i" --save \
                --format none 2>>errors.txt &
            pids+=($!)
        fi
    done
    for p in "${pids[@]}"; do wait "$p" || failed=$((failed + 1)); done
    "$DORNEL" --store s.json options list > list.txt 2>>errors.txt || broken=$((broken + 1))
    for i in $(seq 1 20); do
        grep -qx "Name_$i=$round (int)" list.txt || lost=$((lost + 1))
    done
done
echo "failed=$failed lost=$lost broken=$broken"
)sh");
    EXPECT_EQ(r.out, "failed=0 lost=0 broken=0\n") << ReadBytes(dir.Path("errors.txt"));
    // The options the imports saved are there too.
    const RunResult list = RunDornel({"--store", dir.Path("s.json"), "options", "get", "StartRow",
                                      "--direction", "import", "--kind", "txt"});
    EXPECT_EQ(list.out, "1\n");
}

TEST(SharedStore, OneImportSavesItsOptionsOnce) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    dir.Write("t.txt", "a;b\n1;2\n");
    const RunResult r = RunDornel({"--store", store, "import", dir.Path("t.txt"), "--options",
                                   "Delimiter=semicolon;StartRow=1", "--save", "--trace"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The filter writes several persistent options during one call; the file changed once.
    EXPECT_GT(LinesStartingWith(r.out, "{\"host\":\"SetOption\"").size(), 1u);
    const RunResult again = RunScript(dir.Path(""), R"sh(
ino=$(stat -c %i s.json)
"$DORNEL" --store s.json import t.txt --options 'Delimiter=semicolon;StartRow=1' --save --format none
[ "$(stat -c %i s.json)" != "$ino" ] && echo replaced
)sh");
    EXPECT_EQ(again.out, "replaced\n") << again.err;
}

TEST(SharedStore, AValueThatCannotWorkNamesItsOptionAndStore) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    const std::string in = dir.Write("in.csv", "a,b\n1,2\n");
    RunResult r = RunDornel({"--store", store, "convert", in, dir.Path("o.txt"), "--export-options",
                             "ExportCodepage=99999", "--save"});
    EXPECT_EQ(r.exitCode, 1);
    // A later export without the option string fails the same way and says where to repair.
    r = RunDornel({"--store", store, "convert", in, dir.Path("o2.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Has(r.err, "code page 99999")) << r.err;
    EXPECT_TRUE(Has(r.err, "'ExportCodepage'")) << r.err;
    EXPECT_TRUE(Has(r.err, store)) << r.err;
}

TEST(Streams, PipesFifosAndProcessSubstitutionsAreReadToTheirEnd) {
    TempDir dir;
    const char* inputs[] = {
        "printf 'x,y\\n3,4\\n' | \"$DORNEL\" import - --kind csv --format csv",
        "printf 'x,y\\n3,4\\n' | \"$DORNEL\" import /dev/stdin --kind csv --format csv",
        "\"$DORNEL\" import <(printf 'x,y\\n3,4\\n') --kind csv --format csv",
        "mkfifo f.csv; printf 'x,y\\n3,4\\n' > f.csv & \"$DORNEL\" import f.csv --format csv",
        "printf 'x,y\\n3,4\\n' | \"$DORNEL\" import - --kind csv --from-memory --format csv",
        "printf 'x,y\\n3,4\\n' | \"$DORNEL\" convert - out.csv --import-kind csv && cat out.csv",
    };
    for (const char* script : inputs) {
        std::filesystem::remove(dir.Path("f.csv"));
        const RunResult r = RunScript(dir.Path(""), script);
        EXPECT_EQ(r.exitCode, 0) << script << "\n" << r.err;
        EXPECT_TRUE(r.out == "x,y\n3,4\n" || r.out == "\"x\",\"y\"\n3,4\n") << script << r.out;
    }
    // Nothing is left in the temporary folder by a spooled input.
    const RunResult left = RunScript(dir.Path(""), R"sh(
export TMPDIR="$PWD/tmp"; mkdir -p tmp
printf 'x\n' | "$DORNEL" import - --kind csv --format none
ls -A tmp
)sh");
    EXPECT_EQ(left.out, "");
}

TEST(Streams, AnEndlessDeviceIsRefusedAndNoOutputIsTouched) {
    TempDir dir;
    dir.Write("k.csv", "keep\n");
    const RunResult r = RunScript(dir.Path(""), R"sh(
"$DORNEL" convert /dev/zero k.csv --import-kind csv; echo "exit=$?"
)sh");
    EXPECT_EQ(r.out, "exit=1\n");
    EXPECT_TRUE(Has(r.err, "'/dev/zero'")) << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("k.csv")), "keep\n");
}

TEST(Targets, LinksDevicesFifosAndModesStayAsTheUserSetThemUp) {
    TempDir dir;
    dir.Write("good.csv", "a,b\n1,2\n");
    const RunResult r = RunScript(dir.Path(""), R"sh(
"$DORNEL" convert good.csv /dev/null || echo "null failed"
[ -c /dev/null ] || echo "null replaced"
echo old > target.csv; ln -s target.csv link.csv
"$DORNEL" convert good.csv link.csv || echo "link failed"
[ -L link.csv ] || echo "link replaced"
grep -q 1,2 target.csv || echo "target not written"
echo old > mode.csv; chmod 640 mode.csv
"$DORNEL" convert good.csv mode.csv || echo "mode failed"
[ "$(stat -c %a mode.csv)" = 640 ] || echo "mode changed to $(stat -c %a mode.csv)"
if [ "$(id -u)" = 0 ]; then
    echo old > owned.csv; chown nobody owned.csv
    "$DORNEL" convert good.csv owned.csv
    [ "$(stat -c %U owned.csv)" = nobody ] || echo "owner changed"
fi
mkfifo fifo.csv; cat fifo.csv > got.txt & reader=$!
"$DORNEL" convert good.csv fifo.csv || echo "fifo failed"
wait $reader
[ -p fifo.csv ] || echo "fifo replaced"
grep -q 1,2 got.txt || echo "fifo not written"
# Nothing to export removes no device, FIFO or link.
: > empty.csv
cat fifo.csv > /dev/null & reader=$!
"$DORNEL" convert empty.csv fifo.csv
wait $reader
[ -p fifo.csv ] || echo "fifo removed"
echo done
)sh");
    EXPECT_EQ(r.out, "done\n") << r.err;
}

TEST(Targets, TemporaryFilesCollideWithNothing) {
    TempDir dir;
    dir.Write("good.csv", "a,b\n1,2\n");
    dir.Write("out.csv.part", "mine\n");
    const RunResult r = RunScript(dir.Path(""), R"sh(
"$DORNEL" convert good.csv out.csv & first=$!
"$DORNEL" convert good.csv out.csv & second=$!
wait $first || echo "first failed"
wait $second || echo "second failed"
ls
)sh");
    EXPECT_EQ(r.out, "good.csv\nout.csv\nout.csv.part\n") << r.err;
    EXPECT_EQ(ReadBytes(dir.Path("out.csv.part")), "mine\n");
    EXPECT_EQ(ReadBytes(dir.Path("out.csv")), "\"a\",\"b\"\n1,2\n");
}

TEST(Signals, ASignalDuringAnExportRemovesItsTemporaryFileAndKeepsTheTarget) {
    TempDir dir;
    // Large enough that the export takes a while after its temporary file appears.
    const RunResult made = RunScript(dir.Path(""), R"sh(
awk 'BEGIN { for (i = 0; i < 1500000; i++) printf "%d,%d.5,text %d,\"q,%d\"\n", i, i, i, i }' > big.csv
)sh");
    ASSERT_EQ(made.exitCode, 0);
    const struct {
        const char* name;
        int number;
    } signals[] = {{"INT", 2}, {"TERM", 15}, {"HUP", 1}};
    for (const auto& signal : signals) {
        dir.Write("out.csv", "before\n");
        // Job control gives the background job the signal's default action, as a terminal does.
        const RunResult r = RunScript(dir.Path(""), std::string(R"sh(
set -m
"$DORNEL" convert big.csv out.csv & pid=$!
for i in $(seq 1 3000); do
    ls out.csv.*.part >/dev/null 2>&1 && break
    sleep 0.01
done
kill -)sh") + signal.name + R"sh( $pid
wait $pid; echo "status=$?"
ls
)sh");
        EXPECT_EQ(r.out, "status=" + std::to_string(128 + signal.number) + "\nbig.csv\nout.csv\n")
            << signal.name << r.err;
        EXPECT_EQ(ReadBytes(dir.Path("out.csv")), "before\n") << signal.name;
    }
}

TEST(OutputErrors, AFullDiskOrASizeLimitIsAnErrorAndAClosedPipeIsQuiet) {
    TempDir dir;
    dir.Write("good.csv", "a,b\n1,2\n");
    for (const char* view : {"--format table", "--format csv", "--format json", "--trace"}) {
        const RunResult r = RunScript(
            dir.Path(""), std::string("\"$DORNEL\" import good.csv ") + view + " > /dev/full");
        EXPECT_EQ(r.exitCode, 1) << view;
        EXPECT_EQ(r.err, "dornel: error: standard output: write error: No space left on device\n")
            << view;
    }
    RunResult r = RunScript(dir.Path(""), R"sh(
awk 'BEGIN { for (i = 0; i < 20000; i++) print i "," i }' > many.csv
ulimit -f 1
"$DORNEL" import many.csv --format csv > limited.csv
)sh");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Has(r.err, "write error: File too large")) << r.err;
    r = RunScript(dir.Path(""), R"sh(
"$DORNEL" import many.csv --format csv | head -1
"$DORNEL" import good.csv >&-; echo "closed=$?"
)sh");
    EXPECT_EQ(r.out, "0,0\nclosed=1\n");
    EXPECT_EQ(r.err, "dornel: error: standard output: write error: Bad file descriptor\n");
}

TEST(OutputErrors, MemoryRunningOutIsNamed) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-sanitized program cannot start under a memory limit";
#else
    TempDir dir;
    const RunResult r = RunScript(dir.Path(""), R"sh(
awk 'BEGIN { for (i = 0; i < 3000000; i++) print i ",text " i }' > big.csv
ulimit -v 200000
"$DORNEL" import big.csv --format none
)sh");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "dornel: error: out of memory while importing 'big.csv'\n");
#endif
}

/// Runs the host program with its standard output to the file out; its peak resident memory in
/// kilobytes, or -1 when it did not end with status 0.
[[maybe_unused]] long PeakKilobytes(std::vector<std::string> args, const std::string& out) {
    std::string program = DORNEL_TEST_BIN_DIR "/dornel";
    std::vector<char*> argv{program.data()};
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        if (dup2(fd, STDOUT_FILENO) < 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fd);
    int status = 0;
    rusage usage{};
    // The child's own figure: a shell between would add nothing, and what other tests ran
    // does not count.
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

TEST(StreamedViews, OneLongLineTakesLittleMemoryAndComesOutWhole) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-sanitized program keeps freed memory for a while";
#else
    // Single lines of 27 and 40 MB, of many short fields (numbers and texts by turns) and of
    // fewer long texts: a view that held the line took two to four times that for CSV and more
    // for JSON. Each line is made twice, as the file and as what each view must show, since what
    // this process holds when it starts the program counts in the program's peak.
    const struct {
        const char* name;
        int fields;
        std::string (*field)(int k);
        bool (*text)(int k);
    } lines[] = {
        {"short fields", 3000000,
         [](int k) { return k % 2 ? "t" + std::to_string(k) : std::to_string(k) + ".5"; },
         [](int k) { return k % 2 == 1; }},
        {"long texts", 100000,
         [](int k) {
             return std::to_string(k) + std::string(400, static_cast<char>('a' + k % 26));
         },
         [](int) { return true; }},
    };
    TempDir dir;
    const std::string file = dir.Path("line.csv");
    for (const auto& line : lines) {
        {
            std::FILE* f = std::fopen(file.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            for (int k = 0; k < line.fields; ++k)
                std::fprintf(f, "%s%s", k > 0 ? "," : "", line.field(k).c_str());
            std::fputs("\n", f);
            ASSERT_EQ(std::fclose(f), 0);
        }
        for (const std::string format : {"csv", "json"}) {
            SCOPED_TRACE(std::string(line.name) + ", " + format);
            const std::string out = dir.Path("out." + format);
            const long peak = PeakKilobytes(
                {"--store", dir.Path("s.json"), "import", file, "--format", format}, out);
            ASSERT_GT(peak, 0);
            EXPECT_LT(peak, 64 * 1024);
            std::string expected = format == "json" ? "[[" : "";
            for (int k = 0; k < line.fields; ++k) {
                if (k > 0)
                    expected += ',';
                const bool quoted = format == "json" && line.text(k);
                expected += quoted ? '"' + line.field(k) + '"' : line.field(k);
            }
            expected += format == "json" ? "]]\n" : "\n";
            // Compared apart from the assertion, which would print both whole.
            const bool same = ReadBytes(out) == expected;
            EXPECT_TRUE(same) << "the view is not the line";
        }
    }
#endif
}

TEST(Records, NumbersOutsideTheirTypeAreErrorsWithFileAndLine) {
    TempDir dir;
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {R"({"record":"TrCell","row":4294967297,"col":0,"kind":"empty"})",
         "row 4294967297 is outside"},
        {R"({"record":"TrCell","row":2147483648,"col":0,"kind":"empty"})",
         "row 2147483648 is outside"},
        {R"({"record":"TrCell","row":1e10,"col":0,"kind":"empty"})",
         "is outside -2147483648 to 2147483647"},
        {R"({"record":"TrCell","row":0.5,"col":0,"kind":"empty"})", "row 0.5 is not a whole"},
        {R"({"record":"TrWksCap","flags":70000})", "flags 70000 is outside"},
        {R"({"record":"TrPoints","coordType":"int8","points":[[300,1,2]]})",
         "the int8 element 300 is outside"},
        {R"({"record":"TrPoints","attrType":"uint32","points":[[1,2,3]],"attributes":[[-1]]})",
         "the uint32 element -1 is outside"},
        {R"({"record":"TrPoints","coordType":"int16","points":[[1.5,1,2]]})",
         "the int16 element 1.5 is not a whole"},
        {R"({"record":"TrPoints","coordType":"float","points":[[1e39,1,2]]})",
         "is outside the range of a float"},
        {R"({"record":"TrPoints","points":[[1,2,3],[4,5]]})",
         "all rows of an array must have the same length"},
        {R"({"record":"TrPoints","points":[[1,2,3]],"attributes":[[1,2],[3,4]]})",
         "attributes need one row per point"},
        {R"({"record":"TrCell","row":0)", "not one JSON object (at byte 27); each line holds"},
        {R"({"record":"TrCell","row":0,"col":0,"kind":"number","value":"x"})",
         "\"value\" must be a number, not \"x\""},
        {R"({"record":"TrCell","row":0,"col":0,"kind":"text"})",
         "\"text\" is missing: a TrCell needs it here"},
    };
    for (const auto& c : cases) {
        const std::string records =
            dir.Write("r.jsonl", std::string("{\"record\":\"TrInitWksExp\"}\n") + c.line + "\n");
        const RunResult r = RunDornel({"export", dir.Path("o.csv"), "--records", records});
        EXPECT_EQ(r.exitCode, 2) << c.line;
        EXPECT_TRUE(Has(r.err, records + ":2: ")) << r.err;
        EXPECT_TRUE(Has(r.err, c.message)) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.Path("o.csv")));
    }
}

TEST(HostContract, AnEmptyOptionStringIsPassedAndARefusalEndsWithoutEndExport) {
    TempDir dir;
    const std::string store = dir.Path("s.json");
    const std::string txt = dir.Write("t.txt", "1\n");
    RunResult r = RunDornel({"--store", store, "import", txt, "--options", "", "--trace"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LinesStartingWith(r.out, "{\"call\":\"ApplyStringOptions\"}").size(), 1u);

    const std::string empty = dir.Write("empty.jsonl", "");
    r = RunDornel({"export", dir.Path("m.csv"), "--records", empty, "--to-memory",
                   "--cancel-progress", "1", "--trace"});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_TRUE(LinesStartingWith(r.out, "{\"call\":\"EndExport\"").empty()) << r.out;
}

TEST(HostContract, APluginPathThatIsNoLibrarySaysWhatItIs) {
    TempDir dir;
    const std::string text = dir.Write("notes.txt", "not a library\n");
    const std::string in = dir.Write("in.csv", "1\n");
    const struct {
        std::string plugin;
        const char* message;
    } cases[] = {
        {text, "it is a text file"},
        {dir.Path(""), "it is a directory"},
        {dir.Path("missing.so"), "there is no such file"},
    };
    for (const auto& c : cases) {
        const RunResult r = RunDornel({"--plugin", c.plugin, "import", in});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    }
    // A bare name is the file in the current folder, not one on the library path.
    const RunResult bare = RunScript(dir.Path(""), "\"$DORNEL\" --plugin notes.txt import in.csv");
    EXPECT_TRUE(Has(bare.err, "it is a text file")) << bare.err;
}

}  // namespace
}  // namespace dornel::test
#endif

// What killed processes leave behind, and where spools go when TMPDIR is no help.
#if !defined(_WIN32)
namespace dornel::test {
namespace {

/// Writes a CSV of the given number of lines, large enough to kill a process in the middle of it.
const char* const kMakeCsv =
    R"sh(awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++) printf "%d,%d.5,text %d,\"q,%d\"\n", i, i, i, i }')sh";

std::string MakeCsv(const std::string& lines, const std::string& file) {
    return std::string("set -- ") + lines + "\n" + kMakeCsv + " > " + file + "\n";
}

TEST(Leftovers, PartsOfKilledExportsGoWithTheNextExportToTheTarget) {
    TempDir dir;
    // Each round is killed while it writes its part, after a random share of the write; the
    // next round's export clears it, and one more export after the last leaves only the target.
    const RunResult r = RunScript(dir.Path(""), MakeCsv("1000000", "big.csv") + R"sh(
"$DORNEL" convert big.csv whole.txt || echo "reference failed"
most=0 killed=0
for attempt in $(seq 1 40); do
    "$DORNEL" convert big.csv out.txt & pid=$!
    for i in $(seq 1 1000); do
        ls -l /proc/$pid/fd 2>/dev/null | grep -q 'out\.txt\.[0-9a-z]\{8\}\.part' && break
        sleep 0.005
    done
    sleep "0.$(printf %03d $((RANDOM % 200)))"
    kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null
    # An export that ended before the kill took the target's place: only the killed ones count.
    [ $? -eq 137 ] || continue
    left=$(ls | grep -c '^out\.txt\.[0-9a-z]\{8\}\.part$')
    [ "$left" -gt "$most" ] && most=$left
    killed=$((killed + 1))
    [ $killed -eq 10 ] && break
done
echo "left=$left most=$most killed=$killed"
"$DORNEL" convert big.csv out.txt || echo "final export failed"
ls
cmp -s out.txt whole.txt || echo "out.txt is not whole"
)sh");
    EXPECT_EQ(r.out, "left=1 most=1 killed=10\nbig.csv\nout.txt\nwhole.txt\n") << r.err;
}

TEST(Leftovers, ExportsToOneTargetAtOnceAllSucceedAndLeaveItWhole) {
    TempDir dir;
    // Every export clears the parts whose writers are gone as it begins: the nine others' must
    // be seen to live, so that each can take the target's place in turn.
    const RunResult r = RunScript(dir.Path(""), MakeCsv("200000", "mid.csv") + R"sh(
"$DORNEL" convert mid.csv whole.txt || echo "reference failed"
failed=0
for round in 1 2; do
    pids=()
    for i in $(seq 1 10); do
        "$DORNEL" convert mid.csv out.txt 2>>errors.txt & pids+=($!)
    done
    for p in "${pids[@]}"; do wait "$p" || failed=$((failed + 1)); done
    cmp -s out.txt whole.txt || echo "round $round: out.txt is not whole"
done
echo "failed=$failed"
ls
)sh");
    EXPECT_EQ(r.out, "failed=0\nerrors.txt\nmid.csv\nout.txt\nwhole.txt\n")
        << r.err << ReadBytes(dir.Path("errors.txt"));
}

TEST(Leftovers, AStoreSaveClearsWhatKilledSavesLeftBesideTheStoreAndNothingElse) {
    TempDir dir;
    // What a save killed outright leaves: a part under the store's name that nobody holds.
    const RunResult r = RunScript(dir.Path(""), R"sh(
"$DORNEL" --store s.json options set A 1 --type int || echo "first save failed"
printf '{"half' > s.json.k1ll3d00.part
printf '{"half' > s.json.abcdefgh.part
printf 'mine' > s.json.part
printf 'other' > t.json.abcdefgh.part
"$DORNEL" --store s.json options set B 2 --type int || echo "second save failed"
ls | grep -v '^s\.json\.lock$'
"$DORNEL" --store s.json options list
)sh");
    EXPECT_EQ(r.out, "s.json\ns.json.part\nt.json.abcdefgh.part\nA=1 (int)\nB=2 (int)\n") << r.err;
}

TEST(Leftovers, SpoolsOfKilledImportsGoWithTheNextSpoolAndALiveOneStays) {
    TempDir dir;
    const RunResult r = RunScript(dir.Path(""), MakeCsv("1000000", "big.csv") + R"sh(
export TMPDIR="$PWD/tmp"; mkdir tmp
# Waits until process $1 has a file in a spool folder open: its own spool. (An import holds the
# folders it clears too, but never a file in them.)
spooling() {
    for i in $(seq 1 1000); do
        ls -l /proc/$1/fd 2>/dev/null | grep -q '/tmp/dornel\.[0-9a-z]\{8\}/' && return
        sleep 0.005
    done
}
most=0 killed=0
for attempt in $(seq 1 20); do
    cat big.csv | "$DORNEL" import - --format none & pid=$!
    spooling $pid
    sleep "0.0$((RANDOM % 10))"
    kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null
    # An import that ended before the kill (this script waited for a busy core) cleared its
    # spool itself: only the killed ones count.
    [ $? -eq 137 ] || continue
    left=$(ls tmp | wc -l)
    [ "$left" -gt "$most" ] && most=$left
    killed=$((killed + 1))
    [ $killed -eq 5 ] && break
done
echo "left=$left most=$most killed=$killed"
# A spool whose input is still coming in lives while another spool clears the dead ones.
{ printf 'a,b\n'; sleep 1; printf '1,2\n'; } |
    "$DORNEL" import - --kind csv --format csv > live.txt & live=$!
spooling $live
printf 'x\n' | "$DORNEL" import - --kind csv --format none || echo "second spool failed"
wait $live || echo "live spool failed"
cat live.txt
ls -A tmp
)sh");
    EXPECT_EQ(r.out, "left=1 most=1 killed=5\na,b\n1,2\n") << r.err;
}

TEST(Environment, ASpoolWithoutAUsableTmpdirGoesUnderTmpNeverTheWorkingFolder) {
    TempDir dir;
    const RunResult r = RunScript(dir.Path(""), R"sh(
mkdir work; echo x > file
for tmpdir in "$PWD/nosuch" "$PWD/file" ""; do
    (
        cd work; rm -f ../seen
        # The input ends once its spool was seen (or after ten seconds), however late the
        # import started.
        { printf 'a,b\n'; for i in $(seq 1 1000); do [ -e ../seen ] && break; sleep 0.01; done
          printf '1,2\n'; } |
            TMPDIR="$tmpdir" "$DORNEL" import - --kind csv --format none & pid=$!
        where=
        for i in $(seq 1 1000); do
            where=$(ls -l /proc/$pid/fd 2>/dev/null | grep -o '/[^ ]*/dornel\.[0-9a-z]\{8\}' | head -1)
            [ -n "$where" ] && break
            sleep 0.005
        done
        touch ../seen
        echo "'$tmpdir' spools in ${where%/dornel.*}; the working folder holds '$(ls -A)'"
        wait $pid || echo "the import failed"
    )
done
)sh");
    const std::string base = dir.Path("");
    EXPECT_EQ(r.out, "'" + base + "nosuch' spools in /tmp; the working folder holds ''\n'" + base +
                         "file' spools in /tmp; the working folder holds ''\n"
                         "'' spools in /tmp; the working folder holds ''\n")
        << r.err;
}

TEST(Environment, WithNoTemporaryFolderToWriteInTheMessageNamesEachFolderTried) {
    TempDir dir;
    // A read-only folder for root: a read-only mount, in a mount namespace of the test's own.
    const RunResult r = RunScript(dir.Path(""), R"sh(
unshare -m true 2>/dev/null || { echo "no mount namespace"; exit 0; }
mkdir ro
unshare -m bash -c '
mount -t tmpfs -o ro none "$PWD/ro" || exit 1
printf "a,b\n" | TMPDIR="$PWD/ro" "$DORNEL" import - --kind csv --format none &&
    echo "a read-only TMPDIR is passed over"
mount --rbind /tmp /tmp && mount -o remount,bind,ro /tmp || exit 1
printf "a,b\n" | TMPDIR="$PWD/ro" "$DORNEL" import - --kind csv --format none
printf "a,b\n" | TMPDIR=/nosuch "$DORNEL" import - --kind csv --format none
printf "a,b\n" | TMPDIR= "$DORNEL" import - --kind csv --format none
echo "exit=$?"
'
)sh");
    if (r.out == "no mount namespace\n")
        GTEST_SKIP() << "this system lends no mount namespace to make a read-only folder";
    EXPECT_EQ(r.out, "a read-only TMPDIR is passed over\nexit=1\n") << r.err;
    const std::string said = "dornel: error: cannot read '-': no temporary folder to spool it in: ";
    const std::string ro = dir.Path("ro");
    EXPECT_EQ(r.err, said + "cannot create a folder in '" + ro +
                         "': Read-only file system; nor in '/tmp': Read-only file system\n" + said +
                         "cannot create a folder in '/nosuch': No such file or directory; nor in "
                         "'/tmp': Read-only file system\n" +
                         said + "cannot create a folder in '/tmp': Read-only file system\n");
}

}  // namespace
}  // namespace dornel::test
#endif
