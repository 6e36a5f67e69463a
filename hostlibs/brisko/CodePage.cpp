// Code pages: the system page, UTF-8, and 8-bit pages through iconv or the Win32 conversions.
#include "host/brisko/CodePage.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "host/brisko/Exception.h"

#include "AsciiPages.h"
#include "AsciiRuns.h"
#include "Utf8.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace brisko {

namespace {

#if defined(_WIN32)
std::atomic<uint32_t> systemPage{0};
#else
std::atomic<uint32_t> systemPage{kCodePageUtf8};
#endif

constexpr char16_t kReplacement = 0xFFFD;

[[noreturn]] void ThrowCodePage(uint32_t page) {
    throw Exception("brisko", "CodePage", __LINE__, SHARED_ERR_CODEPAGE,
                    "code page " + std::to_string(page) + " cannot be converted on this system");
}

class Utf8Decoder final : public CodePageDecoder {
  public:
    size_t Decode(const uint8_t* in, size_t inSize, char16_t* out, size_t,
                  size_t& inUsed) override {
        size_t i = 0, o = 0;
        while (i < inSize) {
            // Runs of ASCII, the common case of data files, go through in whole words.
            const size_t ascii = WidenAscii(in + i, inSize - i, out + o);
            i += ascii;
            o += ascii;
            if (i >= inSize)
                break;
            const uint8_t b = in[i];
            if (b < 0x80) {
                out[o++] = b;
                ++i;
                continue;
            }
            size_t need;
            uint32_t cp;
            uint32_t min;
            if ((b & 0xE0) == 0xC0) {
                need = 1, cp = b & 0x1F, min = 0x80;
            } else if ((b & 0xF0) == 0xE0) {
                need = 2, cp = b & 0x0F, min = 0x800;
            } else if ((b & 0xF8) == 0xF0) {
                need = 3, cp = b & 0x07, min = 0x10000;
            } else {
                out[o++] = kReplacement;
                ++i;
                continue;
            }
            // A sequence cut by the end of the block waits for the next block, but only when
            // what we have of it is valid so far.
            size_t have = 1;
            bool bad = false;
            while (have <= need && i + have < inSize) {
                if ((in[i + have] & 0xC0) != 0x80) {
                    bad = true;
                    break;
                }
                cp = (cp << 6) | (in[i + have] & 0x3F);
                ++have;
            }
            if (!bad && have <= need) {
                break;  // incomplete at the end of the block
            }
            if (bad || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                out[o++] = kReplacement;
                i += bad ? have : need + 1;
                continue;
            }
            i += need + 1;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out[o++] = static_cast<char16_t>(0xD800 + (cp >> 10));
                out[o++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                out[o++] = cp == 0xFFFF ? kReplacement : static_cast<char16_t>(cp);
            }
        }
        inUsed = i;
        return o;
    }
};

/// Pages of one byte per character decode through a table made once.
class TableDecoder final : public CodePageDecoder {
  public:
    explicit TableDecoder(const std::array<char16_t, 256>& table) : table_(table) {
        asciiKept_ = true;
        for (int b = 0; b < 0x80; ++b)
            asciiKept_ = asciiKept_ && table_[b] == b;
    }
    size_t Decode(const uint8_t* in, size_t inSize, char16_t* out, size_t,
                  size_t& inUsed) override {
        size_t i = 0;
        while (i < inSize) {
            if (asciiKept_)
                i += WidenAscii(in + i, inSize - i, out + i);
            if (i < inSize) {
                out[i] = table_[in[i]];
                ++i;
            }
        }
        inUsed = inSize;
        return inSize;
    }

  private:
    std::array<char16_t, 256> table_;
    bool asciiKept_;  // bytes below 0x80 are their own characters
};

bool IsDoubleBytePage(uint32_t page) {
    return page == 932 || page == 936 || page == 949 || page == 950;
}

#if defined(_WIN32)

bool MakeTable(uint32_t page, std::array<char16_t, 256>& table) {
    for (int b = 0; b < 256; ++b) {
        char c = static_cast<char>(b);
        wchar_t w = 0;
        if (MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, &c, 1, &w, 1) != 1)
            w = b < 0x80 ? static_cast<wchar_t>(b) : kReplacement;
        table[b] = static_cast<char16_t>(w == 0xFFFF ? kReplacement : w);
    }
    return true;
}

class DoubleByteDecoder final : public CodePageDecoder {
  public:
    explicit DoubleByteDecoder(uint32_t page) : page_(page) {}
    size_t Decode(const uint8_t* in, size_t inSize, char16_t* out, size_t,
                  size_t& inUsed) override {
        size_t i = 0, o = 0;
        while (i < inSize) {
            const bool lead = IsDBCSLeadByteEx(page_, in[i]);
            const size_t len = lead ? 2 : 1;
            if (i + len > inSize)
                break;
            wchar_t w[2];
            int n = MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS,
                                        reinterpret_cast<const char*>(in + i),
                                        static_cast<int>(len), w, 2);
            if (n <= 0) {
                out[o++] = kReplacement;
                i += 1;
                continue;
            }
            for (int k = 0; k < n; ++k)
                out[o++] = static_cast<char16_t>(w[k] == 0xFFFF ? kReplacement : w[k]);
            i += len;
        }
        inUsed = i;
        return o;
    }

  private:
    uint32_t page_;
};

bool PageAvailable(uint32_t page) {
    return IsValidCodePage(page) != 0;
}

#else

std::string IconvName(uint32_t page) {
    switch (page) {
        case 936:
            return "GBK";
        case 949:
            return "CP949";
        case 950:
            return "BIG5";
        case 20127:
            return "ASCII";
        case 20866:
            return "KOI8-R";
        case 20932:
            return "EUC-JP";
        case 10007:
            return "MAC-CYRILLIC";
        default:
            // The ISO 8859 pages by their own names.
            if (page >= 28591 && page <= 28599)
                return "ISO-8859-" + std::to_string(page - 28590);
            if (page == 28605)
                return "ISO-8859-15";
            return "CP" + std::to_string(page);
    }
}

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

bool MakeTable(uint32_t page, std::array<char16_t, 256>& table) {
    Iconv cd("UTF-16LE", IconvName(page));
    if (!cd.ok())
        return false;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char outBytes[8];
        char* ip = &in;
        char* op = outBytes;
        size_t il = 1, ol = sizeof outBytes;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd.get(), &ip, &il, &op, &ol) == static_cast<size_t>(-1) || ol != 6) {
            table[b] = kReplacement;
            continue;
        }
        char16_t w = static_cast<char16_t>(static_cast<uint8_t>(outBytes[0]) |
                                           (static_cast<uint8_t>(outBytes[1]) << 8));
        table[b] = w == 0xFFFF ? kReplacement : w;
    }
    return true;
}

class IconvDecoder final : public CodePageDecoder {
  public:
    explicit IconvDecoder(uint32_t page) : cd_("UTF-16LE", IconvName(page)) {
        if (!cd_.ok())
            ThrowCodePage(page);
    }
    size_t Decode(const uint8_t* in, size_t inSize, char16_t* out, size_t outRoom,
                  size_t& inUsed) override {
        char* ip = const_cast<char*>(reinterpret_cast<const char*>(in));
        size_t il = inSize;
        char* op = reinterpret_cast<char*>(out);
        size_t ol = outRoom * 2;
        while (il > 0) {
            size_t r = iconv(cd_.get(), &ip, &il, &op, &ol);
            if (r != static_cast<size_t>(-1))
                break;
            if (errno == EILSEQ) {
                // An invalid byte: one replacement character, then go on after it.
                if (ol < 2)
                    break;
                const char16_t rep = kReplacement;
                std::memcpy(op, &rep, 2);
                op += 2, ol -= 2;
                ++ip, --il;
                iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            break;  // EINVAL: incomplete sequence at the end; E2BIG: no room
        }
        inUsed = inSize - il;
        size_t units = (outRoom * 2 - ol) / 2;
        for (size_t k = 0; k < units; ++k)
            if (out[k] == 0xFFFF)
                out[k] = kReplacement;
        return units;
    }

  private:
    Iconv cd_;
};

bool PageAvailable(uint32_t page) {
    if (page == kCodePageUtf8)
        return true;
    Iconv cd("UTF-16LE", IconvName(page));
    return cd.ok();
}

#endif

}  // namespace

uint32_t GetSystemCodePage() {
#if defined(_WIN32)
    uint32_t page = systemPage.load();
    return page != 0 ? page : GetACP();
#else
    return systemPage.load();
#endif
}

// Whether the system page keeps ASCII, decided once per setting of the page (-1: not yet):
// it is asked for every text a filter hands over.
std::atomic<int> systemKeepsAscii{-1};

void SetSystemCodePage(uint32_t page) {
    if (page != 0 && !IsCodePageAvailable(page))
        ThrowCodePage(page);
    systemPage.store(page);
    systemKeepsAscii.store(-1);
}

bool SystemPageKeepsAscii() {
    int known = systemKeepsAscii.load(std::memory_order_relaxed);
    if (known < 0) {
        known = KeepsAscii(GetSystemCodePage()) ? 1 : 0;
        systemKeepsAscii.store(known, std::memory_order_relaxed);
    }
    return known != 0;
}

bool KeepsAscii(uint32_t page) {
    return page == kCodePageUtf8 || (page >= 1250 && page <= 1258) || page == 874 ||
           page == 28591 || page == 20127 || page == 437 || page == 850 || page == 852 ||
           page == 866 || IsDoubleBytePage(page);
}

uint32_t ResolveCodePage(uint32_t page) {
    return page == 0 ? GetSystemCodePage() : page;
}

bool IsCodePageAvailable(uint32_t page) {
    return PageAvailable(ResolveCodePage(page));
}

std::unique_ptr<CodePageDecoder> CodePageDecoder::Create(uint32_t page) {
    page = ResolveCodePage(page);
    if (page == kCodePageUtf8)
        return std::make_unique<Utf8Decoder>();
#if defined(_WIN32)
    if (IsDoubleBytePage(page)) {
        if (!PageAvailable(page))
            ThrowCodePage(page);
        return std::make_unique<DoubleByteDecoder>(page);
    }
#else
    if (IsDoubleBytePage(page))
        return std::make_unique<IconvDecoder>(page);
#endif
    std::array<char16_t, 256> table;
    if (!PageAvailable(page) || !MakeTable(page, table)) {
#if !defined(_WIN32)
        // Pages that are not one byte per character and not in our list still work through iconv.
        return std::make_unique<IconvDecoder>(page);
#else
        ThrowCodePage(page);
#endif
    }
    return std::make_unique<TableDecoder>(table);
}

size_t EncodeUtf8(const char16_t* text, size_t length, char* out) {
    char* const start = out;
    for (size_t i = 0; i < length; ++i) {
        // Runs of ASCII, the common case, go through eight units at a time.
        const size_t run = NarrowAscii(text + i, length - i, out);
        i += run;
        out += run;
        if (i == length)
            break;
        uint32_t c = text[i];
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return static_cast<size_t>(out - start);
}

namespace {

void AppendUtf8(std::string& out, const char16_t* text, size_t length) {
    const size_t base = out.size();
    out.resize(base + length * kUtf8BytesPerUnit);
    out.resize(base + EncodeUtf8(text, length, out.data() + base));
}

}  // namespace

std::string ToUtf8(const WString& text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text.data(), text.size());
    return out;
}

WString FromUtf8(const std::string& text) {
    return DecodeCodePage(kCodePageUtf8, text.data(), text.size());
}

WString DecodeCodePage(uint32_t page, const char* text, size_t length) {
    // UTF-8 needs no decoder object of its own: it keeps no state between calls.
    static Utf8Decoder utf8;
    std::unique_ptr<CodePageDecoder> made;
    CodePageDecoder* decoder = &utf8;
    if (ResolveCodePage(page) != kCodePageUtf8) {
        made = CodePageDecoder::Create(page);
        decoder = made.get();
    }
    WString out(length + 1, u'\0');
    size_t used = 0;
    size_t n = decoder->Decode(reinterpret_cast<const uint8_t*>(text), length, out.data(),
                               out.size(), used);
    // Whatever is left is an incomplete character at the end.
    for (; used < length; ++used)
        out[n++] = kReplacement;
    out.resize(n);
    return out;
}

std::string EncodeCodePage(uint32_t page, const char16_t* text, size_t length) {
    std::string out;
    AppendEncoded(page, text, length, out);
    return out;
}

void AppendEncoded(uint32_t page, const char16_t* text, size_t length, std::string& out) {
    page = ResolveCodePage(page);
    if (page == kCodePageUtf8) {
        AppendUtf8(out, text, length);
        return;
    }
    if (length == 0)
        return;
    if (KeepsAscii(page)) {
        size_t ascii = 0;
        while (ascii < length && text[ascii] < 0x80)
            ++ascii;
        // Plain ASCII needs no converter: these pages give it its own bytes.
        if (ascii == length) {
            const size_t base = out.size();
            out.resize(base + length);
            for (size_t k = 0; k < length; ++k)
                out[base + k] = static_cast<char>(text[k]);
            return;
        }
    }
    const size_t base = out.size();
#if defined(_WIN32)
    static_assert(sizeof(wchar_t) == 2);
    const wchar_t* w = reinterpret_cast<const wchar_t*>(text);
    int n = WideCharToMultiByte(page, 0, w, static_cast<int>(length), nullptr, 0, "?", nullptr);
    if (n <= 0)
        ThrowCodePage(page);
    out.resize(base + static_cast<size_t>(n));
    WideCharToMultiByte(page, 0, w, static_cast<int>(length), out.data() + base, n, "?", nullptr);
#else
    Iconv cd(IconvName(page), "UTF-16LE");
    if (!cd.ok())
        ThrowCodePage(page);
    out.resize(base + length * 4 + 8);
    char* ip = const_cast<char*>(reinterpret_cast<const char*>(text));
    size_t il = length * 2;
    char* op = out.data() + base;
    size_t ol = out.size() - base;
    while (il > 0) {
        if (iconv(cd.get(), &ip, &il, &op, &ol) != static_cast<size_t>(-1))
            break;
        if (errno == EILSEQ || errno == EINVAL) {
            // A character the page lacks (or a lone surrogate) becomes '?'.
            if (ol < 1)
                break;
            *op++ = '?', --ol;
            size_t skip = 2;
            const char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(ip[0]) |
                                                        (static_cast<uint8_t>(ip[1]) << 8));
            if (unit >= 0xD800 && unit <= 0xDBFF && il >= 4)
                skip = 4;
            ip += skip, il -= skip;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        break;
    }
    out.resize(out.size() - ol);
#endif
}

}  // namespace brisko
