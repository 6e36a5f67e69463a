// What the code pages' decoders and their whole-text conversions share: which pages this system
// converts, the replacement character, the decoder of UTF-8 and, on POSIX systems, the iconv
// wrapper. Internal to brisko.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Utf8.h"
#include "host/brisko/CodePage.h"

#if !defined(_WIN32)
#include <iconv.h>
#endif

namespace brisko {

[[noreturn]] void ThrowCodePage(uint32_t page);
bool IsDoubleBytePage(uint32_t page);
/// Whether this system converts page, a page that is already resolved (never 0).
bool PageAvailable(uint32_t page);

// Declared here because DecodeCodePage makes one on its stack: it needs nothing made first.
class Utf8Decoder final : public CodePageDecoder {
  protected:
    size_t Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t, size_t& inUsed,
                   bool) override;
};

#if !defined(_WIN32)
/// The name iconv knows page by.
std::string IconvName(uint32_t page);

class Iconv {
  public:
    Iconv(const std::string& to, const std::string& from) {
        cd_ = iconv_open(to.c_str(), from.c_str());
    }
    ~Iconv() {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};
#endif

}  // namespace brisko
