// The shared library's exception, thrown by value by the host libraries and by the plug-in.
#pragma once

#include <stdexcept>
#include <string>

#include "host/HostApi.h"

namespace brisko {

/// A failure reported by a module: which module (the plug-in's key is "dornel"), the source file
/// name and line that raised it, a numeric code whose meaning belongs to the module, and a text
/// for people.
class BRISKO_API Exception : public std::runtime_error {
  public:
    Exception(const char* module, const char* file, int line, int code, const std::string& message);
    const std::string& Module() const { return module_; }
    const std::string& File() const { return file_; }
    int Line() const { return line_; }
    int Code() const { return code_; }
    /// The code's symbolic name where the module has one ("ERR_UNEXPECTED_EOF"), else its number.
    const std::string& CodeName() const { return codeName_; }
    void SetCodeName(const std::string& name) { codeName_ = name; }

  private:
    std::string module_;
    std::string file_;
    int line_;
    int code_;
    std::string codeName_;
};

/// Codes of the shared library's own errors.
enum SharedErrorCode : int {
    SHARED_ERR_OPEN = 1,      ///< a file could not be opened
    SHARED_ERR_READ = 2,      ///< reading failed (also: a needed control did not answer)
    SHARED_ERR_WRITE = 3,     ///< writing failed
    SHARED_ERR_CODEPAGE = 4,  ///< a code page that this system cannot convert
    SHARED_ERR_ARGUMENT = 5,  ///< an argument out of range
};

/// The message of a shared error code.
BRISKO_API const char* SharedErrorText(int code);

/// Throws an Exception with the code's message; never returns.
[[noreturn]] BRISKO_API void ThrowSharedError(const char* module, const char* file, int line,
                                              int code);

}  // namespace brisko
