// The option store: the session's values in scopes over the store file.
#include "host/qorvix/OptionStore.h"

#include "StoreFile.h"
#include "host/brisko/Exception.h"

namespace qorvix {

struct OptionStore::Content {
    StoredOptions session;
    StoredOptions saved;
    std::vector<StoreWrite> pending;
};

std::string FilterScope(const std::string& direction, const std::string& kind) {
    return direction + "/" + kind;
}

bool SplitScope(const std::string& scope, std::string& direction, std::string& kind) {
    const size_t slash = scope.find('/');
    direction = slash == std::string::npos ? std::string() : scope.substr(0, slash);
    kind = slash == std::string::npos ? std::string() : scope.substr(slash + 1);
    return slash != std::string::npos;
}

OptionStore::OptionStore() : content_(std::make_unique<Content>()) {}

OptionStore::OptionStore(const std::string& path)
    : path_(path), content_(std::make_unique<Content>()) {}

OptionStore::~OptionStore() = default;

void OptionStore::Load() {
    if (!TryLoad())
        throw brisko::Exception("qorvix", "StoreFile", problemLine_, brisko::SHARED_ERR_READ,
                                problem_);
}

bool OptionStore::TryLoad() {
    if (!loaded_ && !path_.empty()) {
        loaded_ = true;
        problem_ = ReadStoreFile(path_, content_->saved, problemLine_);
        // Whatever this session set before the file was read stays the latest value.
        StoredOptions session = content_->saved;
        for (const StoredOption& o : content_->session)
            PutOption(session, o.scope, o.name, o.value);
        content_->session = std::move(session);
    }
    return problem_.empty();
}

bool OptionStore::Get(const std::string& scope, const std::string& name, OptionValue& value) {
    TryLoad();
    auto it = FindOption(content_->session, scope, name);
    if (it == content_->session.end())
        return false;
    value = it->value;
    return true;
}

std::vector<std::pair<std::string, OptionValue>> OptionStore::List(const std::string& scope) {
    TryLoad();
    std::vector<std::pair<std::string, OptionValue>> list;
    for (const StoredOption& o : content_->session)
        if (o.scope == scope)
            list.emplace_back(o.name, o.value);
    return list;
}

const std::vector<StoredOption>& OptionStore::All() {
    TryLoad();
    return content_->session;
}

bool OptionStore::IsSaved(const std::string& scope, const std::string& name) {
    TryLoad();
    auto saved = FindOption(content_->saved, scope, name);
    auto current = FindOption(content_->session, scope, name);
    return saved != content_->saved.end() && current != content_->session.end() &&
           saved->value == current->value;
}

void OptionStore::Set(const std::string& scope, const std::string& name, const OptionValue& value,
                      bool persistent) {
    TryLoad();
    PutOption(content_->session, scope, name, value);
    if (persistent && !path_.empty()) {
        content_->pending.push_back({scope, name, value});
        pending_ = true;
        if (batch_ == 0)
            Save();
    }
}

bool OptionStore::Remove(const std::string& scope, const std::string& name, bool persistent) {
    TryLoad();
    auto it = FindOption(content_->session, scope, name);
    if (it == content_->session.end())
        return false;
    content_->session.erase(it);
    if (persistent && !path_.empty() &&
        FindOption(content_->saved, scope, name) != content_->saved.end()) {
        content_->pending.push_back({scope, name, std::nullopt});
        pending_ = true;
        if (batch_ == 0)
            Save();
    }
    return true;
}

void OptionStore::Save() {
    if (content_->pending.empty())
        return;
    // Whatever happens, these writes are reported once and not tried again by a later save.
    const std::vector<StoreWrite> writes = std::move(content_->pending);
    content_->pending.clear();
    pending_ = false;
    content_->saved = SaveStoreFile(path_, writes);
}

}  // namespace qorvix
