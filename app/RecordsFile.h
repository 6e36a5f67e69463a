// Export records read from a JSON Lines file, in the trace's own form.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/qorvix/Records.h"

namespace dornel::app {

/// A record with the arrays it points to.
struct OwnedRecord {
    std::unique_ptr<qorvix::TrBase> record;
    std::vector<unsigned char> coords;
    std::vector<unsigned char> attrs;
};

/// Reads one record per line; empty lines are skipped. Throws std::runtime_error naming the file
/// and the line of anything that is not a record.
std::vector<OwnedRecord> ReadRecordsFile(const std::string& path);
/// One line of such a file.
OwnedRecord ParseRecord(const std::string& line);

}  // namespace dornel::app
