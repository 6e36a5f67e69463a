// dornel options: the store's options listed, read and set, and a filter's option listing.
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "HostManager.h"
#include "OptionHelp.h"
#include "Output.h"
#include "PluginLibrary.h"
#include "Session.h"
#include "Trace.h"
#include "host/qorvix/IoFilter.h"
#include "host/qorvix/OptionStore.h"

namespace dornel::app {

namespace {

/// The scope that --direction and --kind name; the shared scope without them.
std::string ScopeOf(const Settings& s) {
    if (s.kind.empty()) {
        if (!s.direction.empty())
            throw UsageError("--direction needs --kind: a scope is one filter's");
        return qorvix::kSharedScope;
    }
    const std::string direction = s.direction.empty() ? "import" : s.direction;
    if (direction != "import" && direction != "export")
        throw UsageError("--direction is import or export, not '" + direction + "'");
    return qorvix::FilterScope(direction, kKindNames[KindFromName(s.kind)]);
}

std::string ScopeLabel(const std::string& scope) {
    return scope.empty() ? "shared" : scope;
}

std::string OptionLine(const std::string& name, const qorvix::OptionValue& value) {
    return AcpToUtf8(name) + "=" + AcpToUtf8(value.ToText()) + " (" +
           qorvix::OptionTypeName(value.type) + ")";
}

int NotInStore(const Settings& s, const std::string& scope) {
    std::fprintf(stderr, "dornel: the option '%s' is not in the store '%s' (%s scope)\n",
                 s.optionName.c_str(), s.store.c_str(), ScopeLabel(scope).c_str());
    return kExitError;
}

/// A store that cannot be used is an error here: these commands are about the store itself.
void RequireStore(const Settings& s) {
    if (s.store.empty())
        throw std::runtime_error("there is no option store: " + NoStoreReason() +
                                 "; name one with --store FILE");
}

}  // namespace

int RunOptionsList(const Settings& s) {
    RequireStore(s);
    qorvix::OptionStore store(s.store);
    store.Load();
    if (s.allScopes) {
        for (const qorvix::StoredOption& o : store.All())
            WriteOutput(stdout, ScopeLabel(o.scope) + " " + OptionLine(o.name, o.value) + "\n");
        return kExitOk;
    }
    for (const auto& [name, value] : store.List(ScopeOf(s)))
        WriteOutput(stdout, OptionLine(name, value) + "\n");
    return kExitOk;
}

int RunOptionsGet(const Settings& s) {
    RequireStore(s);
    const std::string scope = ScopeOf(s);
    qorvix::OptionStore store(s.store);
    store.Load();
    qorvix::OptionValue value;
    if (!store.Get(scope, Utf8ToAcp(s.optionName), value)) {
        return NotInStore(s, scope);
    }
    WriteOutput(stdout, AcpToUtf8(value.ToText()) + "\n");
    return kExitOk;
}

int RunOptionsSet(const Settings& s) {
    RequireStore(s);
    const std::string scope = ScopeOf(s);
    qorvix::OptionValue value;
    if (s.optionType.empty()) {
        HostManager probe("", nullptr);
        probe.HostSetOption(s.optionName, s.optionValue);
        qorvix::StoreOf(probe).Get(qorvix::kSharedScope, Utf8ToAcp(s.optionName), value);
    } else {
        qorvix::OptionType type;
        if (!qorvix::OptionTypeFromName(s.optionType, type))
            throw UsageError("unknown type '" + s.optionType + "' (bool, int, uint or text)");
        if (!qorvix::ParseOptionValue(type, Utf8ToAcp(s.optionValue), value))
            throw UsageError("'" + s.optionValue + "' is not a valid " + s.optionType +
                             " value for " + s.optionName);
    }
    qorvix::OptionStore store(s.store);
    store.Set(scope, Utf8ToAcp(s.optionName), value, true);
    return kExitOk;
}

int RunOptionsUnset(const Settings& s) {
    RequireStore(s);
    const std::string scope = ScopeOf(s);
    qorvix::OptionStore store(s.store);
    store.Load();
    if (!store.Remove(scope, Utf8ToAcp(s.optionName), true)) {
        return NotInStore(s, scope);
    }
    return kExitOk;
}

int RunOptionsReset(const Settings& s) {
    RequireStore(s);
    qorvix::OptionStore store(s.store);
    store.Load();
    // Everything a scope holds goes in one save.
    std::vector<std::pair<std::string, std::string>> doomed;
    if (s.allScopes) {
        for (const qorvix::StoredOption& o : store.All())
            doomed.emplace_back(o.scope, o.name);
    } else {
        const std::string scope = ScopeOf(s);
        for (const auto& [name, value] : store.List(scope))
            doomed.emplace_back(scope, name);
    }
    store.BeginBatch();
    for (const auto& [scope, name] : doomed)
        store.Remove(scope, name, true);
    store.EndBatch();
    return kExitOk;
}

int RunOptionsHelp(const Settings&) {
    WriteOutput(stdout, OptionsHelp());
    return kExitOk;
}

int RunOptionsListing(const Settings& s) {
    const int kind = KindFromName(s.kind.empty() ? "txt" : s.kind);
    const std::string direction = s.direction.empty() ? "import" : s.direction;
    if (direction != "import" && direction != "export")
        throw UsageError("--direction is import or export, not '" + direction + "'");
    auto manager = MakeManager(s, nullptr, direction, kind);
    PluginLibrary plugin(s.plugin);
    brisko::RString listing;
    if (direction == "import") {
        std::unique_ptr<qorvix::IoImportFilter> filter(plugin.Import(kind)(*manager));
        if (!filter)
            throw std::runtime_error("the import factory made no filter");
        listing = manager->Call([&] { return filter->GetOptionsString(); });
    } else {
        std::unique_ptr<qorvix::IoExportFilter> filter(plugin.Export(kind)(*manager));
        if (!filter)
            throw std::runtime_error("the export factory made no filter");
        listing = manager->Call([&] { return filter->GetOptionsString(); });
    }
    // A fresh store lists nothing, and an empty line would read as an option without a name.
    if (listing.empty())
        std::fprintf(stderr, "dornel: no options are set for the %s %s filter\n", kKindNames[kind],
                     direction.c_str());
    else
        WriteOutput(stdout, AcpToUtf8(listing.str()) + "\n");
    return kExitOk;
}

}  // namespace dornel::app
