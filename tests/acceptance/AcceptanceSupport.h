// Running the built host program from tests and reading its output.
#pragma once

#include <string>
#include <vector>

namespace dornel::test {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// Runs build/bin/dornel with the arguments (each passed as one argument) and waits for it.
RunResult RunDornel(const std::vector<std::string>& args);
/// The same, with a shell command run first in the same shell (such as a ulimit).
RunResult RunDornelAfter(const std::string& shellPrefix, const std::vector<std::string>& args);

/// Runs a bash script with $DORNEL naming build/bin/dornel, in dir as the working folder; the
/// script's own exit status, standard output and standard error. $FAULTLIB names the library that
/// makes chosen calls fail (support/FaultInjection.cpp); kFaulty defines "faulty FAULTS COMMAND…".
RunResult RunScript(const std::string& dir, const std::string& script);
/// A shell function for such scripts: runs a command with the FAULTS given (as DORNEL_FAULTS).
inline constexpr const char* kFaulty =
    "faulty() { LD_PRELOAD=\"$FAULTLIB\" DORNEL_FAULTS=\"$1\" "
    "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" \"${@:2}\"; }\n";

/// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);
/// The lines that begin with a prefix, such as "{\"record\"".
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);
/// How often part occurs in text, such as a warning that must be said once.
size_t Count(const std::string& text, const std::string& part);

}  // namespace dornel::test
