// Lookup of one entry in a host option string.
#include "host/tembla/StringOption.h"

#include <cctype>
#include <string>

namespace tembla {

namespace {

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

}  // namespace

bool CommonGetStringOption(const brisko::RString& options, const char* name, char separator,
                           brisko::RString& value) {
    if (!name)
        return false;
    const std::string& s = options.str();
    bool found = false;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(separator, start);
        if (end == std::string::npos)
            end = s.size();
        const std::string entry = s.substr(start, end - start);
        const size_t eq = entry.find('=');
        if (eq != std::string::npos && SameName(Trimmed(entry.substr(0, eq)), name)) {
            value = brisko::RString(entry.substr(eq + 1));
            found = true;
        }
        start = end + 1;
    }
    return found;
}

}  // namespace tembla
