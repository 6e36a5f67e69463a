// Typed option values and the conversions between their forms.
#include "host/qorvix/OptionValue.h"

#include <charconv>

namespace qorvix {

namespace {

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

}  // namespace

bool SameOptionName(const std::string& a, const std::string& b) {
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

bool OptionValue::operator==(const OptionValue& other) const {
    if (type != other.type)
        return false;
    switch (type) {
        case OptionType::Bool:
            return b == other.b;
        case OptionType::Int:
            return i == other.i;
        case OptionType::UInt:
            return u == other.u;
        case OptionType::Text:
            return text == other.text;
    }
    return false;
}

}  // namespace qorvix
