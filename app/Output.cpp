// Checked writes to standard output.
#include "Output.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

namespace dornel::app {

namespace {

[[noreturn]] void Fail(int error) {
#if !defined(_WIN32)
    if (error == EPIPE) {
        // The reader has all it wanted: stop as the signal would have stopped us.
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
#endif
    throw OutputError(error);
}

}  // namespace

OutputError::OutputError(int error)
    : std::runtime_error(std::string("write error: ") + std::strerror(error)), error_(error) {}

void WriteOutput(std::FILE* out, std::string_view text) {
    // Nothing to write may come without a buffer at all.
    if (text.empty())
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), out) != text.size())
        Fail(errno != 0 ? errno : EIO);
}

void FlushOutput(std::FILE* out) {
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out))
        Fail(errno != 0 ? errno : EIO);
}

}  // namespace dornel::app
