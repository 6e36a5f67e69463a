// The host framework's filter bases: the slot table shared by every filter, and the throwing
// helpers.
#pragma once

#include <cstdint>
#include <vector>

#include "host/HostApi.h"
#include "host/brisko/RString.h"
#include "host/brisko/TypeInfo.h"
#include "host/qorvix/IoManager.h"
#include "host/qorvix/Records.h"

namespace qorvix {

using brisko::CTypeInfo;
using brisko::RString;

/// Results of an import: 0 done, 1 stopped, 2 cancelled.
enum ImportStatus : int { IMPORT_DONE = 0, IMPORT_STOPPED = 1, IMPORT_CANCELLED = 2 };
/// Results of an export: 0 done, 1 nothing exported, 2 cancelled, 3 capability refused.
enum ExportStatus : int {
    EXPORT_DONE = 0,
    EXPORT_NOTHING = 1,
    EXPORT_CANCELLED = 2,
    EXPORT_CAPABILITY = 3,
};

/// Error codes of filter failures.
enum ErrCode : int {
    ERR_FILE_IO = 1,           ///< the file's data could not be read or written
    ERR_UNEXPECTED_EOF = 2,    ///< the file ended before any data
    ERR_FILE_NO_MEM = 3,       ///< no memory for the file's data
    ERR_MULTIPLE_OBJECTS = 4,  ///< the format holds only one object
    ERR_NOT_BUILT = 5,         ///< the filter does not offer the operation
    ERR_FILE_NOT_OPEN = 15,    ///< the output file is not open
};

/// The symbolic name of a code ("ERR_FILE_IO"), or "ERR_<number>".
QORVIX_API const char* ErrCodeName(int code);
/// The message of a code.
QORVIX_API const char* ErrCodeText(int code);
/// Module key of exceptions that filters raise through the helpers below.
constexpr const char* kFilterErrorModule = "qorvix";

/// Base of every filter. The virtual functions below are the slot table that hosts call:
/// ADD SLOTS ONLY AT THE END. Hosts built against this table rely on each slot's place.
class QORVIX_API IoFilter {
  public:
    explicit IoFilter(IoManager& manager);
    // slot 0: the host destroys the filter; Required.
    virtual ~IoFilter();
    // slot 1: property pages the filter adds to the host's options; Optional (base: none).
    virtual int GetPropertyPages(std::vector<void*>& pages);
    // slot 2: apply a host option string; Required.
    virtual void ApplyStringOptions(const RString& options) = 0;
    // slot 3: the listing of the current options; Required.
    virtual RString GetOptionsString() = 0;
    // slot 4: the separator of option-string entries; Required.
    virtual char GetOptionSeparator() = 0;
    // slot 5: whether the filter takes or makes records of a class; Required.
    virtual bool SupportsType(const CTypeInfo* type) = 0;
    // slot 6: look one entry up in an option string; Required.
    virtual bool GetStringOption(const RString& options, const char* name, RString& value) = 0;

    /// Throws brisko::Exception (module "qorvix", file source, the line, the code, the code's
    /// text and, when given, the printf-style detail); never returns.
    [[noreturn]] void ThrowError(const char* source, int line, ErrCode code,
                                 const char* detail = nullptr, ...) const DORNEL_PRINTF(5, 6);
    [[noreturn]] void Throw_ERR_UNEXPECTED_EOF(const char* source, int line,
                                               const char* path) const;
    [[noreturn]] void Throw_ERR_FILE_NO_MEM(const char* source, int line, const char* path) const;
    [[noreturn]] void Throw_ERR_MULTIPLE_OBJECTS(const char* source, int line,
                                                 const char* path) const;
    /// Asks the user through the manager; returns the answer (6 yes).
    int Warning(WarnStyle style, const char* format, ...) const DORNEL_PRINTF(3, 4);
    void ShowHelp(const char* topic, const char* second) const;

    IoManager& GetManager() const { return m_manager; }

  protected:
    IoManager& m_manager;
};

/// Base of import filters.
class QORVIX_API IoImportFilter : public IoFilter {
  public:
    explicit IoImportFilter(IoManager& manager);
    // slot 7: 0 not this format, 1 this format, 2 readable as plain text; Required.
    virtual int ProbeFile(const RString& path) = 0;
    // slot 8: a summary of the last import; Optional (base: none, false).
    virtual bool GetSummary(RString& summary);
    // slot 9: import a file; Required.
    virtual ImportStatus ImportFile(const RString& path, bool interactive) = 0;
    // slot 10: import a block of bytes. Base: writes the block to a temporary file, calls slot 9
    // on it with the flag as the interactive flag, and removes the file on every way out.
    virtual ImportStatus ImportFromMemory(const void* data, uint32_t size, bool flag);
    // slot 11: hand one record to the host; false when importing must stop.
    virtual bool ImportObject(TrBase& record) const;
};

/// Base of export filters.
class QORVIX_API IoExportFilter : public IoFilter {
  public:
    explicit IoExportFilter(IoManager& manager);
    // slot 7: begin an export to a file; Required.
    virtual ExportStatus BeginExport(const RString& path, bool interactive) = 0;
    // slot 8: begin an export whose bytes go to the host's vector. Base: exports to a temporary
    // file through slot 7; slot 11 moves its bytes into the vector.
    virtual ExportStatus BeginExportToMemory(std::vector<uint8_t>& bytes, bool interactive);
    // slot 9: one record; Required.
    virtual ExportStatus ExportObject(TrBase& record) = 0;
    // slot 10: finish the export; Required.
    virtual ExportStatus EndExport() = 0;
    // slot 11: finish an export begun by slot 8. Base: slot 10, then the temporary file's bytes
    // into the vector, then the file is removed.
    virtual ExportStatus EndExportToMemory();

  private:
    std::vector<uint8_t>* memoryTarget_ = nullptr;
    RString memoryPath_;
};

/// Keeps the manager whose progress display an operation started; when an exception leaves the
/// guard's scope, the display is stopped.
class QORVIX_API CProgress {
  public:
    explicit CProgress(IoManager* manager = nullptr);
    ~CProgress();
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;
    void SetManager(IoManager* manager) { manager_ = manager; }
    IoManager* GetManager() const { return manager_; }
    /// printf-style message line.
    void MessageVA(const char* format, ...) DORNEL_PRINTF(2, 3);

  private:
    IoManager* manager_;
    int exceptionsAtStart_;
};

/// Appends " - name.ext" of the path to a window's caption.
QORVIX_API void AppendFilenameToWindowTitle(HostWindow window, const RString& path);

}  // namespace qorvix
