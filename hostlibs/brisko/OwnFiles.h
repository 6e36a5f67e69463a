// What the files and folders of our own beside targets and in temporary folders share: paths in
// the system's form, the pattern of their names, and the hold that marks one as live (see
// Leftovers in host/brisko/ReplacementFile.h). Internal to brisko.
#pragma once

#include <string>

#if defined(_WIN32)
#include "host/brisko/RString.h"
#endif

namespace brisko {

#if defined(_WIN32)
inline std::wstring Wide(const std::string& path) {
    const WString w = RString(path).ToWide();
    return std::wstring(w.begin(), w.end());
}

inline std::string Narrow(const wchar_t* text) {
    RString r;
    r.FromWide(reinterpret_cast<const char16_t*>(text));
    return r.str();
}
#endif

inline std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

inline std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// What scratch folders are named before their random part.
constexpr const char* kScratchName = "dornel";

/// Whether name is prefix, eight characters such as RandomPart makes, and suffix.
bool IsOurName(const std::string& name, const std::string& prefix, const std::string& suffix);

#if !defined(_WIN32)
/// Takes the lock of a file or folder this process has just made at path, and checks that path
/// still names it: a cleaner may have taken it for a dead writer's between the making and the
/// lock, and then removes it or has removed it. False when it is lost so; the caller closes fd
/// and makes another.
bool HoldNew(int fd, const std::string& path);
#endif

}  // namespace brisko
