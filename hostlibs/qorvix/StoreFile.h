// The option store's file: its JSON form, the lock beside it, and a save that merges what other
// processes saved meanwhile.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/qorvix/OptionStore.h"

namespace qorvix {

using StoredOptions = std::vector<StoredOption>;

StoredOptions::iterator FindOption(StoredOptions& list, const std::string& scope,
                                   const std::string& name);
void PutOption(StoredOptions& list, const std::string& scope, const std::string& name,
               const OptionValue& value);

/// A persistent write not saved yet: a value, or none for a removal.
struct StoreWrite {
    std::string scope;
    std::string name;
    std::optional<OptionValue> value;
};

/// Reads the store file at path into list. Empty when the file is usable (a missing one is an
/// empty store), else the reason, with line the source line that found it.
std::string ReadStoreFile(const std::string& path, StoredOptions& list, int& line);

/// Applies writes to the store file at path under its lock, keeping what other processes saved
/// meanwhile, and returns what the file then holds. Throws brisko::Exception naming the store
/// and the real cause when it cannot be saved; the file then keeps its last good content.
StoredOptions SaveStoreFile(const std::string& path, const std::vector<StoreWrite>& writes);

/// How long a save waits for a lock another process holds before it gives up: 60 seconds, or
/// the whole seconds of DORNEL_LOCK_TIMEOUT. After three seconds the wait is said once on
/// standard error, with the process that holds the lock where the system tells it.
int LockTimeoutSeconds();

}  // namespace qorvix
