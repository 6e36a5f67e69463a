// Scratch files of fuzz targets.
#include "FuzzInput.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace dornel::fuzz {

namespace {

/// The targets write and replace a file or two on every input: in memory, that costs a
/// thousandth of what a journalled disk takes to create and flush them.
std::filesystem::path ScratchRoot() {
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return std::filesystem::temp_directory_path();
}

/// The folder goes with the process: a fuzzer that runs for hours must not leave one behind on
/// every run. The host's own temporary files (a memory block imported, an export to memory) go
/// there too.
struct ScratchFolder {
    std::filesystem::path path = ScratchRoot() / ("dornel-fuzz-" + std::to_string(getpid()));
    ScratchFolder() {
        std::filesystem::create_directories(path);
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
};

const ScratchFolder& Folder() {
    static const ScratchFolder folder;
    return folder;
}

// Made as the target loads, before the host makes a temporary file of its own.
[[maybe_unused]] const ScratchFolder& early = Folder();

}  // namespace

std::string ScratchPath(const char* name) {
    return (Folder().path / name).string();
}

std::string WriteScratch(const char* name, const std::string& bytes) {
    const std::string path = ScratchPath(name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

}  // namespace dornel::fuzz
