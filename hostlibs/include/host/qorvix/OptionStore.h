// The option store behind the I/O manager: typed values, saved atomically to a JSON file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/HostApi.h"
#include "host/qorvix/IoManager.h"

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
///
/// Several processes may share one file. The file is read at the first use, not at
/// construction. A save takes an exclusive lock on "PATH.lock" beside the file (flock, or
/// LockFileEx on Windows), reads the file again under it, applies only the writes of this
/// process since its last save, writes a uniquely named temporary file beside the store, syncs
/// it and renames it over the store: no process loses another's option, and a crash leaves
/// the old store or the new one. Between BeginBatch and the outermost EndBatch, persistent writes
/// are collected and go out as one save.
///
/// The file as the user set it up: a symbolic link is written through; a store that may not be
/// written (no permission, or no write bit) is an error, never replaced; a new store gets the
/// mode the umask allows, an existing one keeps its mode. A file of 0 bytes (or only white space)
/// is an empty store. A store that is a directory, unreadable or damaged is left untouched:
/// Load throws, reads after TryLoad find only this session's values, and a save throws.
class QORVIX_API OptionStore {
  public:
    /// A store that lives in memory only.
    OptionStore() = default;
    /// The store file at path, read at the first use.
    explicit OptionStore(const std::string& path) : path_(path) {}

    /// Reads the file unless done; throws brisko::Exception when it cannot be used.
    void Load();
    /// Reads the file unless done; false when it cannot be used (Problem tells why).
    bool TryLoad();
    /// Why the file cannot be used; empty when it can (or was not read yet).
    const std::string& Problem() const { return problem_; }

    bool Get(const std::string& name, OptionValue& value);
    /// Throws brisko::Exception when a persistent write cannot be saved; the file then keeps its
    /// last good content, while the session has the new value.
    void Set(const std::string& name, const OptionValue& value, bool persistent);
    /// Removes the option from the session and, when persistent, from the file.
    bool Remove(const std::string& name, bool persistent);
    /// The session's options in the order first set.
    const std::vector<std::pair<std::string, OptionValue>>& List();
    const std::string& Path() const { return path_; }
    /// Whether the option's value in this session is the one last read from or saved to the file.
    bool IsSaved(const std::string& name);

    void BeginBatch() { ++batch_; }
    /// Ends a batch; the outermost saves what the batch wrote. Throws as Set.
    void EndBatch() {
        // Most batches (a call into a filter per exported cell) write nothing.
        if (batch_ > 0 && --batch_ == 0 && !pending_.empty())
            Save();
    }

  private:
    using OptionList = std::vector<std::pair<std::string, OptionValue>>;
    void Save();

    std::string path_;
    bool loaded_ = false;
    std::string problem_;
    int problemLine_ = 0;
    OptionList session_;
    OptionList saved_;
    // Persistent writes not saved yet, in order: a value, or none for a removal.
    std::vector<std::pair<std::string, std::optional<OptionValue>>> pending_;
    int batch_ = 0;
};

}  // namespace qorvix
