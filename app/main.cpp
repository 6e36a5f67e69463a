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
#include "Session.h"
#include "qorvix/OptionStore.h"
#include "PluginLibrary.h"
#include "Trace.h"
#include "SheetBuilder.h"
#include "Worksheet.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/Exception.h"
#include "host/brisko/File.h"
#include "host/qorvix/IoFilter.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <csignal>
#endif

namespace dornel::app {

int RunImport(const Settings& s) {
    Trace trace(stdout);
    Trace* t = s.trace ? &trace : nullptr;
    const int kind = KindFor(s.kind, s.file);
    auto manager = MakeManager(s, t);
    manager->SetFormatKey(brisko::RString(kFormatKeys[kind]));
    Worksheet sheet;
    SheetBuilder builder(sheet);
    CsvStream csv(stdout);
    if (!s.trace) {
        if (s.format == "csv")
            manager->SetSink(&csv);
        else
            manager->SetSink(&builder);
    }
    PluginLibrary plugin(s.plugin);
    qorvix::IoImportFilter* filter = plugin.Import(kind)(*manager);
    if (!filter)
        throw std::runtime_error(std::string(kImportFactoryNames[kind]) + " made no filter");
    std::unique_ptr<qorvix::IoImportFilter> owner(filter);
    if (!s.options.empty()) {
        filter->ApplyStringOptions(brisko::RString(Utf8ToAcp(s.options)));
        if (t)
            t->Write(Json{{"call", "ApplyStringOptions"}});
        WarnUnusedEntries(s.options, *manager);
    }
    int status;
    if (s.fromMemory) {
        const std::vector<char> data = ReadWholeFile(s.file);
        status = filter->ImportFromMemory(data.data(), static_cast<uint32_t>(data.size()),
                                          s.interactive);
        if (t)
            t->Write(Json{{"call", "ImportFromMemory"}, {"status", status}});
    } else {
        status = filter->ImportFile(brisko::RString(Utf8ToAcp(s.file)), s.interactive);
        if (t)
            t->Write(Json{{"call", "ImportFile"}, {"status", status}});
    }
    owner.reset();
    builder.Finish();
    if (!s.trace) {
        if (s.format == "csv")
            csv.Finish();
        else if (s.format == "json")
            sheet.WriteJson(stdout);
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
    Trace trace(stdout);
    auto manager = MakeManager(s, s.trace ? &trace : nullptr);
    manager->SetFormatKey(brisko::RString(s.key.empty() ? kFormatKeys[kind] : s.key));
    PluginLibrary plugin(s.plugin);
    std::unique_ptr<qorvix::IoImportFilter> filter(plugin.Import(kind)(*manager));
    if (!filter)
        throw std::runtime_error(std::string(kImportFactoryNames[kind]) + " made no filter");
    const int answer = filter->ProbeFile(brisko::RString(Utf8ToAcp(s.file)));
    if (s.trace)
        trace.Write(Json{{"call", "ProbeFile"}, {"status", answer}});
    else
        std::printf("%d\n", answer);
    return kExitOk;
}

int RunOptionsList(const Settings& s) {
    qorvix::OptionStore store(s.store);
    for (const auto& [name, value] : store.List())
        std::printf("%s=%s (%s)\n", AcpToUtf8(name).c_str(), AcpToUtf8(value.ToText()).c_str(),
                    qorvix::OptionTypeName(value.type));
    return kExitOk;
}

int RunOptionsGet(const Settings& s) {
    qorvix::OptionStore store(s.store);
    qorvix::OptionValue value;
    if (!store.Get(Utf8ToAcp(s.optionName), value)) {
        std::fprintf(stderr, "dornel: the option '%s' is not in the store '%s'\n",
                     s.optionName.c_str(), s.store.c_str());
        return kExitError;
    }
    std::printf("%s\n", AcpToUtf8(value.ToText()).c_str());
    return kExitOk;
}

int RunOptionsSet(const Settings& s) {
    qorvix::OptionValue value;
    if (s.optionType.empty()) {
        HostManager probe("", nullptr);
        probe.HostSetOption(s.optionName, s.optionValue);
        probe.Store().Get(Utf8ToAcp(s.optionName), value);
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
        listing = filter->GetOptionsString();
    } else if (s.direction == "export") {
        std::unique_ptr<qorvix::IoExportFilter> filter(plugin.Export(kind)(*manager));
        if (!filter)
            throw std::runtime_error("the export factory made no filter");
        listing = filter->GetOptionsString();
    } else {
        throw UsageError("--direction is import or export, not '" + s.direction + "'");
    }
    std::printf("%s\n", AcpToUtf8(listing.str()).c_str());
    return kExitOk;
}

namespace {

void AddSessionOptions(CLI::App& cmd, Settings& s) {
    cmd.add_option("--kind", s.kind, "csv, txt, dat, bna or bln (default: from the extension)");
    cmd.add_option("--options", s.options, "host option string NAME=VALUE;...");
    cmd.add_flag("--interactive", s.interactive,
                 "show the dialogs where a window system is present");
    cmd.add_option("--refuse", s.refuse, "refuse the N-th record handed to the host");
    cmd.add_option("--cancel-progress", s.cancelProgress,
                   "answer false to the N-th progress query");
    cmd.add_option("--warning-answer", s.warningAnswer, "the answer Warning gives (default 6)");
}

}  // namespace

int Main(int argc, char** argv) {
#if defined(_WIN32)
    // Output bytes go out as they are, without CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
#else
    // A file-size limit makes writes fail with an error we report, instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
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
    convert->add_option("--import-options", s.importOptions, "host option string of the import");
    convert->add_option("--export-options", s.exportOptions, "host option string of the export");
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
    try {
        if (s.store.empty())
            s.store = DefaultStorePath();
        if (s.plugin.empty())
            s.plugin = PluginLibrary::DefaultPath();
        if (s.acp >= 0)
            brisko::SetSystemCodePage(static_cast<uint32_t>(s.acp));
        if (*import)
            return RunImport(s);
        if (*probe)
            return RunProbe(s);
        if (*exportCmd)
            return RunExport(s);
        if (*convert)
            return RunConvert(s);
        if (*list)
            return RunOptionsList(s);
        if (*get)
            return RunOptionsGet(s);
        if (*set)
            return RunOptionsSet(s);
        if (*listing)
            return RunOptionsListing(s);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "dornel: %s\n", e.what());
        return kExitUsage;
    } catch (const brisko::Exception& e) {
        std::fflush(stdout);
        if (s.trace)
            errorTrace.Write(Json{{"error",
                                   {{"source", e.File()},
                                    {"line", e.Line()},
                                    {"code", e.CodeName()},
                                    {"message", AcpToUtf8(e.what())}}}});
        std::fprintf(stderr, "dornel: ERROR %s:%d: %s\n", e.File().c_str(), e.Line(),
                     AcpToUtf8(e.what()).c_str());
        return kExitError;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "dornel: %s\n", e.what());
        return kExitError;
    }
    return kExitUsage;
}

}  // namespace dornel::app

int main(int argc, char** argv) {
    return dornel::app::Main(argc, argv);
}
