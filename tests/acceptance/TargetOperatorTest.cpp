// What an operator meets at the ends of a run: a target that must survive an export that wrote
// nothing or a run that failed, and inputs whose size says nothing of their content.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "acceptance/AcceptanceSupport.h"
#include "support/TestSupport.h"

#if !defined(_WIN32)

namespace dornel::test {
namespace {

TEST(Targets, AnExportOfNothingKeepsTheFileThatWasThere) {
    struct Case {
        const char* target;
        std::vector<std::string> extra;
    };
    const Case cases[] = {
        {"t.csv", {}},
        {"t.txt", {}},
        {"t.txt", {"--export-options", "ExportEncodingMethod=1"}},
        {"t.txt", {"--export-options", "ExportEncodingMethod=2"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string empty = dir.Write("empty.csv", "");
        const std::string target = dir.Write(c.target, "old content\n");
        std::filesystem::permissions(target, std::filesystem::perms(0640),
                                     std::filesystem::perm_options::replace);
        std::vector<std::string> args = {"--store", dir.Path("s.json"), "convert", empty, target};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        RunResult r = RunDornel(args);
        EXPECT_EQ(r.exitCode, 3) << c.target << r.err;
        EXPECT_EQ(ReadBytes(target), "old content\n") << c.target;
        EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
        EXPECT_NE(r.err.find("nothing was exported; '" + target + "' was kept as it was"),
                  std::string::npos)
            << r.err;

        // Through a link: the link and the file it names both stay.
        const std::string link = dir.Path(std::string("link-") + c.target);
        std::filesystem::create_symlink(target, link);
        args[4] = link;
        r = RunDornel(args);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << c.target;
        EXPECT_EQ(ReadBytes(target), "old content\n") << c.target;

        // Where no file was, none is left behind.
        args[4] = dir.Path(std::string("new-") + c.target);
        EXPECT_EQ(RunDornel(args).exitCode, 3);
        EXPECT_FALSE(std::filesystem::exists(args[4])) << c.target;
    }
    // The export command keeps the target the same way.
    TempDir dir;
    const std::string target = dir.Write("out.csv", "kept\n");
    const RunResult r = RunDornel(
        {"--store", dir.Path("s.json"), "export", target, "--records", dir.Write("r.jsonl", "")});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(ReadBytes(target), "kept\n");
}

TEST(Targets, ARunThatFailsWritesNoTarget) {
    TempDir dir;
    dir.Write("in.csv", "a,b\n1,2\n");
    dir.Write("r.jsonl",
              "{\"record\":\"TrCell\",\"row\":0,\"col\":0,\"kind\":\"number\",\"value\":1}\n");
    // Standard output closed, or a disk with no room for the trace: the run fails, and the
    // target it would have replaced stays as it was.
    const RunResult r = RunScript(dir.Path(""), R"sh(
echo old > o1.csv; echo old > o2.csv; echo old > o3.csv
"$DORNEL" --store s.json --trace convert in.csv o1.csv >&-; echo "closed=$?"
"$DORNEL" --store s.json --trace convert in.csv o2.csv > /dev/full; echo "full=$?"
"$DORNEL" --store s.json import in.csv --format csv >&-; echo "view=$?"
"$DORNEL" --store s.json --trace export o3.csv --records r.jsonl > /dev/full; echo "export=$?"
# Without a trace a convert needs no standard output at all.
"$DORNEL" --store s.json convert in.csv o4.csv >&- <&-; echo "plain=$?"
cat o1.csv o2.csv o3.csv o4.csv
)sh");
    EXPECT_EQ(r.out,
              "closed=1\nfull=1\nview=1\nexport=1\nplain=0\nold\nold\nold\n\"a\",\"b\"\n1,2\n")
        << r.err;
    EXPECT_EQ(Count(r.err, "write error: Bad file descriptor"), 2u) << r.err;
}

TEST(Targets, StandardOutputIsATargetByItsNameOrByDash) {
    TempDir dir;
    dir.Write("in.csv", "a,b\n1,2\n");
    dir.Write("empty.csv", "");
    const RunResult r = RunScript(dir.Path(""), R"sh(
d() { "$DORNEL" --store s.json "$@"; }
# Written through the descriptor the shell gave: what comes before and after stays in order.
{ echo head; d convert in.csv -; d convert in.csv /dev/stdout --export-kind txt; echo tail; } > f.txt
cat f.txt
d convert in.csv - | cat; echo "pipe=${PIPESTATUS[0]}"
# Nothing to export: the descriptor, and the name it goes by, are no files to remove.
d convert empty.csv - > g.txt; echo "empty=$?"; [ -L /dev/stdout ] && echo "link kept"
d convert in.csv out.json; echo "json=$?"; [ -e out.json ] || echo "no out.json"
d convert in.csv out.json --export-kind csv; echo "named=$?"; cat out.json
d --trace convert in.csv -; echo "trace=$?"
)sh");
    EXPECT_EQ(r.out,
              "head\n\"a\",\"b\"\n1,2\na\tb\n1\t2\ntail\n\"a\",\"b\"\n1,2\npipe=0\nempty=3\n"
              "link kept\njson=2\nno out.json\nnamed=0\n\"a\",\"b\"\n1,2\ntrace=2\n")
        << r.err;
    EXPECT_NE(r.err.find("name it with --export-kind"), std::string::npos) << r.err;
}

TEST(PseudoFiles, FilesThatSayTheyAreEmptyAreReadToTheirEnd) {
    // The kernel's files say 0 bytes (or a page) and give something else: they must read as
    // the same bytes read through a pipe do.
    for (const char* path :
         {"/proc/version", "/proc/self/mountinfo", "/sys/devices/system/cpu/online"}) {
        if (!std::filesystem::exists(path))
            continue;
        TempDir dir;
        const RunResult r = RunScript(dir.Path(""), std::string(R"sh(
cat )sh") + path + R"sh( > copy.txt
"$DORNEL" --store s.json import copy.txt --format csv > want.csv || echo "copy failed"
"$DORNEL" --store s.json import )sh" + path + R"sh( --format csv > got.csv || echo "failed"
[ -s got.csv ] || echo "empty"
cmp -s want.csv got.csv || echo "differs"
)sh");
        EXPECT_EQ(r.out, "") << path << r.err;
    }
}

TEST(PseudoFiles, TheSameBytesReadTheSameFromAFileAPipeOrAFifo) {
    TempDir dir;
    // A file of zeros with no blocks on the disk, the same from a pipe and a FIFO: one rule.
    // Only a device that never ends is refused, whichever way it comes in.
    const RunResult r = RunScript(dir.Path(""), R"sh(
truncate -s 100000 zeros.txt
"$DORNEL" --store s.json import zeros.txt --format csv > a.csv; echo "file=$?"
cat zeros.txt | "$DORNEL" --store s.json import - --format csv > b.csv; echo "pipe=$?"
mkfifo f; cat zeros.txt > f &
"$DORNEL" --store s.json import f --format csv > c.csv; echo "fifo=$?"
cmp -s a.csv b.csv && cmp -s a.csv c.csv && echo same
timeout 20 "$DORNEL" --store s.json import /dev/zero > /dev/null 2>>err.txt; echo "device=$?"
timeout 20 "$DORNEL" --store s.json import - < /dev/zero > /dev/null 2>>err.txt; echo "stdin=$?"
grep -c 'device that gives binary data' err.txt
)sh");
    EXPECT_EQ(r.out, "file=0\npipe=0\nfifo=0\nsame\ndevice=1\nstdin=1\n2\n") << r.err;
}

TEST(Targets, ATargetThatCannotTakeTheNewFilesPlaceStaysAsItWas) {
    TempDir dir;
    dir.Write("in.csv", "a,b\n1,2\n");
    dir.Write("r.jsonl",
              "{\"record\":\"TrCell\",\"row\":0,\"col\":0,\"kind\":\"number\",\"value\":1}\n");
    const RunResult r = RunScript(dir.Path(""), std::string(kFaulty) + R"sh(
echo old > o.csv; echo old > e.csv
faulty rename:1:EXDEV "$DORNEL" --store s.json convert in.csv o.csv 2> convert.txt; echo "convert=$?"
faulty rename:1:EIO "$DORNEL" --store s.json export e.csv --records r.jsonl 2> export.txt; echo "export=$?"
cat o.csv e.csv; ls | grep -c part
)sh");
    EXPECT_EQ(r.out, "convert=1\nexport=1\nold\nold\n0\n") << r.err;
    EXPECT_NE(
        ReadBytes(dir.Path("convert.txt")).find("cannot write 'o.csv': Invalid cross-device link"),
        std::string::npos)
        << ReadBytes(dir.Path("convert.txt"));
    EXPECT_NE(ReadBytes(dir.Path("export.txt")).find("Input/output error"), std::string::npos);
}

TEST(Inputs, AStreamThatFailsToBeReadIsAnErrorNotAShortImport) {
    TempDir dir;
    // The second read of standard input fails: what came before it must not pass for the whole.
    const RunResult r = RunScript(dir.Path(""), std::string(kFaulty) + R"sh(
awk 'BEGIN { for (i = 0; i < 50000; i++) print i "," i }' > many.csv
faulty read0:2:EIO "$DORNEL" --store s.json import - --format csv < many.csv > out.csv 2> err.txt; echo "import=$?"
wc -c < out.csv
faulty read0:2:EIO "$DORNEL" --store s.json convert - o.csv < many.csv 2>> err.txt; echo "convert=$?"
ls o.csv 2>/dev/null
cat err.txt
)sh");
    EXPECT_EQ(r.out,
              "import=1\n0\nconvert=1\ndornel: error: cannot read '-': Input/output error\n"
              "dornel: error: cannot read '-': Input/output error\n")
        << r.err;
}

TEST(OutputErrors, AReaderThatGoesAwayEndsEveryViewQuietly) {
    TempDir dir;
    // As a reader going away ends a pipeline's writers: by the broken pipe's signal, no message.
    const RunResult r = RunScript(dir.Path(""), R"sh(
awk 'BEGIN { for (i = 0; i < 200000; i++) print i "," i }' > many.csv
for format in csv json table; do
    "$DORNEL" --store s.json import many.csv --format $format 2>> err.txt | head -c 10 > /dev/null
    echo "$format=${PIPESTATUS[0]}"
done
"$DORNEL" --store s.json --trace import many.csv 2>> err.txt | head -c 10 > /dev/null
echo "trace=${PIPESTATUS[0]}"
wc -c < err.txt
)sh");
    EXPECT_EQ(r.out, "csv=141\njson=141\ntable=141\ntrace=141\n0\n") << r.err;
}

}  // namespace
}  // namespace dornel::test

#endif
