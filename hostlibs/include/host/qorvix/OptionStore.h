// The option store behind the I/O manager: typed values in scopes, saved atomically to a JSON
// file that several processes share.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/HostApi.h"
#include "host/qorvix/OptionValue.h"

namespace qorvix {

struct StoreWrite;

/// One stored option: the scope it belongs to, its name and value.
struct StoredOption {
    std::string scope;
    std::string name;
    OptionValue value;
};

/// The scope of options that no filter writes: what the host itself sets, and every entry of a
/// store file written before scopes existed.
inline constexpr const char* kSharedScope = "";
/// The scope of one filter, by direction and kind: "import/txt", "export/csv".
QORVIX_API std::string FilterScope(const std::string& direction, const std::string& kind);
/// The direction and kind of a filter's scope; false, both empty, for the shared scope.
QORVIX_API bool SplitScope(const std::string& scope, std::string& direction, std::string& kind);

/// Named options in scopes. Each filter (direction and kind) has a scope of its own, so that an
/// export's Delimiter never changes how an import reads; the shared scope holds what the host
/// itself sets. The manager reads a filter's scope, then the shared one, and writes the filter's.
/// Names are matched without regard to case and keep the spelling they were first set with.
/// Values of the session and values saved to the file are kept apart: a write with persistent
/// false changes only the session, so it is never saved by a later persistent write of another
/// option. The file holds the saved values in the order first set:
///   {"format":"dornel-options","version":2,"options":[{"scope":..,"name":..,"type":..,
///    "value":..},..]}
/// An entry without "scope" belongs to the shared scope; a store written before scopes existed
/// (version 1) is read that way: every filter reads its entries until it saves its own.
///
/// Several processes may share one file. The file is read at the first use, not at
/// construction. A save takes an exclusive lock on "PATH.lock" beside the file (flock, or
/// LockFileEx on Windows), reads the file again under it, applies only the writes of this
/// process since its last save, writes a uniquely named temporary file beside the store, syncs
/// it and renames it over the store: no process loses another's option, and a crash leaves
/// the old store or the new one. A lock that another process holds is waited for, said on
/// standard error after a few seconds, and given up after a minute (StoreFile.h). Between
/// BeginBatch and the outermost EndBatch, persistent writes are collected and go out as one save.
///
/// The file as the user set it up: a symbolic link is written through; a store that may not be
/// written (no permission, or no write bit) is an error, never replaced; a new store gets the
/// mode the umask allows, an existing one keeps its mode. A file of 0 bytes (or only white space)
/// is an empty store. A store that is a directory, unreadable or damaged is left untouched:
/// Load throws, reads after TryLoad find only this session's values, and a save throws.
class QORVIX_API OptionStore {
  public:
    /// A store that lives in memory only.
    OptionStore();
    /// The store file at path, read at the first use.
    explicit OptionStore(const std::string& path);
    ~OptionStore();
    OptionStore(const OptionStore&) = delete;
    OptionStore& operator=(const OptionStore&) = delete;

    /// Reads the file unless done; throws brisko::Exception when it cannot be used.
    void Load();
    /// Reads the file unless done; false when it cannot be used (Problem tells why).
    bool TryLoad();
    /// Why the file cannot be used; empty when it can (or was not read yet).
    const std::string& Problem() const { return problem_; }

    /// The value of the option in exactly this scope.
    bool Get(const std::string& scope, const std::string& name, OptionValue& value);
    /// Throws brisko::Exception when a persistent write cannot be saved; the file then keeps its
    /// last good content, while the session has the new value.
    void Set(const std::string& scope, const std::string& name, const OptionValue& value,
             bool persistent);
    /// Removes the option from the scope in the session and, when persistent, from the file.
    bool Remove(const std::string& scope, const std::string& name, bool persistent);
    /// The session's options of one scope in the order first set.
    std::vector<std::pair<std::string, OptionValue>> List(const std::string& scope);
    /// Every scope's options in the order first set.
    const std::vector<StoredOption>& All();
    const std::string& Path() const { return path_; }
    /// Whether the option's value in this session is the one last read from or saved to the file.
    bool IsSaved(const std::string& scope, const std::string& name);

    void BeginBatch() { ++batch_; }
    /// Ends a batch; the outermost saves what the batch wrote. Throws as Set.
    void EndBatch() {
        // Most batches (a call into a filter per exported cell) write nothing.
        if (batch_ > 0 && --batch_ == 0 && pending_)
            Save();
    }

  private:
    void Save();

    std::string path_;
    bool loaded_ = false;
    std::string problem_;
    int problemLine_ = 0;
    // The session's values, the file's as last read or saved, and the persistent writes not
    // saved yet: kept out of this header, which the host's users include.
    struct Content;
    std::unique_ptr<Content> content_;
    int batch_ = 0;
    // Content holds persistent writes not saved yet: known here, since every batch asks.
    bool pending_ = false;
};

}  // namespace qorvix
