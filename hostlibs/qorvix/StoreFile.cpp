// The option store's file: reading and writing its JSON form, and saving it under its lock.
#include "StoreFile.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/brisko/Exception.h"
#include "host/brisko/File.h"
#include "host/brisko/ReplacementFile.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qorvix {

namespace {

constexpr const char* kFormat = "dornel-options";
constexpr const char* kSource = "StoreFile";

[[noreturn]] void ThrowSave(int line, const std::string& path, const std::string& what, int err) {
    throw brisko::Exception(
        "qorvix", kSource, line, brisko::SHARED_ERR_WRITE,
        "cannot save the option store '" + path + "' (" + what + "): " + std::strerror(err));
}

/// The process that holds an flock on the file open as fd, as "process 123 (name)"; empty where
/// the system does not tell.
std::string LockHolder([[maybe_unused]] int fd) {
#if defined(_WIN32)
    return {};
#else
    struct stat st;
    if (fstat(fd, &st) != 0)
        return {};
    std::ifstream locks("/proc/locks");
    std::string line;
    const std::string inode = ":" + std::to_string(st.st_ino);
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:02:131090 0 EOF"; waiters are marked "->".
        if (line.find("FLOCK") == std::string::npos || line.find("->") != std::string::npos)
            continue;
        std::istringstream in(line);
        std::string id, kind, advisory, mode, pid, where;
        in >> id >> kind >> advisory >> mode >> pid >> where;
        if (where.size() < inode.size() ||
            where.compare(where.size() - inode.size(), inode.size(), inode) != 0)
            continue;
        std::ifstream comm("/proc/" + pid + "/comm");
        std::string name;
        std::getline(comm, name);
        return "process " + pid + (name.empty() ? std::string() : " (" + name + ")");
    }
    return {};
#endif
}

/// The exclusive lock under which a process reads, changes and replaces the store. A lock held
/// elsewhere is waited for, said once after a few seconds, and given up at the timeout.
class StoreLock {
  public:
    explicit StoreLock(const std::string& path) : path_(path) {
#if defined(_WIN32)
        const brisko::WString w = brisko::RString(path).ToWide();
        handle_ =
            CreateFileW(reinterpret_cast<const wchar_t*>(w.c_str()), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            error_ = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
            return;
        }
#else
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
#endif
        Wait();
    }
    ~StoreLock() {
#if defined(_WIN32)
        if (handle_ != INVALID_HANDLE_VALUE) {
            if (error_ == 0) {
                OVERLAPPED whole = {};
                UnlockFileEx(handle_, 0, 1, 0, &whole);
            }
            CloseHandle(handle_);
        }
#else
        if (fd_ >= 0)
            close(fd_);  // closing the last descriptor releases the lock
#endif
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    /// 0 when held, else why not (ETIMEDOUT when another process kept it).
    int Error() const {
        return error_;
    }
    /// Who held the lock when the wait was given up.
    const std::string& Holder() const {
        return holder_;
    }

  private:
    /// One try; false while another process holds the lock.
    bool TryOnce() {
#if defined(_WIN32)
        OVERLAPPED whole = {};
        if (LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &whole))
            return true;
        if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING)
            error_ = EIO;
        return false;
#else
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            error_ = errno;
        return false;
#endif
    }

    int Handle() const {
#if defined(_WIN32)
        return -1;
#else
        return fd_;
#endif
    }

    void Wait() {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        const auto limit = std::chrono::seconds(LockTimeoutSeconds());
        bool said = false;
        auto pause = std::chrono::milliseconds(1);
        while (!TryOnce()) {
            if (error_ != 0)
                return;
            const auto waited = Clock::now() - start;
            if (waited >= limit) {
                holder_ = LockHolder(Handle());
                error_ = ETIMEDOUT;
                return;
            }
            if (!said && waited >= std::chrono::seconds(3)) {
                said = true;
                const std::string holder = LockHolder(Handle());
                std::fprintf(stderr,
                             "dornel: waiting for the option store's lock '%s', held by %s; "
                             "giving up after %d seconds\n",
                             path_.c_str(), holder.empty() ? "another process" : holder.c_str(),
                             LockTimeoutSeconds());
            }
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(100));
        }
    }

    std::string path_;
#if defined(_WIN32)
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
    int error_ = 0;
    std::string holder_;
};

/// One entry of the file; false with why set when it is not a valid one.
bool ReadEntry(const nlohmann::json& entry, StoredOption& option, std::string& why) {
    if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string() ||
        !entry.contains("type") || !entry["type"].is_string() || !entry.contains("value")) {
        why = "an entry lacks its name, type or value";
        return false;
    }
    option.name = entry["name"];
    OptionType type = OptionType::Text;
    if (option.name.empty() || !OptionTypeFromName(entry["type"], type)) {
        why = "the option '" + option.name + "' has an unknown type";
        return false;
    }
    option.scope.clear();
    if (entry.contains("scope")) {
        if (!entry["scope"].is_string()) {
            why = "the scope of '" + option.name + "' is not a text";
            return false;
        }
        option.scope = entry["scope"];
    }
    const auto& v = entry["value"];
    bool ok = false;
    switch (type) {
        case OptionType::Bool:
            ok = v.is_boolean();
            if (ok)
                option.value = OptionValue::Bool(v.get<bool>());
            break;
        case OptionType::Int:
            ok = v.is_number_integer() && v.get<int64_t>() >= INT32_MIN &&
                 v.get<int64_t>() <= INT32_MAX;
            if (ok)
                option.value = OptionValue::Int(static_cast<int32_t>(v.get<int64_t>()));
            break;
        case OptionType::UInt:
            // A negative number would wrap round to a huge one.
            ok = v.is_number_integer() && v.get<int64_t>() >= 0 && v.get<int64_t>() <= UINT32_MAX;
            if (ok)
                option.value = OptionValue::UInt(static_cast<uint32_t>(v.get<int64_t>()));
            break;
        case OptionType::Text:
            ok = v.is_string();
            if (ok)
                option.value = OptionValue::Text(v.get<std::string>());
            break;
    }
    if (!ok)
        why = "the value of '" + option.name + "' is not a " + OptionTypeName(type);
    return ok;
}

std::string StoreText(const StoredOptions& list) {
    nlohmann::json options = nlohmann::json::array();
    for (const StoredOption& option : list) {
        nlohmann::json entry;
        if (!option.scope.empty())
            entry["scope"] = option.scope;
        entry["name"] = option.name;
        entry["type"] = OptionTypeName(option.value.type);
        switch (option.value.type) {
            case OptionType::Bool:
                entry["value"] = option.value.b;
                break;
            case OptionType::Int:
                entry["value"] = option.value.i;
                break;
            case OptionType::UInt:
                entry["value"] = option.value.u;
                break;
            case OptionType::Text:
                entry["value"] = option.value.text;
                break;
        }
        options.push_back(entry);
    }
    nlohmann::json doc;
    doc["format"] = kFormat;
    doc["version"] = 2;
    doc["options"] = options;
    // Invalid UTF-8 in a text value is replaced rather than making the store unsavable.
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

StoredOptions::iterator FindOption(StoredOptions& list, const std::string& scope,
                                   const std::string& name) {
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->scope == scope && SameOptionName(it->name, name))
            return it;
    return list.end();
}

void PutOption(StoredOptions& list, const std::string& scope, const std::string& name,
               const OptionValue& value) {
    auto it = FindOption(list, scope, name);
    if (it != list.end())
        it->value = value;
    else
        list.push_back({scope, name, value});
}

int LockTimeoutSeconds() {
    if (const char* given = std::getenv("DORNEL_LOCK_TIMEOUT"); given && *given) {
        char* end = nullptr;
        const long seconds = std::strtol(given, &end, 10);
        if (*end == '\0' && seconds > 0 && seconds <= 86400)
            return static_cast<int>(seconds);
    }
    return 60;
}

std::string ReadStoreFile(const std::string& path, StoredOptions& list, int& line) {
    list.clear();
    const brisko::RString name(path);
    if (brisko::IsDirectory(name)) {
        line = __LINE__;
        return "the option store '" + path + "' is a directory, not a file";
    }
    std::FILE* f = brisko::OpenFile(name, "rb");
    if (!f) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        line = __LINE__;
        return "cannot read the option store '" + path + "': " + std::strerror(errno);
    }
    std::string content;
    char buffer[16384];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (failed) {
        line = __LINE__;
        return "cannot read the option store '" + path + "': " + std::strerror(err);
    }
    // A store that was created and never written holds nothing.
    if (content.find_first_not_of(" \t\r\n") == std::string::npos)
        return {};
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(content);
    } catch (const nlohmann::json::exception& e) {
        line = __LINE__;
        return "the option store '" + path + "' is not valid JSON (" + e.what() +
               "); repair it or remove it";
    }
    auto corrupt = [&](int at, const std::string& why) {
        line = at;
        list.clear();
        return "the option store '" + path + "' is damaged: " + why + "; repair it or remove it";
    };
    if (!doc.is_object() || doc.value("format", "") != kFormat || !doc.contains("options") ||
        !doc["options"].is_array())
        return corrupt(__LINE__, "it is not a dornel option store");
    for (const auto& entry : doc["options"]) {
        StoredOption option;
        std::string why;
        if (!ReadEntry(entry, option, why))
            return corrupt(__LINE__, why);
        PutOption(list, option.scope, option.name, option.value);
    }
    return {};
}

StoredOptions SaveStoreFile(const std::string& path, const std::vector<StoreWrite>& writes) {
    const brisko::WriteTarget target = brisko::WriteTarget::Resolve(path);
    if (target.directory)
        throw brisko::Exception(
            "qorvix", kSource, __LINE__, brisko::SHARED_ERR_WRITE,
            "cannot save the option store '" + path + "': it is a directory, not a file");
    if (target.exists && (target.readOnly || target.inPlace))
        throw brisko::Exception("qorvix", kSource, __LINE__, brisko::SHARED_ERR_WRITE,
                                "cannot save the option store '" + path +
                                    "': it may not be written (it is read-only); its options "
                                    "stay as they are");
    const std::filesystem::path folder = std::filesystem::u8path(target.path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec)
            ThrowSave(__LINE__, path, "cannot create its folder '" + folder.string() + "'",
                      ec.value());
    }
    const std::string lockPath = target.path + ".lock";
    StoreLock lock(lockPath);
    if (lock.Error() == ETIMEDOUT)
        throw brisko::Exception(
            "qorvix", kSource, __LINE__, brisko::SHARED_ERR_WRITE,
            "cannot save the option store '" + path + "': its lock '" + lockPath +
                "' was still held by " +
                (lock.Holder().empty() ? std::string("another process") : lock.Holder()) +
                " after " + std::to_string(LockTimeoutSeconds()) +
                " seconds; the store was left as it was");
    if (lock.Error() != 0)
        ThrowSave(__LINE__, path, "lock '" + lockPath + "'", lock.Error());
    // What other processes saved meanwhile is kept: only this process's writes change.
    StoredOptions current;
    int line = 0;
    const std::string problem = ReadStoreFile(target.path, current, line);
    if (!problem.empty())
        throw brisko::Exception("qorvix", kSource, line, brisko::SHARED_ERR_READ, problem);
    for (const StoreWrite& write : writes) {
        if (write.value) {
            PutOption(current, write.scope, write.name, *write.value);
        } else if (auto it = FindOption(current, write.scope, write.name); it != current.end()) {
            current.erase(it);
        }
    }
    const std::string text = StoreText(current);
    brisko::ReplacementFile part;
    if (!part.Create(target))
        ThrowSave(__LINE__, path, "create", errno);
    if (std::fwrite(text.data(), 1, text.size(), part.Stream()) != text.size()) {
        const int err = errno != 0 ? errno : EIO;
        part.Discard();
        ThrowSave(__LINE__, path, "write", err);
    }
    if (!part.Commit(true))
        ThrowSave(__LINE__, path, "write", errno != 0 ? errno : EIO);
    return current;
}

}  // namespace qorvix
