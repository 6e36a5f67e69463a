// The options of an import as fuzzer bytes choose them, for the targets that import.
#pragma once

#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "common/FileKind.h"
#include "host/qorvix/IoManager.h"

namespace dornel::fuzz {

/// Read from the front of the bytes, in this order; the flags' bits: 1 fixed width, 2 eat white
/// space, 4 skip extra delimiters, 8 aggressive conversion, 16 dates, and 32, 64, 128 for the
/// target's own use.
struct ImportChoices {
    explicit ImportChoices(FuzzInput& in);
    /// Sets the options on the manager for the session.
    void Apply(qorvix::IoManager& manager) const;

    FileKind kind;
    uint8_t flags;
    int textType;  // -1 absent, 0, 1, 2
    const char* delimiters;
    const char* qualifiers;
    std::string breaks;
    int startRow;
    int maxRow;
    int maxCol;
};

}  // namespace dornel::fuzz
