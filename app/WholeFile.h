// Files read or written whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dornel::app {

/// The bytes of the file at path; throws std::runtime_error naming it when it cannot be read,
/// or when it is larger than a memory block may be (4 GB).
std::vector<char> ReadWholeFile(const std::string& path);
/// Writes data as the file at path (code page 0), the way an export writes its target: through
/// a symbolic link, in place on a device or FIFO, else complete or not at all, keeping an
/// existing file's mode. False with the reason when it could not.
bool WriteWholeFile(const std::string& path, std::string_view data, std::string& why);

}  // namespace dornel::app
