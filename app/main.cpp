// The host program dornel: parses the command line and runs the command it names.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "Output.h"
#include "PluginLibrary.h"
#include "Session.h"
#include "Trace.h"
#include "Version.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/DateTime.h"
#include "host/brisko/Exception.h"
#include "host/brisko/ReplacementFile.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif
#include <cerrno>

namespace dornel::app {

namespace {

void AddSessionOptions(CLI::App& cmd, Settings& s) {
    cmd.add_option("--kind", s.kind, "csv, txt, dat, bna or bln (default: from the extension)");
    cmd.add_option("--options", s.options, "host option string NAME=VALUE;..., for this run")
        ->each([&s](const std::string&) { s.optionsGiven = true; });
    cmd.add_flag("--save", s.save, "keep the option string's values in the option store");
    cmd.add_flag("--interactive", s.interactive,
                 "show the options dialogs: in a window on Windows, on the terminal elsewhere");
    cmd.add_option("--refuse", s.refuse, "refuse the N-th record handed to the host");
    cmd.add_option("--cancel-progress", s.cancelProgress,
                   "answer false to the N-th progress query");
    cmd.add_option("--warning-answer", s.warningAnswer, "the answer Warning gives (default 6)");
}

}  // namespace

namespace {

/// Temporary files go with the process: removed, then the signal ends us as it would have.
extern "C" void EndBySignal(int signal) {
    brisko::RemovePendingFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void HandleSignals() {
#if defined(_WIN32)
    std::signal(SIGINT, EndBySignal);
    std::signal(SIGTERM, EndBySignal);
#else
    // A file-size limit makes writes fail with an error we report, instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action = {};
        struct sigaction before = {};
        sigaction(signal, nullptr, &before);
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (before.sa_handler == SIG_IGN)
            continue;
        action.sa_handler = EndBySignal;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
#endif
}

#if !defined(_WIN32)
/// Whether the process has a controlling terminal to show the dialogs on.
bool HasTerminal() {
    const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}
#endif

/// Standard streams that the caller closed get /dev/null, so that no file this process opens
/// takes their number and receives what was meant for them. True when standard output was closed.
bool GuardStandardStreams() {
    bool outputClosed = false;
#if !defined(_WIN32)
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        outputClosed = outputClosed || fd == 1;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
#endif
    return outputClosed;
}

/// What the command was doing, for a message about memory running out.
std::string Activity(const Settings& s, bool import, bool exportCmd, bool convert) {
    if (import)
        return "importing '" + s.file + "'";
    if (exportCmd)
        return "exporting to '" + s.output + "'";
    if (convert)
        return "converting '" + s.file + "' to '" + s.output + "'";
    return "running the command";
}

}  // namespace

namespace {

/// How many letters must change to turn a into b.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

/// A word where a command was expected that names none: the message says which was meant.
std::string UnknownCommand(const std::string& word, std::initializer_list<const char*> known) {
    std::string best;
    size_t bestDistance = 3;
    std::string all;
    for (const char* name : known) {
        const size_t d = EditDistance(word, name);
        if (d < bestDistance)
            bestDistance = d, best = name;
        all += all.empty() ? "" : ", ";
        all += name;
    }
    return "unknown command '" + word + "'; " +
           (best.empty() ? "the commands are " + all : "did you mean '" + best + "'?");
}

/// The first word of the command line that is no option nor an option's value, and the one after
/// it; a mistyped command is told before the parser calls it missing.
void CheckCommandWords(int argc, char** argv) {
    static const char* const kWithValue[] = {"--plugin", "--store", "--set", "--acp"};
    std::vector<std::string> words;
    for (int i = 1; i < argc && words.size() < 2; ++i) {
        const std::string arg = argv[i];
        bool takesValue = false;
        for (const char* o : kWithValue)
            takesValue = takesValue || arg == o;
        if (takesValue)
            ++i;
        else if (arg.empty() || arg[0] != '-')
            words.push_back(arg);
        else if (!words.empty())
            break;
    }
    if (words.empty())
        return;
    const auto commands = {"import", "probe", "export", "convert", "options", "version"};
    if (std::find(commands.begin(), commands.end(), words[0]) == commands.end())
        throw UsageError(UnknownCommand(words[0], commands));
    const auto optionCommands = {"list", "get", "set", "unset", "reset", "listing", "help"};
    if (words[0] == "options" && words.size() > 1 &&
        std::find(optionCommands.begin(), optionCommands.end(), words[1]) == optionCommands.end())
        throw UsageError(UnknownCommand(words[1], optionCommands));
}

/// The subcommands of the command line; parsed() tells which one was given.
struct Commands {
    CLI::App* import;
    CLI::App* probe;
    CLI::App* exportCmd;
    CLI::App* convert;
    CLI::App* list;
    CLI::App* get;
    CLI::App* set;
    CLI::App* listing;
    CLI::App* unset;
    CLI::App* reset;
    CLI::App* help;
    CLI::App* version;
    bool versionFlag = false;
};

/// The commands that move data: import, probe, export and convert.
void AddDataCommands(CLI::App& app, Settings& s, Commands& c) {
    c.import = app.add_subcommand("import", "import FILE and show the worksheet");
    c.import->add_option("FILE", s.file, "the file to import")->required();
    AddSessionOptions(*c.import, s);
    c.import->add_flag("--from-memory", s.fromMemory, "import the file's bytes as a memory block");
    c.import
        ->add_option("--format", s.format, "table, csv, json, or none (keep the worksheet only)")
        ->check(CLI::IsMember({"table", "csv", "json", "none"}));

    c.probe = app.add_subcommand("probe", "print the answer of ProbeFile for FILE");
    c.probe->add_option("FILE", s.file, "the file to probe")->required();
    c.probe->add_option("--key", s.key, "the format key: dat, csv, txt, blnw or bnaw");
    c.probe->add_option("--kind", s.kind, "the factory's kind");

    c.exportCmd = app.add_subcommand("export", "export the records of a file to OUT");
    c.exportCmd->add_option("OUT", s.output, "the file to write")->required();
    c.exportCmd->add_option("--records", s.records, "export records, one JSON object a line")
        ->required();
    AddSessionOptions(*c.exportCmd, s);
    c.exportCmd->add_flag("--to-memory", s.toMemory,
                          "have the block delivered through TrInitWksExp and write it to OUT");

    c.convert = app.add_subcommand("convert", "import IN, then export it to OUT");
    c.convert->add_option("IN", s.file, "the file to import")->required();
    c.convert->add_option("OUT", s.output, "the file to write")->required();
    c.convert->add_option("--import-kind", s.importKind, "csv, txt, dat, bna or bln");
    c.convert->add_option("--export-kind", s.exportKind, "csv, txt, dat, bna or bln");
    c.convert->add_option("--import-options", s.importOptions, "host option string of the import")
        ->each([&s](const std::string&) { s.importOptionsGiven = true; });
    c.convert->add_option("--export-options", s.exportOptions, "host option string of the export")
        ->each([&s](const std::string&) { s.exportOptionsGiven = true; });
    c.convert->add_flag("--to-memory", s.toMemory, "export through a memory block");
    c.convert->add_flag("--interactive", s.interactive,
                        "show the import's and the export's options dialogs in turn");
    c.convert->add_flag("--save", s.save, "keep the option strings' values in the option store");
    c.convert->add_option("--refuse", s.refuse, "refuse the N-th record handed to the host");
    c.convert->add_option("--cancel-progress", s.cancelProgress,
                          "answer false to the N-th progress query");
}

/// The commands of the option store.
void AddOptionCommands(CLI::App& app, Settings& s, Commands& c) {
    CLI::App* options = app.add_subcommand("options", "the option store");
    options->require_subcommand(1);
    c.list = options->add_subcommand("list", "print the options of one scope");
    c.list->add_flag("--all", s.allScopes, "print every scope's options, each with its scope");
    c.get = options->add_subcommand("get", "print one option's value");
    c.get->add_option("NAME", s.optionName)->required();
    c.set = options->add_subcommand("set", "save an option in the store");
    c.set->add_option("NAME", s.optionName)->required();
    c.set->add_option("VALUE", s.optionValue)->required();
    c.set->add_option("--type", s.optionType, "bool, int, uint or text (default: guessed)");
    c.unset = options->add_subcommand("unset", "remove an option from the store");
    c.unset->add_option("NAME", s.optionName)->required();
    c.reset = options->add_subcommand("reset", "remove every option of one scope");
    c.reset->add_flag("--all", s.allScopes, "remove every option of every scope");
    c.help = options->add_subcommand("help", "what every option does, and for which kinds");
    for (CLI::App* scoped : {c.list, c.get, c.set, c.unset, c.reset}) {
        scoped->add_option("--direction", s.direction,
                           "import or export: with --kind, one filter's scope");
        scoped->add_option("--kind", s.kind,
                           "csv, txt, dat, bna or bln (default: the shared scope)");
    }
    c.listing = options->add_subcommand("listing", "print a filter's option listing");
    c.listing->add_option("--direction", s.direction, "import or export");
    c.listing->add_option("--kind", s.kind, "csv, txt, dat, bna or bln");
}

Commands DescribeCommandLine(CLI::App& app, Settings& s) {
    app.footer(
        "Everyday tasks:\n"
        "  dornel import f.csv                       a CSV (read at commas) as a table\n"
        "  dornel import f.csv --kind txt --options 'Delimiter=semicolon;DecimalSymbol=comma'\n"
        "                                            a European file with decimal commas\n"
        "  dornel import f.txt --options 'StartRow=3'   skip a title block of three lines\n"
        "  dornel import f.txt --options 'UseFixedWidth=true;ColumnBreaks=11 40'\n"
        "                                            fixed-width columns\n"
        "  dornel --set DateTimeSupport=true --set DateOrder=dmy import f.txt\n"
        "                                            day-first dates\n"
        "  dornel convert f.txt out.csv              write another kind; '-' is standard output\n"
        "  dornel options help                       what every option does\n"
        "An option string lasts one run; --save keeps it. Rules that surprise: see the README.");
    // --version stands without a subcommand; Main asks for one otherwise.
    app.require_subcommand(0, 1);
    app.fallthrough();
    app.add_option("--plugin", s.plugin, "the plug-in library to load");
    app.add_option("--store", s.store, "the option store file");
    app.add_option("--set", s.sets, "NAME=VALUE put into the store for this run (repeatable)");
    app.add_option("--acp", s.acp, "the system ANSI code page of the host libraries");
    app.add_flag("--trace", s.trace, "print the JSON Lines trace instead of the view");
    Commands c{};
    AddDataCommands(app, s, c);
    AddOptionCommands(app, s, c);
    c.version = app.add_subcommand(
        "version", "print the version, the commit, the plug-in and the libraries it uses");
    return c;
}

/// Runs the command given, with the defaults that need the environment filled in.
int RunCommand(const Commands& c, Settings& s) {
    if (c.versionFlag || c.version->parsed()) {
        if (s.plugin.empty())
            s.plugin = PluginLibrary::DefaultPath();
        const int code = RunVersion(s.plugin);
        FlushOutput(stdout);
        return code;
    }
    if (s.store.empty())
        s.store = DefaultStorePath();
    if (s.plugin.empty())
        s.plugin = PluginLibrary::DefaultPath();
    if (s.acp >= 0)
        brisko::SetSystemCodePage(static_cast<uint32_t>(s.acp));
    // One order of day and month for every date of the run: the locale's, or the one named.
    for (const std::string& entry : s.sets) {
        if (entry.rfind("DateOrder=", 0) != 0)
            continue;
        brisko::DateOrder order;
        if (!brisko::DateOrderFromName(entry.substr(10), order))
            throw UsageError("DateOrder is dmy, mdy or ymd, not '" + entry.substr(10) + "'");
        brisko::SetDateOrder(order);
    }
    int code = kExitUsage;
    if (c.import->parsed())
        code = RunImport(s);
    else if (c.probe->parsed())
        code = RunProbe(s);
    else if (c.exportCmd->parsed())
        code = RunExport(s);
    else if (c.convert->parsed())
        code = RunConvert(s);
    else if (c.list->parsed())
        code = RunOptionsList(s);
    else if (c.get->parsed())
        code = RunOptionsGet(s);
    else if (c.set->parsed())
        code = RunOptionsSet(s);
    else if (c.listing->parsed())
        code = RunOptionsListing(s);
    else if (c.unset->parsed())
        code = RunOptionsUnset(s);
    else if (c.reset->parsed())
        code = RunOptionsReset(s);
    else if (c.help->parsed())
        code = RunOptionsHelp(s);
    // What is still buffered must reach its reader too, or the run did not succeed.
    FlushOutput(stdout);
    return code;
}

/// The plug-in's or a host library's error: in the trace when there is one, and on standard
/// error.
int ReportError(const brisko::Exception& e, const Settings& s) {
    try {
        FlushOutput(stdout);
        if (s.trace)
            Trace(stdout).Write(Json{{"error",
                                      {{"source", e.File()},
                                       {"line", e.Line()},
                                       {"code", e.CodeName()},
                                       {"message", AcpToUtf8(e.what())}}}});
        FlushOutput(stdout);
    } catch (const OutputError&) {
        // The error itself is what matters; it goes to standard error below.
    }
    // The message first: it is what the user reads; where it was raised is for a report.
    std::fprintf(stderr, "dornel: error: %s (%s:%d)\n", AcpToUtf8(e.what()).c_str(),
                 e.File().c_str(), e.Line());
    return kExitError;
}

}  // namespace

int Main(int argc, char** argv) {
#if defined(_WIN32)
    // Output bytes go out as they are, without CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    HandleSignals();
    const bool outputClosed = GuardStandardStreams();
    Settings s;
    CLI::App app{"dornel: imports and exports text tables through the dornel plug-in"};
    Commands c = DescribeCommandLine(app, s);
    app.add_flag("--version", c.versionFlag, "the same as the command version");
    try {
        CheckCommandWords(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "dornel: %s\n", e.what());
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
        if (!c.versionFlag && app.get_subcommands().empty())
            throw CLI::RequiredError("A subcommand");
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }

    // A run whose output has nowhere to go fails before it changes anything.
    const bool writesOutput = s.trace || (c.import->parsed() && s.format != "none") ||
                              c.probe->parsed() || c.list->parsed() || c.get->parsed() ||
                              c.listing->parsed() || c.help->parsed() || c.version->parsed() ||
                              c.versionFlag;
    if (outputClosed && writesOutput) {
        std::fprintf(stderr, "dornel: error: standard output: write error: Bad file descriptor\n");
        return kExitError;
    }

#if !defined(_WIN32)
    // The dialogs are drawn on the controlling terminal; without one nobody can answer them.
    if (s.interactive && !HasTerminal()) {
        std::fprintf(stderr, "dornel: --interactive needs a terminal\n");
        return kExitUsage;
    }
#endif

    try {
        return RunCommand(c, s);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "dornel: %s\n", e.what());
        return kExitUsage;
    } catch (const OutputError& e) {
        std::fprintf(stderr, "dornel: error: standard output: %s\n", e.what());
        return kExitError;
    } catch (const brisko::Exception& e) {
        return ReportError(e, s);
    } catch (const std::bad_alloc&) {
        std::fprintf(
            stderr, "dornel: error: out of memory while %s\n",
            Activity(s, c.import->parsed(), c.exportCmd->parsed(), c.convert->parsed()).c_str());
        return kExitError;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "dornel: error: %s\n", e.what());
        return kExitError;
    }
}

}  // namespace dornel::app

int main(int argc, char** argv) {
    return dornel::app::Main(argc, argv);
}
