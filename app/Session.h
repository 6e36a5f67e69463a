// The host program's session: what the command line says, and the helpers every command uses.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "HostManager.h"
#include "host/brisko/Exception.h"
#include "Trace.h"

namespace dornel::app {

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
    bool optionsGiven = false;  // an empty option string is still one
    bool save = false;          // option strings are kept in the store, not used for one run
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
    std::string direction;  // import or export; none for the shared scope
    bool allScopes = false;
    // export and convert
    std::string output;
    std::string records;
    bool toMemory = false;
    std::string importKind;
    std::string exportKind;
    std::string importOptions;
    std::string exportOptions;
    bool importOptionsGiven = false;
    bool exportOptionsGiven = false;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

extern const char* const kKindNames[5];
extern const char* const kFormatKeys[5];

/// $XDG_CONFIG_HOME/dornel/options.json, else HOME's (or the user database's home folder)
/// .config/dornel/options.json; empty when there is no home at all.
std::string DefaultStorePath();
/// Why DefaultStorePath found no store.
std::string NoStoreReason();
int KindFromName(const std::string& name);
/// The kind named on the command line, else the file's extension, else txt.
int KindFor(const std::string& given, const std::string& path);
/// The kind an output is written as: the one named, else its extension's. Standard output and
/// devices, which have none, take fallback; any other unknown extension is a usage error, since
/// writing tab-separated text into "out.json" is never what was meant.
int OutputKindFor(const std::string& given, const std::string& path, int fallback);
/// The path the plug-in writes for an output as the user named it: "-" is standard output.
std::string OutputPath(const std::string& given);
/// The session's manager, made from the settings, serving the filter of one direction ("import"
/// or "export") and kind.
std::unique_ptr<HostManager> MakeManager(const Settings& s, Trace* trace,
                                         const std::string& direction, int kind);
/// Hands an option string to a filter: for this run only, unless the settings say --save.
template <class Filter>
void ApplyOptionString(HostManager& manager, Filter& filter, const std::string& options,
                       bool save) {
    manager.SetOneOff(!save);
    try {
        manager.Call([&] { filter.ApplyStringOptions(brisko::RString(Utf8ToAcp(options))); });
    } catch (...) {
        manager.SetOneOff(false);
        throw;
    }
    manager.SetOneOff(false);
}
/// What is wrong with the value of a Delimiter, TextQualifier or DecimalSymbol entry (lower-cased
/// name) and what was done with it; empty when nothing is.
std::string CharacterOptionProblem(const std::string& lowerName, const std::string& value);
/// Option-string entries that the plug-in never asked for were ignored, values that are no
/// value of their option were ignored or taken otherwise than meant: say so, one line each.
void WarnUnusedEntries(const std::string& options, const HostManager& manager);
int StatusExit(int status);

int RunImport(const Settings& s);
int RunProbe(const Settings& s);
int RunExport(const Settings& s);
int RunConvert(const Settings& s);
int RunOptionsList(const Settings& s);
int RunOptionsGet(const Settings& s);
int RunOptionsSet(const Settings& s);
int RunOptionsListing(const Settings& s);
int RunOptionsUnset(const Settings& s);
int RunOptionsReset(const Settings& s);
int RunOptionsHelp(const Settings& s);

}  // namespace dornel::app
