// Loading the plug-in library: dlopen on Linux, LoadLibrary on Windows.
#include "PluginLibrary.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "host/brisko/File.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

namespace dornel::app {

const char* const kImportFactoryNames[5] = {"ImportCSV", "ImportTXT", "ImportDAT", "ImportBNA",
                                            "ImportBLN"};
const char* const kExportFactoryNames[5] = {"ExportCSV", "ExportTXT", "ExportDAT", "ExportBNA",
                                            "ExportBLN"};

namespace {

/// Why a path that the system would not load is no plug-in, in the user's terms; empty when it
/// looks like a library, and the loader's own reason is the better one.
std::string WhatIsThere(const std::string& path) {
    if (brisko::IsDirectory(brisko::RString(path)))
        return "it is a directory, not a library";
    std::FILE* f = brisko::OpenFile(brisko::RString(path), "rb");
    if (!f)
        return errno == ENOENT ? "there is no such file" : std::string(std::strerror(errno));
    uint8_t head[512];
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
#if defined(_WIN32)
    const bool library = n >= 2 && head[0] == 'M' && head[1] == 'Z';
    const char* kind = "a Windows DLL";
#else
    const bool library = n >= 4 && std::memcmp(head,
                                               "\x7f"
                                               "ELF",
                                               4) == 0;
    const char* kind = "an ELF shared library";
#endif
    if (library)
        return {};
    if (n == 0)
        return std::string("it is an empty file, not ") + kind;
    const bool text = brisko::JudgeTextSample(head, n) != brisko::CONF_BINARY;
    return std::string("it is ") + (text ? "a text file" : "a binary file of another kind") +
           ", not " + kind;
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
    if (!handle_) {
        const DWORD error = GetLastError();
        const std::string what = WhatIsThere(path);
        throw std::runtime_error("cannot load the plug-in '" + path +
                                 "': " + (what.empty() ? "error " + std::to_string(error) : what));
    }
#else
    // A name without a folder would be looked for on the library path, not where the user is.
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        const std::string what = WhatIsThere(path);
        throw std::runtime_error("cannot load the plug-in '" + path +
                                 "': " + (what.empty() ? std::string(why ? why : "") : what));
    }
#endif
}

PluginLibrary::~PluginLibrary() {
#if defined(_WIN32)
    if (handle_)
        FreeLibrary(static_cast<HMODULE>(handle_));
#else
    if (handle_)
        dlclose(handle_);
#endif
}

void* PluginLibrary::Resolve(const char* name) const {
#if defined(_WIN32)
    void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    void* address = dlsym(handle_, name);
#endif
    if (!address)
        throw std::runtime_error("the plug-in '" + path_ + "' lacks the factory " + name);
    return address;
}

ImportFactory PluginLibrary::Import(int kind) const {
    return reinterpret_cast<ImportFactory>(Resolve(kImportFactoryNames[kind]));
}

ExportFactory PluginLibrary::Export(int kind) const {
    return reinterpret_cast<ExportFactory>(Resolve(kExportFactoryNames[kind]));
}

std::string PluginLibrary::DefaultPath() {
#if defined(_WIN32)
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string exe(buffer, n);
    const size_t slash = exe.find_last_of("\\/");
    const std::string folder =
        slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    const char* const name = "dornel.dll";
#else
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    const size_t slash = exe.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    const char* const name = "libdornel.so";
#endif
    // A built program has the plug-in beside it; an installed one in a folder of its own under
    // the library directory, as many folders up and down from its own as the prefix puts it.
    const std::string beside = folder + name;
    const std::string installed =
        std::filesystem::path(folder + DORNEL_PLUGIN_DIR_FROM_PROGRAM + "/" + name)
            .lexically_normal()
            .string();
    const auto exists = [](const std::string& path) {
        return brisko::GetFileSize(brisko::RString(path)) >= 0;
    };
    if (!exists(beside) && exists(installed))
        return installed;
    return beside;
}

}  // namespace dornel::app
