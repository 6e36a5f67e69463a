// One typed option value, its text form, and the conversions a read may make.
#pragma once

#include <cstdint>
#include <string>

#include "host/HostApi.h"

namespace qorvix {

enum class OptionType { Bool, Int, UInt, Text };

/// One typed value.
struct QORVIX_API OptionValue {
    OptionType type = OptionType::Text;
    bool b = false;
    int32_t i = 0;
    uint32_t u = 0;
    std::string text;

    static OptionValue Bool(bool v);
    static OptionValue Int(int32_t v);
    static OptionValue UInt(uint32_t v);
    static OptionValue Text(const std::string& v);

    /// The value in text form; bools as "true"/"false".
    std::string ToText() const;
    /// Conversions that lose nothing; false when the value has no such form. Whole numbers
    /// pass between int and unsigned int by their 32-bit pattern.
    bool AsBool(bool& out) const;
    bool AsInt(int32_t& out) const;
    bool AsUInt(uint32_t& out) const;
    /// The same type and the same value.
    bool operator==(const OptionValue& other) const;
};

QORVIX_API const char* OptionTypeName(OptionType type);
/// "bool", "int", "uint" or "text"; false for any other name.
QORVIX_API bool OptionTypeFromName(const std::string& name, OptionType& type);
/// Parses text as a value of the type; false when it is not one.
QORVIX_API bool ParseOptionValue(OptionType type, const std::string& text, OptionValue& value);
/// Option names are matched without regard to ASCII case.
QORVIX_API bool SameOptionName(const std::string& a, const std::string& b);

}  // namespace qorvix
