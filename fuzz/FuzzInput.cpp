// Scratch files of fuzz targets.
#include "FuzzInput.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace dornel::fuzz {

std::string ScratchPath(const char* name) {
    static const std::string dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("dornel-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d.string();
    }();
    return dir + "/" + name;
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
