// The option store behind the I/O manager: typed values, saved atomically to a JSON file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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
};

QORVIX_API const char* OptionTypeName(OptionType type);
/// "bool", "int", "uint" or "text"; false for any other name.
QORVIX_API bool OptionTypeFromName(const std::string& name, OptionType& type);
/// Parses text as a value of the type; false when it is not one.
QORVIX_API bool ParseOptionValue(OptionType type, const std::string& text, OptionValue& value);

/// Named options. Names are matched without regard to case and keep the spelling they were
/// first set with. Values of the session and values saved to the file are kept apart: a write
/// with persistent false changes only the session, so it is never saved by a later persistent
/// write of another option. The file holds the saved values in the order first set:
///   {"format":"dornel-options","version":1,"options":[{"name":..,"type":..,"value":..},..]}
class QORVIX_API OptionStore {
  public:
    /// A store that lives in memory only.
    OptionStore() = default;
    /// Loads path when it exists. Throws brisko::Exception when it exists but cannot be read or
    /// is not a store file; the file is then left untouched.
    explicit OptionStore(const std::string& path);

    bool Get(const std::string& name, OptionValue& value) const;
    /// Throws brisko::Exception when a persistent write cannot be saved; the file then keeps its
    /// last good content, while the session has the new value.
    void Set(const std::string& name, const OptionValue& value, bool persistent);
    /// Removes the option from the session and, when persistent, from the file.
    bool Remove(const std::string& name, bool persistent);
    /// The session's options in the order first set.
    const std::vector<std::pair<std::string, OptionValue>>& List() const { return session_; }
    const std::string& Path() const { return path_; }

  private:
    void Save() const;

    std::string path_;
    std::vector<std::pair<std::string, OptionValue>> session_;
    std::vector<std::pair<std::string, OptionValue>> saved_;
};

}  // namespace qorvix
