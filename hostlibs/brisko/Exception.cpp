// The shared library's exception and its error texts.
#include "host/brisko/Exception.h"

namespace brisko {

Exception::Exception(const char* module, const char* file, int line, int code,
                     const std::string& message)
    : std::runtime_error(message),
      module_(module ? module : ""),
      file_(file ? file : ""),
      line_(line),
      code_(code),
      codeName_(std::to_string(code)) {}

const char* SharedErrorText(int code) {
    switch (code) {
        case SHARED_ERR_OPEN:
            return "a file could not be opened";
        case SHARED_ERR_READ:
            return "a needed part did not answer or could not be read";
        case SHARED_ERR_WRITE:
            return "a file could not be written";
        case SHARED_ERR_CODEPAGE:
            return "a code page cannot be converted on this system";
        case SHARED_ERR_ARGUMENT:
            return "an argument is out of range";
        default:
            return "an unknown error occurred";
    }
}

void ThrowSharedError(const char* module, const char* file, int line, int code) {
    throw Exception(module, file, line, code, SharedErrorText(code));
}

}  // namespace brisko
