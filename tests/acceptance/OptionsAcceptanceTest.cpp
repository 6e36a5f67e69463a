// Acceptance tests of dornel options: the store on disk, the listing, and bad input.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "acceptance/AcceptanceSupport.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

TEST(OptionsAcceptance, SetThenListingPrintsTheStore) {
    TempDir dir;
    const std::string store = dir.Path("cfg/options.json");
    const RunResult fresh = RunDornel(
        {"--store", store, "options", "listing", "--direction", "import", "--kind", "txt"});
    EXPECT_EQ(fresh.out, "");
    EXPECT_EQ(Lines(fresh.err),
              std::vector<std::string>{"dornel: no options are set for the txt import filter"});
    ASSERT_EQ(
        RunDornel({"--store", store, "options", "set", "StartRow", "2", "--type", "int"}).exitCode,
        0);
    RunResult r = RunDornel(
        {"--store", store, "options", "listing", "--direction", "import", "--kind", "txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "StartRow=2\n");
    ASSERT_EQ(RunDornel({"--store", store, "options", "set", "Delimiter", ",\t"}).exitCode, 0);
    // A quote cannot pass through every shell's command line: the store file says it.
    std::string content = ReadBytes(store);
    const std::string last = "\n  ]";
    content.insert(
        content.rfind(last),
        ",\n    {\"name\": \"TextQualifier\", \"type\": \"text\", \"value\": \"\\\"'\"}");
    dir.Write("cfg/options.json", content);
    r = RunDornel(
        {"--store", store, "options", "listing", "--direction", "export", "--kind", "csv"});
    EXPECT_EQ(r.out, "StartRow=2;Delimiter=comma,tab;TextQualifier=doublequote,quote\n");
    EXPECT_EQ(RunDornel({"--store", store, "options", "get", "StartRow"}).out, "2\n");
    EXPECT_EQ(RunDornel({"--store", store, "options", "list"}).out,
              "StartRow=2 (int)\nDelimiter=,\t (text)\nTextQualifier=\"' (text)\n");
}

TEST(OptionsAcceptance, AnImportReadsWhatTheStoreHolds) {
    TempDir dir;
    const std::string store = dir.Path("options.json");
    RunDornel({"--store", store, "options", "set", "StartRow", "1", "--type", "int"});
    const RunResult r =
        RunDornel({"--store", store, "import", dir.Write("a.txt", "head\n7\n"), "--format", "csv"});
    EXPECT_EQ(r.out, "7\n");
}

TEST(OptionsAcceptance, AStoreThatCannotBeSavedKeepsItsLastGoodContent) {
    TempDir dir;
    const std::string store = dir.Path("options.json");
    ASSERT_EQ(RunDornel({"--store", store, "options", "set", "StartRow", "1"}).exitCode, 0);
    const std::string good = ReadBytes(store);
    // A store made read-only is never replaced, not even by a process that could write it.
    std::filesystem::permissions(store, std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    RunResult r = RunDornel({"--store", store, "options", "set", "StartRow", "5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot save the option store"), std::string::npos) << r.err;
    // An import given options it cannot save still runs with them, and says so once.
    r = RunDornel({"--store", store, "import", dir.Write("a.txt", "1\n"), "--options", "StartRow=0",
                   "--save", "--format", "csv"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(Count(r.err, "cannot save the option store '" + store + "'"), 1u) << r.err;
    EXPECT_NE(r.err.find("not saved"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(store), good);
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(store).permissions() &
                  (perms::owner_write | perms::group_write | perms::others_write),
              perms::none);
    // A store below a file cannot be made at all.
    const std::string file = dir.Write("plain", "x");
    r = RunDornel({"--store", file + "/options.json", "options", "set", "A", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot save the option store"), std::string::npos) << r.err;
}

TEST(OptionsAcceptance, BadNamesValuesAndStoresAreClearMessages) {
    TempDir dir;
    const std::string store = dir.Path("options.json");
    RunResult r = RunDornel({"--store", store, "options", "get", "NoSuchOption"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("'NoSuchOption' is not in the store"), std::string::npos) << r.err;
    r = RunDornel({"--store", store, "options", "set", "StartRow", "two", "--type", "int"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("'two' is not a valid int"), std::string::npos) << r.err;
    r = RunDornel({"--store", store, "options", "set", "StartRow", "2", "--type", "float"});
    EXPECT_EQ(r.exitCode, 2);

    // A damaged store, or a folder where the store should be, is named by every command; only
    // the commands that are about the store, or that would write it, stop because of it.
    const std::string corrupt = dir.Write("bad.json", "{\"format\":\"dornel-options\",\"opt");
    std::filesystem::create_directory(dir.Path("folder.json"));
    struct Case {
        std::string store;
        std::vector<std::string> command;
        int exit;
        const char* message;
    } cases[] = {
        {corrupt, {"options", "list"}, 1, "is not valid JSON"},
        {corrupt, {"options", "set", "A", "1"}, 1, "is not valid JSON"},
        {corrupt, {"import", dir.Write("x.csv", "1\n"), "--format", "csv"}, 0, "is not valid JSON"},
        {dir.Path("folder.json"), {"options", "get", "A"}, 1, "is a directory, not a file"},
        {dir.Path("folder.json"), {"import", dir.Path("x.csv")}, 0, "is a directory, not a file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--store", c.store};
        args.insert(args.end(), c.command.begin(), c.command.end());
        r = RunDornel(args);
        EXPECT_EQ(r.exitCode, c.exit) << c.command[0] << " " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadBytes(corrupt), "{\"format\":\"dornel-options\",\"opt");
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path("folder.json")));
    // A store of 0 bytes is an empty store.
    const std::string empty = dir.Write("empty.json", "");
    EXPECT_EQ(RunDornel({"--store", empty, "options", "set", "A", "1"}).exitCode, 0);
    EXPECT_EQ(RunDornel({"--store", empty, "options", "get", "A"}).out, "1\n");
}

TEST(OptionsAcceptance, HelpLeadsThroughTheEverydayTasks) {
    const RunResult r = RunDornel({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* part :
         {"Everyday tasks:", "Delimiter=semicolon;DecimalSymbol=comma", "StartRow=3",
          "UseFixedWidth=true", "DateOrder=dmy", "options help", "--save keeps it"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
}

TEST(OptionsAcceptance, AMistypedCommandSaysWhichWasMeant) {
    const struct {
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {{"imprt", "f.csv"}, "dornel: unknown command 'imprt'; did you mean 'import'?"},
        {{"--trace", "covnert", "a", "b"}, "did you mean 'convert'?"},
        {{"options", "lst"}, "did you mean 'list'?"},
        {{"options", "unst", "A"}, "did you mean 'unset'?"},
        {{"frobnicate"}, "the commands are import, probe, export, convert, options, version"},
    };
    for (const auto& c : cases) {
        const RunResult r = RunDornel(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args[0];
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    }
}

TEST(OptionsAcceptance, AValueThatIsNoneOfItsOptionIsNamedWithWhatWasDone) {
    TempDir dir;
    const std::string file = dir.Write("p.txt", "a|b\n1|2\n");
    const struct {
        const char* options;
        const char* said;  // empty: nothing to say
    } cases[] = {
        {"StartRow=abc", "'StartRow=abc' is not a whole number; it was ignored"},
        {"UseFixedWidth=ture", "'UseFixedWidth=ture' is not true or false; it was ignored"},
        {"ImportCodePage=-5", "'ImportCodePage=-5' is not a whole number from 0 up"},
        {"Delimiter=pipe", "'Delimiter=pipe' is no keyword"},
        {"Delimiter=comma pipe", "holds 'pipe', no keyword"},
        {"DecimalSymbol=dot", "'DecimalSymbol=dot' is none of '.', ',', period and comma"},
        {"TextQualifier=doublequote dq", "holds 'dq', no keyword"},
        {"StartRow=1;Delimiter=|;Delimiter=semicolon,tab;DecimalSymbol=comma", ""},
        {"TextQualifier=none;UseFixedWidth=true;ColumnBreaks=1", ""},
    };
    for (const auto& c : cases) {
        const RunResult r = RunDornel({"--store", dir.Path("s.json"), "import", file, "--kind",
                                       "txt", "--options", c.options, "--format", "none"});
        EXPECT_EQ(r.exitCode, 0) << c.options;
        if (*c.said)
            EXPECT_EQ(Count(r.err, c.said), 1u) << c.options << ": " << r.err;
        else
            EXPECT_EQ(r.err, "") << c.options;
    }
}

TEST(OptionsAcceptance, AnOptionAKindIgnoresIsSaidAndHelpNamesEveryOption) {
    TempDir dir;
    const std::string csv = dir.Write("a.csv", "a;b\n1;2\n");
    for (const char* options : {"Delimiter=semicolon", "StartRow=1", "UseFixedWidth=true"}) {
        const RunResult r = RunDornel({"--store", dir.Path("s.json"), "import", csv, "--options",
                                       options, "--format", "none"});
        EXPECT_NE(r.err.find("has no effect on a csv import"), std::string::npos) << r.err;
    }
    const RunResult help = RunDornel({"options", "help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* name :
         {"UseFixedWidth", "StartRow", "ImportCodePage", "ColumnBreaks", "Delimiter",
          "TextQualifier", "DecimalSymbol", "EatWhitespace", "SkipExtraDelimiters",
          "AggressiveConversion", "MaxRow", "MaxCol", "DateTimeSupport", "ExportEncodingMethod",
          "ExportCodepage", "Defaults", "ForgetOptions", "ClipboardTextType"})
        EXPECT_NE(("\n" + help.out).find(std::string("\n") + name + " ("), std::string::npos)
            << name;
}

}  // namespace
}  // namespace dornel::test
