// Writes to standard output that are checked: a view or a trace that could not be written is
// an error, never a success with the output cut short.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace dornel::app {

/// A write that failed (a full disk, a size limit, a closed descriptor), with the system's reason.
class OutputError : public std::runtime_error {
  public:
    explicit OutputError(int error);
    int Error() const { return error_; }

  private:
    int error_;
};

/// Writes all of text or throws OutputError. A reader that went away (a closed pipe, as with
/// "| head") ends the process quietly, as SIGPIPE does.
void WriteOutput(std::FILE* out, std::string_view text);
/// Flushes what is buffered; the same errors as WriteOutput.
void FlushOutput(std::FILE* out);

}  // namespace dornel::app
