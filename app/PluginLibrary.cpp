// Loading the plug-in library: dlopen on Linux, LoadLibrary on Windows.
#include "PluginLibrary.h"

#include <stdexcept>

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

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.c_str());
    if (!handle_)
        throw std::runtime_error("cannot load the plug-in '" + path + "' (error " +
                                 std::to_string(GetLastError()) + ")");
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        throw std::runtime_error("cannot load the plug-in '" + path + "': " + (why ? why : ""));
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
    return (slash == std::string::npos ? std::string() : exe.substr(0, slash + 1)) + "dornel.dll";
#else
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    const size_t slash = exe.find_last_of('/');
    return (slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1)) +
           "libdornel.so";
#endif
}

}  // namespace dornel::app
