// The option store: typed values and their atomic saving.
#include "host/qorvix/OptionStore.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/brisko/ReplacementFile.h"
#include "host/brisko/Exception.h"
#include "host/brisko/File.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace qorvix {

namespace {

constexpr const char* kFormat = "dornel-options";

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

using OptionList = std::vector<std::pair<std::string, OptionValue>>;

OptionList::iterator Find(OptionList& list, const std::string& name) {
    for (auto it = list.begin(); it != list.end(); ++it)
        if (SameName(it->first, name))
            return it;
    return list.end();
}

void Put(OptionList& list, const std::string& name, const OptionValue& value) {
    auto it = Find(list, name);
    if (it != list.end())
        it->second = value;
    else
        list.emplace_back(name, value);
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool ParseWhole(const std::string& text, int64_t& out) {
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+')
        ++b;
    auto r = std::from_chars(b, e, out);
    return r.ec == std::errc() && r.ptr == e;
}

[[noreturn]] void ThrowStore(int line, const std::string& message) {
    throw brisko::Exception("qorvix", "OptionStore", line, brisko::SHARED_ERR_READ, message);
}

}  // namespace

OptionValue OptionValue::Bool(bool v) {
    OptionValue o;
    o.type = OptionType::Bool, o.b = v;
    return o;
}
OptionValue OptionValue::Int(int32_t v) {
    OptionValue o;
    o.type = OptionType::Int, o.i = v;
    return o;
}
OptionValue OptionValue::UInt(uint32_t v) {
    OptionValue o;
    o.type = OptionType::UInt, o.u = v;
    return o;
}
OptionValue OptionValue::Text(const std::string& v) {
    OptionValue o;
    o.type = OptionType::Text, o.text = v;
    return o;
}

std::string OptionValue::ToText() const {
    switch (type) {
        case OptionType::Bool:
            return b ? "true" : "false";
        case OptionType::Int:
            return std::to_string(i);
        case OptionType::UInt:
            return std::to_string(u);
        case OptionType::Text:
            return text;
    }
    return text;
}

bool OptionValue::AsBool(bool& out) const {
    switch (type) {
        case OptionType::Bool:
            out = b;
            return true;
        case OptionType::Int:
            if (i != 0 && i != 1)
                return false;
            out = i == 1;
            return true;
        case OptionType::UInt:
            if (u > 1)
                return false;
            out = u == 1;
            return true;
        case OptionType::Text: {
            std::string t = Trim(text);
            for (char& c : t)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c + 32);
            if (t == "true" || t == "1" || t == "yes") {
                out = true;
                return true;
            }
            if (t == "false" || t == "0" || t == "no") {
                out = false;
                return true;
            }
            return false;
        }
    }
    return false;
}

bool OptionValue::AsInt(int32_t& out) const {
    switch (type) {
        case OptionType::Bool:
            out = b ? 1 : 0;
            return true;
        case OptionType::Int:
            out = i;
            return true;
        case OptionType::UInt:
            out = static_cast<int32_t>(u);
            return true;
        case OptionType::Text: {
            int64_t v;
            if (!ParseWhole(text, v) || v < INT32_MIN || v > UINT32_MAX)
                return false;
            out = static_cast<int32_t>(static_cast<uint32_t>(v));
            return true;
        }
    }
    return false;
}

bool OptionValue::AsUInt(uint32_t& out) const {
    switch (type) {
        case OptionType::Bool:
            out = b ? 1u : 0u;
            return true;
        case OptionType::Int:
            out = static_cast<uint32_t>(i);
            return true;
        case OptionType::UInt:
            out = u;
            return true;
        case OptionType::Text: {
            int64_t v;
            if (!ParseWhole(text, v) || v < INT32_MIN || v > UINT32_MAX)
                return false;
            out = static_cast<uint32_t>(v);
            return true;
        }
    }
    return false;
}

const char* OptionTypeName(OptionType type) {
    switch (type) {
        case OptionType::Bool:
            return "bool";
        case OptionType::Int:
            return "int";
        case OptionType::UInt:
            return "uint";
        case OptionType::Text:
            return "text";
    }
    return "text";
}

bool OptionTypeFromName(const std::string& name, OptionType& type) {
    if (name == "bool")
        type = OptionType::Bool;
    else if (name == "int")
        type = OptionType::Int;
    else if (name == "uint")
        type = OptionType::UInt;
    else if (name == "text")
        type = OptionType::Text;
    else
        return false;
    return true;
}

bool ParseOptionValue(OptionType type, const std::string& text, OptionValue& value) {
    const OptionValue t = OptionValue::Text(text);
    switch (type) {
        case OptionType::Bool: {
            bool b;
            if (!t.AsBool(b))
                return false;
            value = OptionValue::Bool(b);
            return true;
        }
        case OptionType::Int: {
            int64_t v;
            if (!ParseWhole(text, v) || v < INT32_MIN || v > INT32_MAX)
                return false;
            value = OptionValue::Int(static_cast<int32_t>(v));
            return true;
        }
        case OptionType::UInt: {
            int64_t v;
            if (!ParseWhole(text, v) || v < 0 || v > UINT32_MAX)
                return false;
            value = OptionValue::UInt(static_cast<uint32_t>(v));
            return true;
        }
        case OptionType::Text:
            value = t;
            return true;
    }
    return false;
}

namespace {

/// The exclusive lock under which a process reads, changes and replaces the store.
class StoreLock {
  public:
    explicit StoreLock(const std::string& path) {
#if defined(_WIN32)
        const brisko::WString w = brisko::RString(path).ToWide();
        handle_ =
            CreateFileW(reinterpret_cast<const wchar_t*>(w.c_str()), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            error_ = EACCES;
            return;
        }
        OVERLAPPED whole = {};
        if (!LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
            error_ = EIO;
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
#else
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = errno;
                close(fd_);
                fd_ = -1;
                return;
            }
        }
#endif
    }
    ~StoreLock() {
#if defined(_WIN32)
        if (handle_ != INVALID_HANDLE_VALUE) {
            OVERLAPPED whole = {};
            UnlockFileEx(handle_, 0, 1, 0, &whole);
            CloseHandle(handle_);
        }
#else
        if (fd_ >= 0)
            close(fd_);  // closing the last descriptor releases the lock
#endif
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    /// 0 when held, else why not.
    int Error() const {
        return error_;
    }

  private:
#if defined(_WIN32)
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
    int error_ = 0;
};

bool SameValue(const OptionValue& a, const OptionValue& b) {
    if (a.type != b.type)
        return false;
    switch (a.type) {
        case OptionType::Bool:
            return a.b == b.b;
        case OptionType::Int:
            return a.i == b.i;
        case OptionType::UInt:
            return a.u == b.u;
        case OptionType::Text:
            return a.text == b.text;
    }
    return false;
}

/// Reads the store file at path into list. Empty when the file is usable (a missing one is an
/// empty store), else the reason, with line the source line that found it.
std::string ReadStoreFile(const std::string& path, OptionList& list, int& line) {
    list.clear();
    const brisko::RString name(path);
    if (brisko::IsDirectory(name)) {
        line = __LINE__;
        return "the option store '" + path + "' is a directory, not a file";
    }
    std::FILE* f = brisko::OpenFile(name, "rb");
    if (!f) {
        if (errno == ENOENT)
            return {};
        line = __LINE__;
        return "cannot read the option store '" + path + "': " + std::strerror(errno);
    }
    std::string content;
    char buffer[16384];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (failed) {
        line = __LINE__;
        return "cannot read the option store '" + path + "': " + std::strerror(err);
    }
    // A store that was created and never written holds nothing.
    if (content.find_first_not_of(" \t\r\n") == std::string::npos)
        return {};
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(content);
    } catch (const nlohmann::json::exception& e) {
        line = __LINE__;
        return "the option store '" + path + "' is not valid JSON (" + e.what() +
               "); repair it or remove it";
    }
    auto corrupt = [&](int at, const std::string& why) {
        line = at;
        list.clear();
        return "the option store '" + path + "' is damaged: " + why + "; repair it or remove it";
    };
    if (!doc.is_object() || doc.value("format", "") != kFormat || !doc.contains("options") ||
        !doc["options"].is_array())
        return corrupt(__LINE__, "it is not a dornel option store");
    for (const auto& entry : doc["options"]) {
        if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string() ||
            !entry.contains("type") || !entry["type"].is_string() || !entry.contains("value"))
            return corrupt(__LINE__, "an entry lacks its name, type or value");
        const std::string optionName = entry["name"];
        OptionType type = OptionType::Text;
        if (optionName.empty() || !OptionTypeFromName(entry["type"], type))
            return corrupt(__LINE__, "the option '" + optionName + "' has an unknown type");
        const auto& v = entry["value"];
        OptionValue value;
        bool ok = false;
        switch (type) {
            case OptionType::Bool:
                ok = v.is_boolean();
                if (ok)
                    value = OptionValue::Bool(v.get<bool>());
                break;
            case OptionType::Int:
                ok = v.is_number_integer() && v.get<int64_t>() >= INT32_MIN &&
                     v.get<int64_t>() <= INT32_MAX;
                if (ok)
                    value = OptionValue::Int(static_cast<int32_t>(v.get<int64_t>()));
                break;
            case OptionType::UInt:
                ok = v.is_number_integer() && v.get<int64_t>() >= 0 &&
                     v.get<int64_t>() <= UINT32_MAX;
                if (ok)
                    value = OptionValue::UInt(static_cast<uint32_t>(v.get<int64_t>()));
                break;
            case OptionType::Text:
                ok = v.is_string();
                if (ok)
                    value = OptionValue::Text(v.get<std::string>());
                break;
        }
        if (!ok)
            return corrupt(__LINE__,
                           "the value of '" + optionName + "' is not a " + OptionTypeName(type));
        Put(list, optionName, value);
    }
    return {};
}

std::string StoreText(const OptionList& list) {
    nlohmann::json options = nlohmann::json::array();
    for (const auto& [name, value] : list) {
        nlohmann::json entry;
        entry["name"] = name;
        entry["type"] = OptionTypeName(value.type);
        switch (value.type) {
            case OptionType::Bool:
                entry["value"] = value.b;
                break;
            case OptionType::Int:
                entry["value"] = value.i;
                break;
            case OptionType::UInt:
                entry["value"] = value.u;
                break;
            case OptionType::Text:
                entry["value"] = value.text;
                break;
        }
        options.push_back(entry);
    }
    nlohmann::json doc;
    doc["format"] = kFormat;
    doc["version"] = 1;
    doc["options"] = options;
    // Invalid UTF-8 in a text value is replaced rather than making the store unsavable.
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

void OptionStore::Load() {
    if (!TryLoad())
        ThrowStore(problemLine_, problem_);
}

bool OptionStore::TryLoad() {
    if (!loaded_ && !path_.empty()) {
        loaded_ = true;
        problem_ = ReadStoreFile(path_, saved_, problemLine_);
        // Whatever this session set before the file was read stays the latest value.
        OptionList session = saved_;
        for (const auto& [name, value] : session_)
            Put(session, name, value);
        session_ = std::move(session);
    }
    return problem_.empty();
}

bool OptionStore::Get(const std::string& name, OptionValue& value) {
    TryLoad();
    for (const auto& [n, v] : session_) {
        if (SameName(n, name)) {
            value = v;
            return true;
        }
    }
    return false;
}

const std::vector<std::pair<std::string, OptionValue>>& OptionStore::List() {
    TryLoad();
    return session_;
}

bool OptionStore::IsSaved(const std::string& name) {
    TryLoad();
    auto saved = Find(saved_, name);
    auto current = Find(session_, name);
    return saved != saved_.end() && current != session_.end() &&
           SameValue(saved->second, current->second);
}

void OptionStore::Set(const std::string& name, const OptionValue& value, bool persistent) {
    TryLoad();
    Put(session_, name, value);
    if (persistent && !path_.empty()) {
        pending_.emplace_back(name, value);
        if (batch_ == 0)
            Save();
    }
}

bool OptionStore::Remove(const std::string& name, bool persistent) {
    TryLoad();
    auto it = Find(session_, name);
    if (it == session_.end())
        return false;
    session_.erase(it);
    if (persistent && !path_.empty() && Find(saved_, name) != saved_.end()) {
        pending_.emplace_back(name, std::nullopt);
        if (batch_ == 0)
            Save();
    }
    return true;
}

void OptionStore::Save() {
    if (pending_.empty())
        return;
    // Whatever happens, these writes are reported once and not tried again by a later save.
    auto writes = std::move(pending_);
    pending_.clear();
    auto fail = [&](int line, const std::string& what, int err) {
        throw brisko::Exception(
            "qorvix", "OptionStore", line, brisko::SHARED_ERR_WRITE,
            "cannot save the option store '" + path_ + "' (" + what + "): " + std::strerror(err));
    };
    const brisko::WriteTarget target = brisko::WriteTarget::Resolve(path_);
    if (target.directory)
        throw brisko::Exception(
            "qorvix", "OptionStore", __LINE__, brisko::SHARED_ERR_WRITE,
            "cannot save the option store '" + path_ + "': it is a directory, not a file");
    if (target.exists && (target.readOnly || target.inPlace))
        throw brisko::Exception("qorvix", "OptionStore", __LINE__, brisko::SHARED_ERR_WRITE,
                                "cannot save the option store '" + path_ +
                                    "': it may not be written (it is read-only); its options "
                                    "stay as they are");
    const std::filesystem::path folder = std::filesystem::u8path(target.path).parent_path();
    std::error_code ec;
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    StoreLock lock(target.path + ".lock");
    if (lock.Error() != 0)
        fail(__LINE__, "lock", lock.Error());
    // What other processes saved meanwhile is kept: only this process's writes change.
    OptionList current;
    int line = 0;
    const std::string problem = ReadStoreFile(target.path, current, line);
    if (!problem.empty())
        ThrowStore(line, problem);
    for (const auto& [name, value] : writes) {
        if (value) {
            Put(current, name, *value);
        } else if (auto it = Find(current, name); it != current.end()) {
            current.erase(it);
        }
    }
    const std::string text = StoreText(current);
    brisko::ReplacementFile part;
    if (!part.Create(target))
        fail(__LINE__, "create", errno);
    if (std::fwrite(text.data(), 1, text.size(), part.Stream()) != text.size()) {
        const int err = errno != 0 ? errno : EIO;
        part.Discard();
        fail(__LINE__, "write", err);
    }
    if (!part.Commit(true))
        fail(__LINE__, "write", errno != 0 ? errno : EIO);
    saved_ = std::move(current);
}

}  // namespace qorvix
