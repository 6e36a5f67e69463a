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
    const RunResult r = RunDornel({"--store", dir.Path("s.json"), "export", target, "--records",
                                   dir.Write("r.jsonl", "")});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(ReadBytes(target), "kept\n");
}

}  // namespace
}  // namespace dornel::test

#endif
