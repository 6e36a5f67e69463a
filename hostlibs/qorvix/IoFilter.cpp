// The filter bases: throwing helpers, the base behaviour of memory imports and exports, progress.
#include "host/qorvix/IoFilter.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "host/brisko/Exception.h"
#include "host/brisko/File.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#define DORNEL_GETPID _getpid
#else
#include <unistd.h>
#define DORNEL_GETPID getpid
#endif

namespace qorvix {

namespace {

std::atomic<unsigned> tempCounter{0};

RString TemporaryPath(const char* suffix) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec)
        dir = ".";
    const std::string name = "dornel-" + std::to_string(DORNEL_GETPID()) + "-" +
                             std::to_string(tempCounter.fetch_add(1)) + suffix;
    return RString((dir / name).string());
}

[[noreturn]] void Raise(const char* source, int line, int code, const std::string& message) {
    brisko::Exception e(kFilterErrorModule, source, line, code, message);
    e.SetCodeName(ErrCodeName(code));
    throw e;
}

}  // namespace

const char* ErrCodeName(int code) {
    switch (code) {
        case ERR_FILE_IO:
            return "ERR_FILE_IO";
        case ERR_UNEXPECTED_EOF:
            return "ERR_UNEXPECTED_EOF";
        case ERR_FILE_NO_MEM:
            return "ERR_FILE_NO_MEM";
        case ERR_MULTIPLE_OBJECTS:
            return "ERR_MULTIPLE_OBJECTS";
        case ERR_NOT_BUILT:
            return "ERR_NOT_BUILT";
        case ERR_FILE_NOT_OPEN:
            return "ERR_FILE_NOT_OPEN";
        default:
            return "ERR_UNKNOWN";
    }
}

const char* ErrCodeText(int code) {
    switch (code) {
        case ERR_FILE_IO:
            return "The file's data could not be read or written";
        case ERR_UNEXPECTED_EOF:
            return "The file ended before any data";
        case ERR_FILE_NO_MEM:
            return "Not enough memory for the file's data";
        case ERR_MULTIPLE_OBJECTS:
            return "The file format holds only one object";
        case ERR_NOT_BUILT:
            return "The filter does not offer this operation";
        case ERR_FILE_NOT_OPEN:
            return "The output file is not open";
        default:
            return "The filter failed";
    }
}

IoFilter::IoFilter(IoManager& manager) : m_manager(manager) {}
IoFilter::~IoFilter() = default;

int IoFilter::GetPropertyPages(std::vector<void*>&) {
    return 0;
}

void IoFilter::ThrowError(const char* source, int line, ErrCode code, const char* detail,
                          ...) const {
    std::string message = ErrCodeText(code);
    if (detail) {
        va_list args;
        va_start(args, detail);
        brisko::RString text;
        text.FormatStringV(detail, args);
        va_end(args);
        message += ": ";
        message += text.str();
    }
    Raise(source, line, code, message);
}

void IoFilter::Throw_ERR_UNEXPECTED_EOF(const char* source, int line, const char* path) const {
    Raise(source, line, ERR_UNEXPECTED_EOF,
          std::string("The file '") + (path ? path : "") + "' ended before any data");
}

void IoFilter::Throw_ERR_FILE_NO_MEM(const char* source, int line, const char* path) const {
    Raise(source, line, ERR_FILE_NO_MEM,
          std::string("Not enough memory for the data of '") + (path ? path : "") + "'");
}

void IoFilter::Throw_ERR_MULTIPLE_OBJECTS(const char* source, int line, const char* path) const {
    Raise(source, line, ERR_MULTIPLE_OBJECTS,
          std::string("The file '") + (path ? path : "") +
              "' can hold only one object: a point set must be the only thing exported");
}

int IoFilter::Warning(WarnStyle style, const char* format, ...) const {
    va_list args;
    va_start(args, format);
    brisko::RString text;
    text.FormatStringV(format, args);
    va_end(args);
    return m_manager.Warning(style, text.c_str());
}

void IoFilter::ShowHelp(const char* topic, const char* second) const {
    m_manager.ShowHelp(topic, second);
}

IoImportFilter::IoImportFilter(IoManager& manager) : IoFilter(manager) {}

bool IoImportFilter::GetSummary(RString&) {
    return false;
}

ImportStatus IoImportFilter::ImportFromMemory(const void* data, uint32_t size, bool flag) {
    const RString path = TemporaryPath(".txt");
    std::FILE* f = brisko::OpenFile(path, "wb");
    if (!f)
        ThrowError("IoImportFilter", __LINE__, ERR_FILE_IO, "cannot create '%s'", path.c_str());
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        brisko::RemoveFile(path);
        ThrowError("IoImportFilter", __LINE__, ERR_FILE_IO, "cannot write '%s'", path.c_str());
    }
    struct Remover {
        const RString& path;
        ~Remover() { brisko::RemoveFile(path); }
    } remover{path};
    return ImportFile(path, flag);
}

bool IoImportFilter::ImportObject(TrBase& record) const {
    return m_manager.ImportObject(record);
}

IoExportFilter::IoExportFilter(IoManager& manager) : IoFilter(manager) {}

ExportStatus IoExportFilter::BeginExportToMemory(std::vector<uint8_t>& bytes, bool interactive) {
    memoryTarget_ = &bytes;
    memoryPath_ = TemporaryPath(".out");
    return BeginExport(memoryPath_, interactive);
}

ExportStatus IoExportFilter::EndExportToMemory() {
    struct Remover {
        IoExportFilter& self;
        ~Remover() {
            if (!self.memoryPath_.empty())
                brisko::RemoveFile(self.memoryPath_);
            self.memoryPath_.clear();
            self.memoryTarget_ = nullptr;
        }
    } remover{*this};
    const ExportStatus status = EndExport();
    if (memoryTarget_) {
        memoryTarget_->clear();
        brisko::CFile file(memoryPath_, 1, 3, 1);
        const int64_t length = file.GetLength();
        if (length > 0) {
            memoryTarget_->resize(static_cast<size_t>(length));
            memoryTarget_->resize(file.Read(memoryTarget_->data(), static_cast<uint32_t>(length)));
        }
    }
    return status;
}

CProgress::CProgress(IoManager* manager)
    : manager_(manager), exceptionsAtStart_(std::uncaught_exceptions()) {}

CProgress::~CProgress() {
    // Only an exception passing through ends the display here; ordinary returns stop it themselves.
    if (manager_ && std::uncaught_exceptions() > exceptionsAtStart_)
        manager_->ProgressStop();
}

void CProgress::MessageVA(const char* format, ...) {
    va_list args;
    va_start(args, format);
    brisko::RString text;
    text.FormatStringV(format, args);
    va_end(args);
    if (manager_)
        manager_->ProgressMessage(text.c_str());
}

void AppendFilenameToWindowTitle(HostWindow window, const RString& path) {
#if defined(_WIN32)
    if (!window)
        return;
    HWND hwnd = static_cast<HWND>(window);
    char caption[512];
    const int n = GetWindowTextA(hwnd, caption, sizeof caption);
    std::string title(caption, n > 0 ? static_cast<size_t>(n) : 0);
    title += " - ";
    title += brisko::CPath(path).GetNameAndExtension().str();
    SetWindowTextA(hwnd, title.c_str());
#else
    (void)window;
    (void)path;
#endif
}

}  // namespace qorvix
