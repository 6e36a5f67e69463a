// What every command of the host program shares: kinds, the manager, the store's place.
#include "Session.h"

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "OptionHelp.h"
#include "host/brisko/File.h"

#if !defined(_WIN32)
#include <pwd.h>
#include <unistd.h>
#endif

namespace dornel::app {

std::string DefaultStorePath() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/dornel/options.json";
#if defined(_WIN32)
    if (const char* appdata = std::getenv("APPDATA"); appdata && *appdata)
        return std::string(appdata) + "\\dornel\\options.json";
#endif
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/dornel/options.json";
#if !defined(_WIN32)
    // Services and containers often run without HOME; the user database may still name one.
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir && *user->pw_dir)
        return std::string(user->pw_dir) + "/.config/dornel/options.json";
#endif
    return {};
}

std::string NoStoreReason() {
#if defined(_WIN32)
    return "neither XDG_CONFIG_HOME, APPDATA nor HOME is set";
#else
    return "neither XDG_CONFIG_HOME nor HOME is set, and the user database names no home folder";
#endif
}

const char* const kKindNames[5] = {"csv", "txt", "dat", "bna", "bln"};
const char* const kFormatKeys[5] = {"csv", "txt", "dat", "bnaw", "blnw"};

int KindFromName(const std::string& name) {
    for (int k = 0; k < 5; ++k)
        if (name == kKindNames[k])
            return k;
    throw UsageError("unknown kind '" + name + "' (csv, txt, dat, bna or bln)");
}

namespace {

/// The kind a path's extension names, -1 for none; ext gets the extension, lower-cased.
int KindOfExtension(const std::string& path, std::string& ext) {
    ext = brisko::CPath(brisko::RString(path)).GetExtension().str();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int k = 0; k < 5; ++k)
        if (ext == std::string(".") + kKindNames[k])
            return k;
    return -1;
}

}  // namespace

int KindFor(const std::string& given, const std::string& path) {
    if (!given.empty())
        return KindFromName(given);
    std::string ext;
    const int kind = KindOfExtension(path, ext);
    return kind >= 0 ? kind : 1;
}

int OutputKindFor(const std::string& given, const std::string& path, int fallback) {
    if (!given.empty())
        return KindFromName(given);
    std::string ext;
    if (const int kind = KindOfExtension(path, ext); kind >= 0)
        return kind;
    if (path == "-" || path.rfind("/dev/", 0) == 0)
        return fallback;
    throw UsageError("cannot tell which kind to write '" + path + "' as from its extension" +
                     (ext.empty() ? std::string() : " '" + ext + "'") +
                     "; name it with --export-kind (csv, txt, dat, bna or bln)");
}

std::string OutputPath(const std::string& given) {
#if defined(_WIN32)
    return given == "-" ? std::string("CON") : given;
#else
    return given == "-" ? std::string("/dev/stdout") : given;
#endif
}

std::unique_ptr<HostManager> MakeManager(const Settings& s, Trace* trace,
                                         const std::string& direction, int kind) {
    if (s.store.empty()) {
        static bool said = false;
        if (!said)
            std::fprintf(stderr,
                         "dornel: warning: there is no option store (%s); options last for "
                         "this run only\n",
                         NoStoreReason().c_str());
        said = true;
    }
    auto manager = std::make_unique<HostManager>(s.store, trace);
    manager->SetOptionScope(qorvix::FilterScope(direction, kKindNames[kind]));
    for (const std::string& entry : s.sets) {
        const size_t eq = entry.find('=');
        if (eq == std::string::npos || eq == 0)
            throw UsageError("--set takes NAME=VALUE, not '" + entry + "'");
        manager->HostSetOption(entry.substr(0, eq), entry.substr(eq + 1));
    }
    manager->SetRefuse(s.refuse);
    manager->SetCancelProgress(s.cancelProgress);
    manager->SetWarningAnswer(s.warningAnswer);
    return manager;
}

namespace {

bool IsEntrySeparator(char c) {
    return c == ' ' || c == ',' || c == '\t';
}

/// The entries of a keyword list, split at spaces, commas and tabs, lower-cased.
std::vector<std::string> KeywordEntries(const std::string& value) {
    std::vector<std::string> entries;
    std::string entry;
    for (const char c : value + ' ') {
        if (!IsEntrySeparator(c)) {
            entry += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!entry.empty()) {
            entries.push_back(entry);
            entry.clear();
        }
    }
    return entries;
}

bool HasLetter(const std::string& text) {
    for (const char c : text)
        if (std::isalpha(static_cast<unsigned char>(c)))
            return true;
    return false;
}

}  // namespace

std::string CharacterOptionProblem(const std::string& lowerName, const std::string& value) {
    if (lowerName == "delimiter") {
        // A value with no keyword in it is taken character by character; letters there are
        // nearly always a keyword mistyped.
        static const char* const kKeywords[] = {"tab", "space", "comma", "semicolon", "equals"};
        std::string lower;
        for (const char c : value)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        bool keyword = false;
        for (const char* k : kKeywords)
            keyword = keyword || lower.find(k) != std::string::npos;
        if (!keyword)
            return HasLetter(value) ? "is no keyword (tab, space, comma, semicolon, equals): each "
                                      "of its characters was taken as a delimiter"
                                    : "";
        for (const std::string& entry : KeywordEntries(value)) {
            bool known = false;
            for (const char* k : kKeywords)
                known = known || entry == k;
            if (!known && entry.size() > 1)
                return "holds '" + entry +
                       "', no keyword (tab, space, comma, semicolon, equals): each of its "
                       "characters was taken as a delimiter";
        }
        return "";
    }
    if (lowerName == "textqualifier") {
        const std::vector<std::string> entries = KeywordEntries(value);
        bool keyword = false;
        for (const std::string& entry : entries)
            keyword =
                keyword || entry == "doublequote" || entry == "singlequote" || entry == "none";
        if (keyword) {
            for (const std::string& entry : entries)
                if (entry != "doublequote" && entry != "singlequote" && entry != "none")
                    return "holds '" + entry +
                           "', no keyword (doublequote, singlequote, none): it was skipped";
        } else if (HasLetter(value)) {
            return "is no keyword (doublequote, singlequote, none): each of its characters was "
                   "taken as a qualifier";
        }
        return "";
    }
    if (lowerName == "decimalsymbol" && value != "." && value != "," && value != "period" &&
        value != "comma")
        return "is none of '.', ',', period and comma; it was taken as it is";
    return "";
}

void WarnUnusedEntries(const std::string& options, const HostManager& manager) {
    std::stringstream in(options);
    std::string entry;
    while (std::getline(in, entry, ';')) {
        const size_t eq = entry.find('=');
        std::string name = entry.substr(0, eq);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.pop_back();
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
            name.erase(name.begin());
        if (name.empty())
            continue;
        if (eq == std::string::npos) {
            std::fprintf(stderr, "dornel: warning: option entry '%s' has no '=' and was ignored\n",
                         entry.c_str());
            continue;
        }
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!manager.LookedUp().count(lower)) {
            std::fprintf(stderr,
                         "dornel: warning: option '%s' is not used by this filter and was "
                         "ignored\n",
                         name.c_str());
            continue;
        }
        std::string direction, kind;
        qorvix::SplitScope(manager.GetOptionScope(), direction, kind);
        if (!OptionTakesEffect(direction, kind, name)) {
            std::fprintf(stderr,
                         "dornel: warning: option '%s' has no effect on a %s %s, whose rules are "
                         "fixed (it takes effect for %s), and was ignored\n",
                         name.c_str(), kind.c_str(), direction.c_str(),
                         KindsOfOption(direction, name).c_str());
            continue;
        }
        const std::string value = entry.substr(eq + 1);
        if (auto it = manager.Unparsed().find(lower); it != manager.Unparsed().end())
            std::fprintf(stderr, "dornel: warning: option '%s=%s' is not %s; it was ignored\n",
                         name.c_str(), value.c_str(),
                         it->second == "bool"  ? "true or false"
                         : it->second == "int" ? "a whole number"
                                               : "a whole number from 0 up");
        else if (const std::string why = CharacterOptionProblem(lower, value); !why.empty())
            std::fprintf(stderr, "dornel: warning: option '%s=%s' %s\n", name.c_str(),
                         value.c_str(), why.c_str());
    }
}

int StatusExit(int status) {
    return status == 0 ? kExitOk : kExitStatus;
}

}  // namespace dornel::app
