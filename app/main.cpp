// The host program dornel: loads the plug-in, calls its factories and slots, shows the results.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "HostManager.h"
#include "InputFile.h"
#include "Output.h"
#include "Session.h"
#include "host/qorvix/OptionStore.h"
#include "PluginLibrary.h"
#include "Trace.h"
#include "SheetBuilder.h"
#include "Worksheet.h"
#include "host/brisko/ReplacementFile.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/Exception.h"
#include "host/brisko/File.h"
#include "host/qorvix/IoFilter.h"

#include <csignal>
#include <new>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace dornel::app {

int RunImport(const Settings& s) {
    Trace trace(stdout);
    Trace* t = s.trace ? &trace : nullptr;
    const int kind = KindFor(s.kind, s.file);
    const InputFile input(s.file);
    auto manager = MakeManager(s, t);
    manager->SetFormatKey(brisko::RString(kFormatKeys[kind]));
    Worksheet sheet;
    SheetBuilder builder(sheet);
    // The CSV and JSON views are written as the rows arrive; only the table needs them all.
    const bool streamed = s.format == "csv" || s.format == "json";
    RowStream stream(stdout, s.format == "json" ? RowStream::Json : RowStream::Csv);
    if (!s.trace)
        manager->SetSink(streamed ? static_cast<RecordSink*>(&stream) : &builder);
    PluginLibrary plugin(s.plugin);
    qorvix::IoImportFilter* filter = plugin.Import(kind)(*manager);
    if (!filter)
        throw std::runtime_error(std::string(kImportFactoryNames[kind]) + " made no filter");
    std::unique_ptr<qorvix::IoImportFilter> owner(filter);
    if (s.optionsGiven) {
        manager->Call([&] { filter->ApplyStringOptions(brisko::RString(Utf8ToAcp(s.options))); });
        if (t)
            t->Write(Json{{"call", "ApplyStringOptions"}});
        WarnUnusedEntries(s.options, *manager);
    }
    int status;
    try {
        if (s.fromMemory) {
            const std::vector<char> data = ReadWholeFile(input.Path());
            status = manager->Call([&] {
                return filter->ImportFromMemory(data.data(), static_cast<uint32_t>(data.size()),
                                                s.interactive);
            });
            if (t)
                t->Write(Json{{"call", "ImportFromMemory"}, {"status", status}});
        } else {
            status = manager->Call([&] {
                return filter->ImportFile(brisko::RString(Utf8ToAcp(input.Path())), s.interactive);
            });
            if (t)
                t->Write(Json{{"call", "ImportFile"}, {"status", status}});
        }
    } catch (const brisko::Exception& e) {
        throw RenamedInput(e, input);
    }
    owner.reset();
    builder.Finish();
    if (!s.trace) {
        if (streamed)
            stream.Finish();
        else if (s.format == "table")
            sheet.WriteTable(stdout);
        if (status == 1)
            std::fprintf(stderr, "dornel: the import stopped early\n");
        else if (status == 2)
            std::fprintf(stderr, "dornel: the import was cancelled\n");
    }
    return StatusExit(status);
}

int RunProbe(const Settings& s) {
    const int kind = KindFor(s.kind, s.file);
    const InputFile input(s.file);
    Trace trace(stdout);
    auto manager = MakeManager(s, s.trace ? &trace : nullptr);
    manager->SetFormatKey(brisko::RString(s.key.empty() ? kFormatKeys[kind] : s.key));
    PluginLibrary plugin(s.plugin);
    std::unique_ptr<qorvix::IoImportFilter> filter(plugin.Import(kind)(*manager));
    if (!filter)
        throw std::runtime_error(std::string(kImportFactoryNames[kind]) + " made no filter");
    const int answer =
        manager->Call([&] { return filter->ProbeFile(brisko::RString(Utf8ToAcp(input.Path()))); });
    if (s.trace)
        trace.Write(Json{{"call", "ProbeFile"}, {"status", answer}});
    else
        WriteOutput(stdout, std::to_string(answer) + "\n");
    return kExitOk;
}

int RunOptionsList(const Settings& s) {
    qorvix::OptionStore store(s.store);
    store.Load();
    for (const auto& [name, value] : store.List())
        WriteOutput(stdout, AcpToUtf8(name) + "=" + AcpToUtf8(value.ToText()) + " (" +
                                qorvix::OptionTypeName(value.type) + ")\n");
    return kExitOk;
}

int RunOptionsGet(const Settings& s) {
    qorvix::OptionStore store(s.store);
    store.Load();
    qorvix::OptionValue value;
    if (!store.Get(Utf8ToAcp(s.optionName), value)) {
        std::fprintf(stderr, "dornel: the option '%s' is not in the store '%s'\n",
                     s.optionName.c_str(), s.store.c_str());
        return kExitError;
    }
    WriteOutput(stdout, AcpToUtf8(value.ToText()) + "\n");
    return kExitOk;
}

int RunOptionsSet(const Settings& s) {
    qorvix::OptionValue value;
    if (s.optionType.empty()) {
        HostManager probe("", nullptr);
        probe.HostSetOption(s.optionName, s.optionValue);
        qorvix::StoreOf(probe).Get(Utf8ToAcp(s.optionName), value);
    } else {
        qorvix::OptionType type;
        if (!qorvix::OptionTypeFromName(s.optionType, type))
            throw UsageError("unknown type '" + s.optionType + "' (bool, int, uint or text)");
        if (!qorvix::ParseOptionValue(type, Utf8ToAcp(s.optionValue), value))
            throw UsageError("'" + s.optionValue + "' is not a valid " + s.optionType +
                             " value for " + s.optionName);
    }
    qorvix::OptionStore store(s.store);
    store.Set(Utf8ToAcp(s.optionName), value, true);
    return kExitOk;
}

int RunOptionsListing(const Settings& s) {
    const int kind = KindFromName(s.kind.empty() ? "txt" : s.kind);
    auto manager = MakeManager(s, nullptr);
    PluginLibrary plugin(s.plugin);
    brisko::RString listing;
    if (s.direction == "import") {
        std::unique_ptr<qorvix::IoImportFilter> filter(plugin.Import(kind)(*manager));
        if (!filter)
            throw std::runtime_error("the import factory made no filter");
        listing = manager->Call([&] { return filter->GetOptionsString(); });
    } else if (s.direction == "export") {
        std::unique_ptr<qorvix::IoExportFilter> filter(plugin.Export(kind)(*manager));
        if (!filter)
            throw std::runtime_error("the export factory made no filter");
        listing = manager->Call([&] { return filter->GetOptionsString(); });
    } else {
        throw UsageError("--direction is import or export, not '" + s.direction + "'");
    }
    WriteOutput(stdout, AcpToUtf8(listing.str()) + "\n");
    return kExitOk;
}

namespace {

void AddSessionOptions(CLI::App& cmd, Settings& s) {
    cmd.add_option("--kind", s.kind, "csv, txt, dat, bna or bln (default: from the extension)");
    cmd.add_option("--options", s.options, "host option string NAME=VALUE;...")
        ->each([&s](const std::string&) { s.optionsGiven = true; });
    cmd.add_flag("--interactive", s.interactive,
                 "show the dialogs where a window system is present");
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

int Main(int argc, char** argv) {
#if defined(_WIN32)
    // Output bytes go out as they are, without CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    HandleSignals();
    Settings s;
    CLI::App app{"dornel: imports and exports text tables through the dornel plug-in"};
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--plugin", s.plugin, "the plug-in library to load");
    app.add_option("--store", s.store, "the option store file");
    app.add_option("--set", s.sets, "NAME=VALUE put into the store for this run (repeatable)");
    app.add_option("--acp", s.acp, "the system ANSI code page of the host libraries");
    app.add_flag("--trace", s.trace, "print the JSON Lines trace instead of the view");

    CLI::App* import = app.add_subcommand("import", "import FILE and show the worksheet");
    import->add_option("FILE", s.file, "the file to import")->required();
    AddSessionOptions(*import, s);
    import->add_flag("--from-memory", s.fromMemory, "import the file's bytes as a memory block");
    import->add_option("--format", s.format, "table, csv, json, or none (keep the worksheet only)")
        ->check(CLI::IsMember({"table", "csv", "json", "none"}));

    CLI::App* probe = app.add_subcommand("probe", "print the answer of ProbeFile for FILE");
    probe->add_option("FILE", s.file, "the file to probe")->required();
    probe->add_option("--key", s.key, "the format key: dat, csv, txt, blnw or bnaw");
    probe->add_option("--kind", s.kind, "the factory's kind");

    CLI::App* exportCmd = app.add_subcommand("export", "export the records of a file to OUT");
    exportCmd->add_option("OUT", s.output, "the file to write")->required();
    exportCmd->add_option("--records", s.records, "export records, one JSON object a line")
        ->required();
    AddSessionOptions(*exportCmd, s);
    exportCmd->add_flag("--to-memory", s.toMemory,
                        "have the block delivered through TrInitWksExp and write it to OUT");

    CLI::App* convert = app.add_subcommand("convert", "import IN, then export it to OUT");
    convert->add_option("IN", s.file, "the file to import")->required();
    convert->add_option("OUT", s.output, "the file to write")->required();
    convert->add_option("--import-kind", s.importKind, "csv, txt, dat, bna or bln");
    convert->add_option("--export-kind", s.exportKind, "csv, txt, dat, bna or bln");
    convert->add_option("--import-options", s.importOptions, "host option string of the import")
        ->each([&s](const std::string&) { s.importOptionsGiven = true; });
    convert->add_option("--export-options", s.exportOptions, "host option string of the export")
        ->each([&s](const std::string&) { s.exportOptionsGiven = true; });
    convert->add_flag("--to-memory", s.toMemory, "export through a memory block");
    convert->add_option("--refuse", s.refuse, "refuse the N-th record handed to the host");
    convert->add_option("--cancel-progress", s.cancelProgress,
                        "answer false to the N-th progress query");

    CLI::App* options = app.add_subcommand("options", "the option store");
    options->require_subcommand(1);
    CLI::App* list = options->add_subcommand("list", "print the store's options");
    CLI::App* get = options->add_subcommand("get", "print one option's value");
    get->add_option("NAME", s.optionName)->required();
    CLI::App* set = options->add_subcommand("set", "save an option in the store");
    set->add_option("NAME", s.optionName)->required();
    set->add_option("VALUE", s.optionValue)->required();
    set->add_option("--type", s.optionType, "bool, int, uint or text (default: guessed)");
    CLI::App* listing = options->add_subcommand("listing", "print a filter's option listing");
    listing->add_option("--direction", s.direction, "import or export");
    listing->add_option("--kind", s.kind, "csv, txt, dat, bna or bln");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }

    Trace errorTrace(stdout);
    int code = kExitUsage;
    try {
        if (s.store.empty())
            s.store = DefaultStorePath();
        if (s.plugin.empty())
            s.plugin = PluginLibrary::DefaultPath();
        if (s.acp >= 0)
            brisko::SetSystemCodePage(static_cast<uint32_t>(s.acp));
        if (*import)
            code = RunImport(s);
        else if (*probe)
            code = RunProbe(s);
        else if (*exportCmd)
            code = RunExport(s);
        else if (*convert)
            code = RunConvert(s);
        else if (*list)
            code = RunOptionsList(s);
        else if (*get)
            code = RunOptionsGet(s);
        else if (*set)
            code = RunOptionsSet(s);
        else if (*listing)
            code = RunOptionsListing(s);
        // What is still buffered must reach its reader too, or the run did not succeed.
        FlushOutput(stdout);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "dornel: %s\n", e.what());
        return kExitUsage;
    } catch (const OutputError& e) {
        std::fprintf(stderr, "dornel: ERROR standard output: %s\n", e.what());
        return kExitError;
    } catch (const brisko::Exception& e) {
        try {
            FlushOutput(stdout);
            if (s.trace)
                errorTrace.Write(Json{{"error",
                                       {{"source", e.File()},
                                        {"line", e.Line()},
                                        {"code", e.CodeName()},
                                        {"message", AcpToUtf8(e.what())}}}});
            FlushOutput(stdout);
        } catch (const OutputError&) {
            // The error itself is what matters; it goes to standard error below.
        }
        std::fprintf(stderr, "dornel: ERROR %s:%d: %s\n", e.File().c_str(), e.Line(),
                     AcpToUtf8(e.what()).c_str());
        return kExitError;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "dornel: ERROR memory: out of memory while %s\n",
                     Activity(s, import->parsed(), exportCmd->parsed(), convert->parsed()).c_str());
        return kExitError;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "dornel: %s\n", e.what());
        return kExitError;
    }
    return code;
}

}  // namespace dornel::app

int main(int argc, char** argv) {
    return dornel::app::Main(argc, argv);
}
