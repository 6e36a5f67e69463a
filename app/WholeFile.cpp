// Files read or written whole: an input as one memory block, an output as one piece.
#include "WholeFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "host/brisko/File.h"
#include "host/brisko/ReplacementFile.h"

namespace dornel::app {

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

}  // namespace dornel::app
