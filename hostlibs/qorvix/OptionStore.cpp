// The option store: typed values and their atomic saving.
#include "OptionStore.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/brisko/Exception.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
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

OptionStore::OptionStore(const std::string& path) : path_(path) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::u8path(path), ec))
        return;
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        ThrowStore(__LINE__,
                   "cannot read the option store '" + path + "': " + std::strerror(errno));
    std::stringstream content;
    content << in.rdbuf();
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(content.str());
    } catch (const nlohmann::json::exception& e) {
        ThrowStore(__LINE__, "the option store '" + path + "' is not valid JSON (" + e.what() +
                                 "); repair it or remove it");
    }
    auto corrupt = [&](const std::string& why) {
        ThrowStore(__LINE__, "the option store '" + path + "' is damaged: " + why +
                                 "; repair it or remove it");
    };
    if (!doc.is_object() || doc.value("format", "") != kFormat || !doc.contains("options") ||
        !doc["options"].is_array())
        corrupt("it is not a dornel option store");
    for (const auto& entry : doc["options"]) {
        if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string() ||
            !entry.contains("type") || !entry["type"].is_string() || !entry.contains("value"))
            corrupt("an entry lacks its name, type or value");
        const std::string name = entry["name"];
        OptionType type = OptionType::Text;
        if (name.empty() || !OptionTypeFromName(entry["type"], type))
            corrupt("the option '" + name + "' has an unknown type");
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
            corrupt("the value of '" + name + "' is not a " + OptionTypeName(type));
        Put(saved_, name, value);
    }
    session_ = saved_;
}

bool OptionStore::Get(const std::string& name, OptionValue& value) const {
    for (const auto& [n, v] : session_) {
        if (SameName(n, name)) {
            value = v;
            return true;
        }
    }
    return false;
}

void OptionStore::Set(const std::string& name, const OptionValue& value, bool persistent) {
    Put(session_, name, value);
    if (persistent && !path_.empty()) {
        OptionList before = saved_;
        Put(saved_, name, value);
        try {
            Save();
        } catch (...) {
            saved_ = std::move(before);
            throw;
        }
    }
}

bool OptionStore::Remove(const std::string& name, bool persistent) {
    auto it = Find(session_, name);
    if (it == session_.end())
        return false;
    session_.erase(it);
    auto saved = Find(saved_, name);
    if (persistent && saved != saved_.end() && !path_.empty()) {
        OptionList before = saved_;
        saved_.erase(saved);
        try {
            Save();
        } catch (...) {
            saved_ = std::move(before);
            throw;
        }
    }
    return true;
}

void OptionStore::Save() const {
    nlohmann::json options = nlohmann::json::array();
    for (const auto& [name, value] : saved_) {
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
    const std::string text =
        doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";

    const std::filesystem::path target = std::filesystem::u8path(path_);
    std::error_code ec;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    const std::filesystem::path temp = std::filesystem::u8path(path_ + ".tmp");
    bool created = false;
    auto fail = [&](const char* what, int err) {
        // Only a temporary file of our own making is removed.
        if (created)
            std::filesystem::remove(temp, ec);
        throw brisko::Exception("qorvix", "OptionStore", __LINE__, brisko::SHARED_ERR_WRITE,
                                std::string("cannot save the option store '") + path_ + "' (" +
                                    what + "): " + std::strerror(err));
    };
    // Write a temporary file beside the store and rename it over the store, so that a crash
    // leaves either the old store or the new one, never a broken one.
#if defined(_WIN32)
    std::FILE* f = _wfopen(temp.wstring().c_str(), L"wb");
#else
    std::FILE* f = std::fopen(temp.string().c_str(), "wb");
#endif
    if (!f)
        fail("create", errno);
    created = true;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    int err = errno;
    bool flushed = std::fflush(f) == 0;
    if (flushed) {
#if defined(_WIN32)
        flushed = _commit(_fileno(f)) == 0;
#else
        flushed = fsync(fileno(f)) == 0;
#endif
    }
    if (!flushed)
        err = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed)
        fail("write", err != 0 ? err : EIO);
#if defined(_WIN32)
    if (!MoveFileExW(temp.wstring().c_str(), target.wstring().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail("rename", EACCES);
#else
    if (std::rename(temp.string().c_str(), target.string().c_str()) != 0)
        fail("rename", errno);
#endif
}

}  // namespace qorvix
