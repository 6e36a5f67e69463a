// Targets that an output closed without replacing, because it received no text.
#pragma once

#include <string>

namespace brisko {

/// The output to path was closed with nothing in it, and the file already there was kept.
void NoteUntouchedTarget(const std::string& path);
/// Whether path was such a target; forgets it either way.
bool TakeUntouchedTarget(const std::string& path);

}  // namespace brisko
