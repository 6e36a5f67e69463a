// Running the built host program from tests.
#include "acceptance/AcceptanceSupport.h"

#include <cstdlib>
#include <filesystem>

#include "support/TestSupport.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace dornel::test {

namespace {

/// Runs a shell command whose output goes to the files out and err, and reads them back.
RunResult RunCommand(const std::string& command, const std::string& out, const std::string& err) {
    const int status = std::system(command.c_str());
    RunResult r;
#if defined(_WIN32)
    r.exitCode = status;
#else
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    r.out = ReadBytes(out);
    r.err = ReadBytes(err);
    return r;
}

}  // namespace

RunResult RunDornel(const std::vector<std::string>& args) {
    return RunDornelAfter("", args);
}

RunResult RunDornelAfter(const std::string& shellPrefix, const std::vector<std::string>& args) {
    TempDir dir;
#if defined(_WIN32)
    std::string command = "\"\"" DORNEL_TEST_BIN_DIR "/dornel.exe\"";
#else
    std::string command = "'" DORNEL_TEST_BIN_DIR "/dornel'";
#endif
    for (const std::string& a : args) {
#if defined(_WIN32)
        command += " \"" + a + "\"";
#else
        std::string quoted;
        for (char c : a)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " '" + quoted + "'";
#endif
    }
    const std::string out = dir.Path("out.txt");
    const std::string err = dir.Path("err.txt");
    command += " <\"" + dir.Write("in.txt", "") + "\" >\"" + out + "\" 2>\"" + err + "\"";
#if defined(_WIN32)
    command += "\"";
#endif
    if (!shellPrefix.empty())
        command = shellPrefix + "; " + command;
    return RunCommand(command, out, err);
}

RunResult RunScript(const std::string& dir, const std::string& script) {
    TempDir scratch;
    const std::string file = scratch.Write("script.sh", script);
    const std::string out = scratch.Path("out.txt");
    const std::string err = scratch.Path("err.txt");
    const std::string command = "cd '" + dir +
                                "' && DORNEL='" DORNEL_TEST_BIN_DIR
                                "/dornel' FAULTLIB='" DORNEL_TEST_BIN_DIR
                                "/libdornel_faults.so' bash '" +
                                file + "' </dev/null >'" + out + "' 2>'" + err + "'";
    return RunCommand(command, out, err);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : Lines(text))
        if (line.rfind(prefix, 0) == 0)
            out.push_back(line);
    return out;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

}  // namespace dornel::test
