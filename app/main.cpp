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
#include "qorvix/OptionStore.h"
#include "PluginLibrary.h"
#include "Trace.h"
#include "Worksheet.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/Exception.h"
#include "host/brisko/File.h"
#include "host/qorvix/IoFilter.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace dornel::app {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStatus = 3;

/// Everything the command line says.
struct Settings {
    std::string plugin;
    std::string store;
    std::vector<std::string> sets;
    long acp = -1;
    bool trace = false;
    std::string kind;
    std::string options;
    bool interactive = false;
    bool fromMemory = false;
    std::string format = "table";
    long refuse = 0;
    long cancelProgress = 0;
    int warningAnswer = 6;
    // import and probe
    std::string file;
    std::string key;
    // options
    std::string optionName;
    std::string optionValue;
    std::string optionType;
    std::string direction = "import";
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string DefaultStorePath() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/dornel/options.json";
#if defined(_WIN32)
    if (const char* appdata = std::getenv("APPDATA"); appdata && *appdata)
        return std::string(appdata) + "\\dornel\\options.json";
#endif
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/dornel/options.json";
    return "dornel-options.json";
}

const char* const kKindNames[5] = {"csv", "txt", "dat", "bna", "bln"};
const char* const kFormatKeys[5] = {"csv", "txt", "dat", "bnaw", "blnw"};

int KindFromName(const std::string& name) {
    for (int k = 0; k < 5; ++k)
        if (name == kKindNames[k])
            return k;
    throw UsageError("unknown kind '" + name + "' (csv, txt, dat, bna or bln)");
}

/// The kind named on the command line, else the file's extension, else txt.
int KindFor(const std::string& given, const std::string& path) {
    if (!given.empty())
        return KindFromName(given);
    std::string ext = brisko::CPath(brisko::RString(path)).GetExtension().str();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int k = 0; k < 5; ++k)
        if (ext == std::string(".") + kKindNames[k])
            return k;
    return 1;
}

/// The session's manager, made from the settings.
std::unique_ptr<HostManager> MakeManager(const Settings& s, Trace* trace) {
    auto manager = std::make_unique<HostManager>(s.store, trace);
    for (const std::string& entry : s.sets) {
        const size_t eq = entry.find('=');
        if (eq == std::string::npos || eq == 0)
            throw UsageError("--set takes NAME=VALUE, not '" + entry + "'");
        manager->HostSetOption(entry.substr(0, eq), entry.substr(eq + 1));
    }
    manager->SetRefuse(s.refuse);
    manager->SetCancelProgress(s.cancelProgress);
    manager->SetWarningAnswer(s.warningAnswer);
    return manager;
}

/// Option-string entries that the plug-in never asked for were ignored: say so.
void WarnUnusedEntries(const std::string& options, const HostManager& manager) {
    std::stringstream in(options);
    std::string entry;
    while (std::getline(in, entry, ';')) {
        const size_t eq = entry.find('=');
        std::string name = entry.substr(0, eq);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.pop_back();
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
            name.erase(name.begin());
        if (name.empty())
            continue;
        if (eq == std::string::npos) {
            std::fprintf(stderr, "dornel: warning: option entry '%s' has no '=' and was ignored\n",
                         entry.c_str());
            continue;
        }
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!manager.LookedUp().count(lower))
            std::fprintf(stderr,
                         "dornel: warning: option '%s' is not used by this filter and was "
                         "ignored\n",
                         name.c_str());
    }
}

std::vector<char> ReadWholeFile(const std::string& path) {
    if (brisko::IsDirectory(brisko::RString(path)))
        throw std::runtime_error("cannot read '" + path + "': it is a directory");
    std::FILE* f = brisko::OpenFile(brisko::RString(path), "rb");
    if (!f)
        throw std::runtime_error("cannot read '" + path + "': " + std::strerror(errno));
    std::vector<char> data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        throw std::runtime_error("cannot read '" + path + "'");
    if (data.size() > UINT32_MAX)
        throw std::runtime_error("'" + path + "' is too large for a memory block (4 GB at most)");
    return data;
}

int StatusExit(int status) {
    return status == 0 ? kExitOk : kExitStatus;
}

int RunImport(const Settings& s) {
    Trace trace(stdout);
    Trace* t = s.trace ? &trace : nullptr;
    const int kind = KindFor(s.kind, s.file);
    auto manager = MakeManager(s, t);
    manager->SetFormatKey(brisko::RString(kFormatKeys[kind]));
    Worksheet sheet;
    CsvStream csv(stdout);
    if (!s.trace) {
        if (s.format == "csv")
            manager->SetSink(&csv);
        else
            manager->SetSink(&sheet);
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
    if (!s.trace) {
        if (s.format == "csv")
            csv.Finish();
        else if (s.format == "json")
            sheet.WriteJson(stdout);
        else
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
    import->add_option("--format", s.format, "table, csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));

    CLI::App* probe = app.add_subcommand("probe", "print the answer of ProbeFile for FILE");
    probe->add_option("FILE", s.file, "the file to probe")->required();
    probe->add_option("--key", s.key, "the format key: dat, csv, txt, blnw or bnaw");
    probe->add_option("--kind", s.kind, "the factory's kind");

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
