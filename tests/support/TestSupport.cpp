// Small helpers shared by the test binaries.
#include "support/TestSupport.h"

#include <atomic>
#include <charconv>
#include <fstream>
#include <sstream>

#include "host/brisko/RString.h"

#if defined(_WIN32)
#include <process.h>
#define DORNEL_TEST_PID _getpid
#else
#include <unistd.h>
#define DORNEL_TEST_PID getpid
#endif

namespace dornel::test {

namespace {
std::atomic<int> counter{0};
}

TempDir::TempDir() {
    // Under Wine every test binary may get the same process id: a folder that is there already
    // belongs to someone else, so a new name is tried until one is free.
    const auto base = std::filesystem::temp_directory_path();
    const std::string stem = "dornel-test-" + std::to_string(DORNEL_TEST_PID()) + "-";
    do {
        dir_ = base / (stem + std::to_string(counter++));
    } while (!std::filesystem::create_directory(dir_));
}

TempDir::~TempDir() {
    std::error_code ec;
    // A test may leave a file read-only, which Windows would not delete.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_, ec))
        if (!entry.is_symlink(ec))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::Path(const std::string& name) const {
    return (dir_ / name).string();
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Describe(const qorvix::TrBase& record) {
    using namespace qorvix;
    const brisko::CTypeInfo* type = record.GetTypeInfo();
    if (type == TrBeginWksImp::GetClassTypeId())
        return "begin";
    if (type == TrEndWksImp::GetClassTypeId())
        return "end";
    if (type == TrCellFmt::GetClassTypeId()) {
        const auto& f = static_cast<const TrCellFmt&>(record);
        return "format " + std::to_string(f.row) + " " + std::to_string(f.col) + " " +
               f.format.str();
    }
    if (type == TrCell::GetClassTypeId()) {
        const auto& c = static_cast<const TrCell&>(record);
        const std::string where = std::to_string(c.row) + " " + std::to_string(c.col);
        if (c.kind == CELL_TEXT)
            return "text " + where + " " + c.text.str();
        if (c.kind == CELL_NUMBER) {
            char buf[64];
            auto r = std::to_chars(buf, buf + sizeof buf, c.number);
            return "number " + where + " " + std::string(buf, r.ptr);
        }
        return "empty " + where;
    }
    return type->GetName();
}

bool RecordingManager::ImportObject(const qorvix::TrBase& record) {
    ++seen_;
    if (refuseAt > 0 && seen_ == refuseAt) {
        records.push_back("refused " + Describe(record));
        return false;
    }
    records.push_back(Describe(record));
    return true;
}

bool RecordingManager::ProgressProportion(double fraction) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "proportion %.6g", fraction);
    events.push_back(buf);
    return !(cancelAt > 0 && ++queries_ == cancelAt);
}

bool RecordingManager::ProgressIndeterminate() {
    events.push_back("indeterminate");
    return !(cancelAt > 0 && ++queries_ == cancelAt);
}

namespace {
std::string Write(const char* name, const std::string& value, bool persistent) {
    return std::string(name) + "=" + value + (persistent ? "" : " (session)");
}
}  // namespace

void RecordingManager::SetOption(const char* name, bool value, bool persistent) {
    writes.push_back(Write(name, value ? "true" : "false", persistent));
    IoManager::SetOption(name, value, persistent);
}

void RecordingManager::SetOption(const char* name, int value, bool persistent) {
    writes.push_back(Write(name, std::to_string(value), persistent));
    IoManager::SetOption(name, value, persistent);
}

void RecordingManager::SetOption(const char* name, unsigned int value, bool persistent) {
    writes.push_back(Write(name, std::to_string(value), persistent));
    IoManager::SetOption(name, value, persistent);
}

void RecordingManager::SetOption(const char* name, const char* value, bool persistent) {
    writes.push_back(Write(name, value, persistent));
    IoManager::SetOption(name, value, persistent);
}

int RecordingManager::Warning(int style, const char* text) {
    events.push_back("warning " + std::to_string(style) + " " + text);
    return warningAnswer;
}

}  // namespace dornel::test
