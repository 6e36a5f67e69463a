// The I/O manager: typed options over the store, option strings, the progress display.
#include "host/qorvix/IoManager.h"

#include <cstdio>
#include <exception>
#include <string>

#include "host/brisko/Exception.h"
#include "host/qorvix/OptionStore.h"
#include "host/qorvix/Records.h"
#include "host/tembla/StringOption.h"

#if defined(_WIN32)
#include <io.h>
#define DORNEL_ISATTY _isatty
#define DORNEL_FILENO _fileno
#else
#include <unistd.h>
#define DORNEL_ISATTY isatty
#define DORNEL_FILENO fileno
#endif

namespace qorvix {

namespace {

bool StderrIsTerminal() {
    return DORNEL_ISATTY(DORNEL_FILENO(stderr)) != 0;
}

}  // namespace

struct IoManager::State {
    explicit State(std::unique_ptr<OptionStore> s) : store(std::move(s)) {}
    std::unique_ptr<OptionStore> store;
    std::string scope = kSharedScope;
    bool storeProblemSaid = false;
    bool notSavedSaid = false;
    bool progressShown = false;
    double lastFraction = -1.0;
};

/// What StoreOf needs of a manager's private state.
class ManagerState {
  public:
    static OptionStore& Store(IoManager& manager) { return *manager.state_->store; }
};

OptionStore& StoreOf(IoManager& manager) {
    return ManagerState::Store(manager);
}

bool IoManager::LookUp(const char* name, OptionValue& value) {
    // A store that cannot be used is said once; reads then find only this session's values, so
    // that an operation that needs none of its options still runs.
    if (!state_->store->TryLoad() && !state_->storeProblemSaid) {
        state_->storeProblemSaid = true;
        std::fprintf(stderr, "dornel: warning: %s; its options are not used\n",
                     state_->store->Problem().c_str());
    }
    return name && (state_->store->Get(state_->scope, name, value) ||
                    (!state_->scope.empty() && state_->store->Get(kSharedScope, name, value)));
}

void IoManager::SetOptionScope(const std::string& scope) {
    state_->scope = scope;
}

const std::string& IoManager::GetOptionScope() const {
    return state_->scope;
}

void IoManager::WriteOption(const char* name, const OptionValue& value, bool persistent) {
    try {
        state_->store->Set(state_->scope, name ? name : "", value, persistent);
    } catch (const brisko::Exception& e) {
        StoreNotSaved(e);
    }
}

void IoManager::StoreNotSaved(const std::exception& error) {
    // The operation goes on with the values it was given; only their saving failed.
    if (state_->notSavedSaid)
        return;
    state_->notSavedSaid = true;
    std::fprintf(stderr, "dornel: warning: %s; the options of this run were not saved\n",
                 error.what());
}

IoManager::IoManager() : state_(std::make_unique<State>(std::make_unique<OptionStore>())) {}

IoManager::IoManager(const brisko::RString& storePath)
    : state_(std::make_unique<State>(std::make_unique<OptionStore>(storePath.str()))) {}

IoManager::~IoManager() = default;

bool IoManager::GetOption(const char* name, bool& value, bool) {
    OptionValue v;
    return LookUp(name, v) && v.AsBool(value);
}

bool IoManager::GetOption(const char* name, int& value, bool) {
    OptionValue v;
    int32_t out;
    if (!LookUp(name, v) || !v.AsInt(out))
        return false;
    value = out;
    return true;
}

bool IoManager::GetOption(const char* name, unsigned int& value, bool) {
    OptionValue v;
    uint32_t out;
    if (!LookUp(name, v) || !v.AsUInt(out))
        return false;
    value = out;
    return true;
}

bool IoManager::GetOption(const char* name, brisko::RString& value, bool) {
    OptionValue v;
    if (!LookUp(name, v))
        return false;
    value = v.ToText();
    return true;
}

void IoManager::SetOption(const char* name, bool value, bool persistent) {
    WriteOption(name, OptionValue::Bool(value), persistent);
}

void IoManager::SetOption(const char* name, int value, bool persistent) {
    WriteOption(name, OptionValue::Int(value), persistent);
}

void IoManager::SetOption(const char* name, unsigned int value, bool persistent) {
    WriteOption(name, OptionValue::UInt(value), persistent);
}

void IoManager::SetOption(const char* name, const char* value, bool persistent) {
    WriteOption(name, OptionValue::Text(value ? value : ""), persistent);
}

bool IoManager::GetStringOption(const brisko::RString& options, const char* name, bool& value) {
    brisko::RString text;
    return tembla::CommonGetStringOption(options, name, ';', text) &&
           OptionValue::Text(text.str()).AsBool(value);
}

bool IoManager::GetStringOption(const brisko::RString& options, const char* name, int& value) {
    brisko::RString text;
    OptionValue v;
    if (!tembla::CommonGetStringOption(options, name, ';', text) ||
        !ParseOptionValue(OptionType::Int, text.str(), v))
        return false;
    value = v.i;
    return true;
}

bool IoManager::GetStringOption(const brisko::RString& options, const char* name,
                                unsigned int& value) {
    brisko::RString text;
    OptionValue v;
    if (!tembla::CommonGetStringOption(options, name, ';', text) ||
        !ParseOptionValue(OptionType::UInt, text.str(), v))
        return false;
    value = v.u;
    return true;
}

bool IoManager::GetStringOption(const brisko::RString& options, const char* name,
                                brisko::RString& value) {
    return tembla::CommonGetStringOption(options, name, ';', value);
}

void IoManager::GetOptions(std::vector<brisko::RString>& list) {
    list.clear();
    // What the filter reads: its own scope's options, then the shared ones it does not hide.
    const auto own = state_->store->List(state_->scope);
    for (const auto& [name, value] : own) {
        list.emplace_back(name);
        list.emplace_back(value.ToText());
    }
    if (state_->scope.empty())
        return;
    for (const auto& [name, value] : state_->store->List(kSharedScope)) {
        bool hidden = false;
        for (const auto& o : own)
            hidden = hidden || SameOptionName(o.first, name);
        if (!hidden) {
            list.emplace_back(name);
            list.emplace_back(value.ToText());
        }
    }
}

void IoManager::ProgressStart(const char*, bool, bool) {
    state_->progressShown = StderrIsTerminal();
    state_->lastFraction = -1.0;
}

void IoManager::ProgressMessage(const char* text) {
    if (state_->progressShown)
        std::fprintf(stderr, "\r\033[K%s", text ? text : "");
}

bool IoManager::ProgressProportion(double fraction) {
    if (!state_->progressShown)
        return true;
    if (fraction < 0)
        fraction = 0;
    if (fraction > 1)
        fraction = 1;
    // Redraw only when the bar moves, so that a fast import is not slowed by the terminal.
    if (fraction - state_->lastFraction < 0.01 && state_->lastFraction >= 0)
        return true;
    state_->lastFraction = fraction;
    const int width = 40;
    const int filled = static_cast<int>(fraction * width);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    std::fprintf(stderr, "\r\033[K[%s] %3d%%", bar.c_str(), static_cast<int>(fraction * 100));
    return true;
}

bool IoManager::ProgressIndeterminate() {
    return true;
}

void IoManager::ProgressStop() {
    if (state_->progressShown)
        std::fprintf(stderr, "\r\033[K");
    state_->progressShown = false;
}

bool IoManager::ImportObject(const TrBase&) {
    return true;
}

int IoManager::Warning(int, const char* text) {
    std::fprintf(stderr, "dornel: warning: %s\n", text ? text : "");
    return WARN_YES;
}

void IoManager::ShowHelp(const char* topic, const char*) {
    std::fprintf(stderr, "dornel: help topic %s\n", topic ? topic : "");
}

}  // namespace qorvix
