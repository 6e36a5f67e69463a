// Helpers of the host program's commands.
#include "Session.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "InputFile.h"
#include "host/brisko/ReplacementFile.h"
#include "host/brisko/File.h"

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
    return "dornel-options.json";
}

const char* const kKindNames[5] = {"csv", "txt", "dat", "bna", "bln"};
const char* const kFormatKeys[5] = {"csv", "txt", "dat", "bnaw", "blnw"};

int KindFromName(const std::string& name) {
    for (int k = 0; k < 5; ++k)
        if (name == kKindNames[k])
            return k;
    throw UsageError("unknown kind '" + name + "' (csv, txt, dat, bna or bln)");
}

int KindFor(const std::string& given, const std::string& path) {
    if (!given.empty())
        return KindFromName(given);
    std::string ext = brisko::CPath(brisko::RString(path)).GetExtension().str();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int k = 0; k < 5; ++k)
        if (ext == std::string(".") + kKindNames[k])
            return k;
    return 1;
}

std::unique_ptr<HostManager> MakeManager(const Settings& s, Trace* trace) {
    auto manager = std::make_unique<HostManager>(s.store, trace);
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
        if (!manager.LookedUp().count(lower))
            std::fprintf(stderr,
                         "dornel: warning: option '%s' is not used by this filter and was "
                         "ignored\n",
                         name.c_str());
    }
}

std::vector<char> ReadWholeFile(const std::string& path) {
    if (brisko::IsDirectory(brisko::RString(path)))
        throw std::runtime_error("cannot read '" + path + "': it is a directory");
    std::FILE* f = brisko::OpenFile(brisko::RString(path), "rb");
    if (!f)
        throw std::runtime_error("cannot read '" + path + "': " + std::strerror(errno));
    std::vector<char> data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        throw std::runtime_error("cannot read '" + path + "'");
    if (data.size() > UINT32_MAX)
        throw std::runtime_error("'" + path + "' is too large for a memory block (4 GB at most)");
    return data;
}

brisko::Exception RenamedInput(const brisko::Exception& error, const InputFile& input) {
    brisko::Exception renamed(error.Module().c_str(), error.File().c_str(), error.Line(),
                              error.Code(), input.Describe(error.what()));
    renamed.SetCodeName(error.CodeName());
    return renamed;
}

bool WriteWholeFile(const std::string& path, std::string_view data, std::string& why) {
    const brisko::WriteTarget target = brisko::WriteTarget::Resolve(path);
    if (target.directory) {
        why = std::strerror(EISDIR);
        return false;
    }
    if (target.exists && target.readOnly) {
        why = std::strerror(EACCES);
        return false;
    }
    if (target.inPlace) {
        std::FILE* f = brisko::OpenFile(brisko::RString(target.path), "wb");
        bool ok = f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
        int err = errno;
        if (f && std::fclose(f) != 0 && ok)
            ok = false, err = errno;
        if (!ok)
            why = std::strerror(err);
        return ok;
    }
    brisko::ReplacementFile part;
    bool ok = part.Create(target) &&
              std::fwrite(data.data(), 1, data.size(), part.Stream()) == data.size();
    ok = ok && part.Commit(false);
    if (!ok)
        why = std::strerror(errno != 0 ? errno : EIO);
    return ok;
}

int StatusExit(int status) {
    return status == 0 ? kExitOk : kExitStatus;
}

}  // namespace dornel::app
