// dornel options: the store's options listed, read and set, and a filter's option listing.
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "HostManager.h"
#include "Output.h"
#include "PluginLibrary.h"
#include "Session.h"
#include "Trace.h"
#include "host/qorvix/IoFilter.h"
#include "host/qorvix/OptionStore.h"

namespace dornel::app {

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

}  // namespace dornel::app
