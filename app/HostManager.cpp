// The host program's I/O manager.
#include "HostManager.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/qorvix/OptionStore.h"
#include "host/brisko/Exception.h"
#include "host/brisko/PrimData.h"
#include "host/qorvix/Records.h"
#include "host/tembla/StringOption.h"

namespace dornel::app {

using namespace qorvix;

namespace {

std::string Lower(const char* s) {
    std::string out;
    for (; s && *s; ++s)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
    return out;
}

}  // namespace

namespace {

/// What a reader decided, as the trace's "reader" line.
void ObserveReader(void* context, const std::string& path, const brisko::EncodingDecision& d,
                   brisko::ReaderEvent event) {
    static_cast<HostManager*>(context)->NoteReader(path, d, event);
}

}  // namespace

HostManager::HostManager(const std::string& storePath, Trace* trace)
    : IoManager(brisko::RString(storePath)), trace_(trace), store_(StoreOf(*this)) {
    brisko::SetReaderObserver(ObserveReader, this);
}

HostManager::~HostManager() {
    brisko::SetReaderObserver(nullptr, nullptr);
    SayUndecodable();
}

void HostManager::NameReaderPath(const std::string& path, const std::string& name) {
    readerPath_ = path;
    readerName_ = name;
}

void HostManager::NoteReader(const std::string& path, const brisko::EncodingDecision& d,
                             brisko::ReaderEvent event) {
    const bool named = !readerName_.empty() && (readerPath_.empty() || readerPath_ == path);
    const std::string name = named ? readerName_ : AcpToUtf8(path);
    if (event == brisko::ReaderEvent::kClosed) {
        Undecodable& u = undecodable_[name];
        if (d.undecodable > u.bytes)
            u = Undecodable{d.undecodable, d.firstUndecodableLine, d.firstUndecodable};
        if (trace_)
            trace_->Write(Json{{"undecodable",
                                {{"path", name},
                                 {"bytes", d.undecodable},
                                 {"firstLine", d.firstUndecodableLine},
                                 {"firstOffset", d.firstUndecodable}}}});
        return;
    }
    if (!trace_)
        return;
    const bool fromBytes =
        d.why == "no mark" || d.why == "detected" || d.why == "guessed" || d.why == "ascii";
    Json reader{{"path", name},
                {"encoding", d.Name()},
                {"codePage", d.form == brisko::FORM_8BIT ? d.codePage : 0u},
                {"mark", d.markBytes > 0},
                {"detected", fromBytes},
                {"why", d.why}};
    if (d.decidedAt > 0)
        reader["decidedAt"] = d.decidedAt;
    trace_->Write(Json{{"reader", reader}});
}

void HostManager::SayUndecodable() {
    for (const auto& [name, u] : undecodable_) {
        if (u.bytes == 0)
            continue;
        const std::string bytes = u.bytes == 1 ? "1 byte" : std::to_string(u.bytes) + " bytes";
        const std::string where =
            u.line > 0 ? "line " + std::to_string(u.line) : "byte " + std::to_string(u.offset);
        std::fprintf(stderr, "dornel: warning: '%s': %s could not be decoded, first at %s\n",
                     name.c_str(), bytes.c_str(), where.c_str());
    }
    undecodable_.clear();
}

void HostManager::TraceOption(const char* call, const char* name, const char* type, bool persistent,
                              bool found, const Json& value) {
    if (!trace_)
        return;
    Json j;
    j["host"] = call;
    j["name"] = AcpToUtf8(name ? name : "");
    j["type"] = type;
    if (std::string(call) != "GetStringOption")
        j["persistent"] = persistent;
    if (std::string(call) != "SetOption")
        j["found"] = found;
    if (found)
        j["value"] = value;
    trace_->Write(j);
}

bool HostManager::GetOption(const char* name, bool& value, bool persistent) {
    const bool found = IoManager::GetOption(name, value, persistent);
    if (found)
        NoteRead(name);
    TraceOption("GetOption", name, "bool", persistent, found, value);
    return found;
}

bool HostManager::GetOption(const char* name, int& value, bool persistent) {
    const bool found = IoManager::GetOption(name, value, persistent);
    if (found)
        NoteRead(name);
    TraceOption("GetOption", name, "int", persistent, found, value);
    return found;
}

bool HostManager::GetOption(const char* name, unsigned int& value, bool persistent) {
    const bool found = IoManager::GetOption(name, value, persistent);
    if (found)
        NoteRead(name);
    TraceOption("GetOption", name, "uint", persistent, found, value);
    return found;
}

bool HostManager::GetOption(const char* name, brisko::RString& value, bool persistent) {
    const bool found = IoManager::GetOption(name, value, persistent);
    if (found)
        NoteRead(name);
    TraceOption("GetOption", name, "text", persistent, found, AcpToUtf8(value.str()));
    return found;
}

void HostManager::SetOption(const char* name, bool value, bool persistent) {
    TraceOption("SetOption", name, "bool", persistent, true, value);
    written_.insert(GetOptionScope() + "|" + Lower(name));
    IoManager::SetOption(name, value, persistent && !oneOff_);
}

void HostManager::SetOption(const char* name, int value, bool persistent) {
    TraceOption("SetOption", name, "int", persistent, true, value);
    written_.insert(GetOptionScope() + "|" + Lower(name));
    IoManager::SetOption(name, value, persistent && !oneOff_);
}

void HostManager::SetOption(const char* name, unsigned int value, bool persistent) {
    TraceOption("SetOption", name, "uint", persistent, true, value);
    written_.insert(GetOptionScope() + "|" + Lower(name));
    IoManager::SetOption(name, value, persistent && !oneOff_);
}

void HostManager::SetOption(const char* name, const char* value, bool persistent) {
    TraceOption("SetOption", name, "text", persistent, true, AcpToUtf8(value ? value : ""));
    written_.insert(GetOptionScope() + "|" + Lower(name));
    IoManager::SetOption(name, value, persistent && !oneOff_);
}

void HostManager::NoteRead(const char* name) {
    readOptions_.insert(name);
    // A value the filter reads from the store file, and nobody set in this run, changes what the
    // run does unseen: it is said once.
    const std::string lower = Lower(name);
    if (!tellStored_ || toldStored_.count(lower))
        return;
    std::string scope = GetOptionScope();
    OptionValue value;
    if (!store_.Get(scope, name, value))
        scope = kSharedScope;
    if (written_.count(scope + "|" + lower) || !store_.Get(scope, name, value) ||
        !store_.IsSaved(scope, name))
        return;
    toldStored_.insert(lower);
    std::string shown = AcpToUtf8(value.ToText());
    if (lower == "delimiter" || lower == "textqualifier") {
        std::string keywords;
        for (const char c : shown) {
            keywords += keywords.empty() ? "" : ",";
            keywords += c == '\t'   ? "tab"
                        : c == ' '  ? "space"
                        : c == ','  ? "comma"
                        : c == ';'  ? "semicolon"
                        : c == '"'  ? "doublequote"
                        : c == '\'' ? "singlequote"
                                    : std::string(1, c);
        }
        shown = keywords;
    }
    std::string path = store_.Path();
    if (const char* home = std::getenv("HOME");
        home && *home && path.rfind(home, 0) == 0 && path.size() > std::strlen(home))
        path = "~" + path.substr(std::strlen(home));
    std::string direction, kind;
    const std::string where =
        SplitScope(scope, direction, kind) ? direction + ", " + kind : "shared";
    std::fprintf(stderr, "dornel: using stored %s=%s (%s) from %s\n", name, shown.c_str(),
                 where.c_str(), path.c_str());
}

void HostManager::NoteLookup(const char* name) {
    lookedUp_.insert(Lower(name));
}

void HostManager::NoteUnparsed(const brisko::RString& options, const char* name, const char* type) {
    brisko::RString text;
    if (tembla::CommonGetStringOption(options, name, ';', text))
        unparsed_[Lower(name)] = type;
}

bool HostManager::GetStringOption(const brisko::RString& options, const char* name, bool& value) {
    NoteLookup(name);
    const bool found = IoManager::GetStringOption(options, name, value);
    TraceOption("GetStringOption", name, "bool", false, found, value);
    if (!found)
        NoteUnparsed(options, name, "bool");
    return found;
}

bool HostManager::GetStringOption(const brisko::RString& options, const char* name, int& value) {
    NoteLookup(name);
    const bool found = IoManager::GetStringOption(options, name, value);
    TraceOption("GetStringOption", name, "int", false, found, value);
    if (!found)
        NoteUnparsed(options, name, "int");
    return found;
}

bool HostManager::GetStringOption(const brisko::RString& options, const char* name,
                                  unsigned int& value) {
    NoteLookup(name);
    const bool found = IoManager::GetStringOption(options, name, value);
    TraceOption("GetStringOption", name, "uint", false, found, value);
    if (!found)
        NoteUnparsed(options, name, "uint");
    return found;
}

bool HostManager::GetStringOption(const brisko::RString& options, const char* name,
                                  brisko::RString& value) {
    NoteLookup(name);
    const bool found = IoManager::GetStringOption(options, name, value);
    TraceOption("GetStringOption", name, "text", false, found, AcpToUtf8(value.str()));
    return found;
}

void HostManager::ProgressStart(const char* title, bool showCancel, bool showProportion) {
    if (trace_) {
        trace_->Write(Json{{"host", "ProgressStart"},
                           {"title", AcpToUtf8(title ? title : "")},
                           {"flags", {showCancel, showProportion}}});
        return;
    }
    IoManager::ProgressStart(title, showCancel, showProportion);
}

void HostManager::ProgressMessage(const char* text) {
    if (trace_) {
        trace_->Write(Json{{"host", "ProgressMessage"}, {"text", AcpToUtf8(text ? text : "")}});
        return;
    }
    IoManager::ProgressMessage(text);
}

bool HostManager::NextProgressAnswer() {
    ++progressQueries_;
    return cancelAt_ <= 0 || progressQueries_ != cancelAt_;
}

bool HostManager::ProgressProportion(double fraction) {
    const bool goOn = NextProgressAnswer();
    if (trace_) {
        Json j{{"host", "ProgressProportion"}, {"value", NumberJson(fraction)}};
        if (!goOn)
            j["answer"] = false;
        trace_->Write(j);
        return goOn;
    }
    IoManager::ProgressProportion(fraction);
    return goOn;
}

bool HostManager::ProgressIndeterminate() {
    // Asked once per exported cell: the untraced answer needs no stack frame.
    const bool goOn = NextProgressAnswer();
    if (trace_) [[unlikely]] {
        TraceProgressIndeterminate(goOn);
        return goOn;
    }
    // The base's answer is always to go on, with nothing shown: not asked, as it is a call into
    // another library for every cell.
    return goOn;
}

void HostManager::TraceProgressIndeterminate(bool goOn) {
    Json j{{"host", "ProgressIndeterminate"}};
    if (!goOn)
        j["answer"] = false;
    trace_->Write(j);
}

void HostManager::ProgressStop() {
    if (trace_) {
        trace_->Write(Json{{"host", "ProgressStop"}});
        return;
    }
    IoManager::ProgressStop();
}

bool HostManager::ImportObject(const TrBase& record) {
    ++records_;
    // Once per cell of an import: the usual host, which neither traces nor refuses, only hands
    // the record on.
    if (trace_ || refuseAt_ > 0) [[unlikely]]
        return ImportObjectWatched(record);
    if (sink_)
        sink_->Take(record);
    return true;
}

bool HostManager::ImportObjectWatched(const TrBase& record) {
    const bool accepted = refuseAt_ <= 0 || records_ != refuseAt_;
    if (trace_)
        TraceRecord(record, accepted);
    if (accepted && sink_)
        sink_->Take(record);
    return accepted;
}

void HostManager::TraceRecord(const TrBase& record, bool accepted) {
    Json j = RecordJson(record);
    if (!accepted)
        j["refused"] = true;
    trace_->Write(j);
}

int HostManager::Warning(int style, const char* text) {
    if (trace_)
        trace_->Write(Json{{"host", "Warning"},
                           {"style", style},
                           {"text", AcpToUtf8(text ? text : "")},
                           {"answer", warningAnswer_}});
    else
        std::fprintf(stderr, "dornel: warning: %s (answered %d)\n", text ? text : "",
                     warningAnswer_);
    return warningAnswer_;
}

void HostManager::ShowHelp(const char* topic, const char* second) {
    if (trace_) {
        trace_->Write(Json{{"host", "ShowHelp"}, {"topic", AcpToUtf8(topic ? topic : "")}});
        return;
    }
    IoManager::ShowHelp(topic, second);
}

void HostManager::EndCall() {
    if (--calls_ > 0)
        return;
    // Options that cannot be saved do not stop the operation that was given them.
    try {
        store_.EndBatch();
    } catch (const brisko::Exception& e) {
        StoreNotSaved(e);
    }
}

void HostManager::AbandonCall() noexcept {
    if (calls_ == 0 || --calls_ > 0)
        return;
    try {
        store_.EndBatch();
    } catch (const std::exception& e) {
        // The call's own error is the one reported; this one must not be lost either.
        StoreNotSaved(e);
    }
}

brisko::Exception HostManager::Explain(const brisko::Exception& error) {
    std::string message = error.what();
    auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    for (const std::string& name : readOptions_) {
        OptionValue value;
        std::string scope = GetOptionScope();
        if (!store_.Get(scope, name, value))
            scope = kSharedScope;
        if (!store_.Get(scope, name, value) || !store_.IsSaved(scope, name))
            continue;
        const std::string text = value.ToText();
        // A short value ("1", ",") would be found in many a message by chance.
        const size_t at = text.size() < 3 ? std::string::npos : message.find(text);
        if (at == std::string::npos || (at > 0 && isWordChar(message[at - 1])) ||
            (at + text.size() < message.size() && isWordChar(message[at + text.size()])))
            continue;
        std::string direction, kind;
        const std::string flags = SplitScope(scope, direction, kind)
                                      ? " --direction " + direction + " --kind " + kind
                                      : std::string();
        message += " (the value " + text + " is the option '" + name +
                   "' saved in the option store '" + store_.Path() +
                   "'; save a working value with: dornel options set " + name + " VALUE" + flags +
                   ")";
    }
    brisko::Exception explained(error.Module().c_str(), error.File().c_str(), error.Line(),
                                error.Code(), message);
    explained.SetCodeName(error.CodeName());
    return explained;
}

void HostManager::HostSetOption(const std::string& name, const std::string& value) {
    OptionValue v;
    // The type is guessed: true/false is a bool, a whole number an int, anything else text.
    if (!ParseOptionValue(OptionType::Int, value, v)) {
        if (value == "true" || value == "false")
            v = OptionValue::Bool(value == "true");
        else
            v = OptionValue::Text(Utf8ToAcp(value));
    }
    written_.insert(std::string(kSharedScope) + "|" + Lower(name.c_str()));
    store_.Set(kSharedScope, Utf8ToAcp(name), v, false);
}

}  // namespace dornel::app
