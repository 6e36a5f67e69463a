// dornel --version and dornel version.
#include "Version.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "BuildInfo.h"
#include "Output.h"
#include "PluginLibrary.h"

#if !defined(_WIN32)
#include <gnu/libc-version.h>
#include <link.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#endif

namespace dornel::app {

namespace {

#if !defined(_WIN32)
/// The version in the real file name of a loaded shared library ("libuchardet.so.0.0.7" is
/// 0.0.7): the library's own word, where it has no call that tells it. Empty when the library
/// is not loaded.
std::string LoadedLibraryVersion(const char* soname) {
    std::pair<const char*, std::string> search{soname, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<std::pair<const char*, std::string>*>(data);
            const char* name = info->dlpi_name;
            const char* base = name ? std::strrchr(name, '/') : nullptr;
            if (!base || std::strncmp(base + 1, s->first, std::strlen(s->first)) != 0)
                return 0;
            char real[PATH_MAX];
            if (!realpath(name, real))
                return 0;
            const std::string file = std::strrchr(real, '/') + 1;
            const size_t so = file.find(".so.");
            s->second = so == std::string::npos ? "(unknown version)" : file.substr(so + 4);
            return 1;
        },
        &search);
    return search.second;
}
#endif

/// The libraries that convert and detect code pages, with their versions. On Windows the
/// system converts, and there is nothing of ours to name.
std::vector<std::pair<std::string, std::string>> TextLibraries() {
    std::vector<std::pair<std::string, std::string>> found;
#if !defined(_WIN32)
    // iconv is the C library's own.
    found.emplace_back("iconv", std::string("glibc ") + gnu_get_libc_version());
    const std::string uchardet = LoadedLibraryVersion("libuchardet.so");
    if (!uchardet.empty())
        found.emplace_back("uchardet", uchardet);
#endif
    return found;
}

}  // namespace

int RunVersion(const std::string& pluginPath) {
    std::printf("dornel %s (commit %s)\n", DORNEL_VERSION, DORNEL_COMMIT);
    // What was said so far stays said if the plug-in cannot be loaded.
    FlushOutput(stdout);
    const PluginLibrary plugin(pluginPath);
    std::printf("plug-in: %s\n", pluginPath.c_str());
    for (const auto& [name, version] : TextLibraries())
        std::printf("%s: %s\n", name.c_str(), version.c_str());
    return 0;
}

}  // namespace dornel::app
