// Code pages: the system page, which pages this system converts, and whole texts to and from
// UTF-16 and UTF-8.
#include "host/brisko/CodePage.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/brisko/Exception.h"

#include "AsciiPages.h"
#include "AsciiRuns.h"
#include "CodePageConversion.h"
#include "Utf8.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace brisko {

namespace {

#if defined(_WIN32)
std::atomic<uint32_t> systemPage{0};
#else
std::atomic<uint32_t> systemPage{kCodePageUtf8};
#endif

}  // namespace

[[noreturn]] void ThrowCodePage(uint32_t page) {
    throw Exception("brisko", "CodePage", __LINE__, SHARED_ERR_CODEPAGE,
                    "code page " + std::to_string(page) + " cannot be converted on this system");
}

bool IsDoubleBytePage(uint32_t page) {
    return page == 932 || page == 936 || page == 949 || page == 950 || page == 1361;
}

#if defined(_WIN32)

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
        case 21866:
            return "KOI8-U";
        case 10000:
            return "MACINTOSH";
        case 28603:
            return "ISO-8859-13";
        case 20932:
        case 51932:
            return "EUC-JP";
        case 54936:
            return "GB18030";
        case 20936:
            return "GB2312";
        case 51949:
            return "EUC-KR";
        case 50220:
        case 50221:
        case 50222:
            return "ISO-2022-JP";
        case 50225:
            return "ISO-2022-KR";
        case 50227:
            return "ISO-2022-CN";
        case 51950:
            return "EUC-TW";
        case 65000:
            return "UTF-7";
        case 10007:
            return "MAC-CYRILLIC";
        case 10017:
            return "MACUKRAINIAN";
        case 10029:
            return "MAC-CENTRALEUROPE";
        case 10079:
            return "MAC-IS";
        case 38598:
            return "ISO-8859-8";
        default:
            // The ISO 8859 pages by their own names.
            // The ISO 8859 pages by their own names; 28600, 28604 and 28606 (parts 10, 14
            // and 16) follow the series, where Windows has no number for them.
            if (page >= 28591 && page <= 28606)
                return "ISO-8859-" + std::to_string(page - 28590);
            return "CP" + std::to_string(page);
    }
}

bool PageAvailable(uint32_t page) {
    if (page == kCodePageUtf8)
        return true;
    // Asked once for each page: detection asks for every page it weighs, and opening a
    // converter loads the system's module for it. The converter that answered stays open for the
    // process: while one converter of a page is open, the system keeps the page's module loaded,
    // and the next one opens in a microsecond, either way. Closed, a module is unloaded once
    // converters of two other pages close, and detection, which weighs one page after another
    // for every file, loaded each module again for every file, a tenth of a millisecond each.
    static std::mutex mutex;
    static std::map<uint32_t, std::unique_ptr<Iconv> > known;  // none where the page is lacking
    std::lock_guard lock(mutex);
    const auto found = known.find(page);
    if (found != known.end())
        return found->second != nullptr;
    auto converter = std::make_unique<Iconv>("UTF-16LE", IconvName(page));
    if (!converter->ok())
        converter.reset();
    return known.emplace(page, std::move(converter)).first->second != nullptr;
}

#endif

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
    Utf8Decoder utf8;
    std::unique_ptr<CodePageDecoder> made;
    CodePageDecoder* decoder = &utf8;
    if (ResolveCodePage(page) != kCodePageUtf8) {
        made = CodePageDecoder::Create(page);
        decoder = made.get();
    }
    WString out(length + 5, u'\0');
    size_t used = 0;
    size_t n = decoder->Decode(reinterpret_cast<const uint8_t*>(text), length, out.data(),
                               out.size(), used, true);
    // Whatever is left is one character cut off by the end, as a reader of a file takes it.
    if (used < length)
        out[n++] = kReplacement;
    out.resize(n);
    return out;
}

#if !defined(_WIN32)
namespace {

/// A converter from UTF-16 to page, in its first state, kept for the thread's next text: texts
/// come one after another to one page (the cells of an import to the system page, the blocks
/// of a file), and opening a converter costs more than converting a short text.
iconv_t EncoderFor(uint32_t page) {
    struct Kept {
        uint32_t page = 0;
        std::unique_ptr<Iconv> cd;
    };
    thread_local Kept kept;
    if (kept.cd && kept.page == page) {
        // Set back, should the last text have been left half converted (out of memory).
        iconv(kept.cd->get(), nullptr, nullptr, nullptr, nullptr);
        return kept.cd->get();
    }
    // Asked first, so that the page's module stays loaded whatever pages come between.
    if (!PageAvailable(page))
        ThrowCodePage(page);
    auto cd = std::make_unique<Iconv>(IconvName(page), "UTF-16LE");
    if (!cd->ok())
        ThrowCodePage(page);
    kept.cd = std::move(cd);
    kept.page = page;
    return kept.cd->get();
}

}  // namespace
#endif

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
    iconv_t cd = EncoderFor(page);
    // The converted text's bytes are out[base, used); the room after them grows as the page
    // needs: one that shifts in and out of two bytes for every other character takes more than
    // four bytes a unit.
    size_t used = base;
    out.resize(base + length * 4 + 16);
    bool full = false;
    const auto convert = [&](char** in, size_t* inLeft) {
        if (full || out.size() - used < 16)
            out.resize(out.size() + length * 2 + 16);
        char* op = out.data() + used;
        size_t ol = out.size() - used;
        const size_t r = iconv(cd, in, inLeft, &op, &ol);
        const int error = r != static_cast<size_t>(-1) ? 0 : errno;
        used = out.size() - ol;
        full = error == E2BIG;
        return error;
    };
    char* ip = const_cast<char*>(reinterpret_cast<const char*>(text));
    size_t il = length * 2;
    const auto unitAt = [&](size_t k) {
        return static_cast<char16_t>(static_cast<uint8_t>(ip[2 * k]) |
                                     (static_cast<uint8_t>(ip[2 * k + 1]) << 8));
    };
    while (il > 0) {
        const int error = convert(&ip, &il);
        if (error == 0 || error == E2BIG)
            continue;
        if (error != EILSEQ && error != EINVAL)
            break;
        // A character the page lacks (or a lone surrogate) becomes '?', written through the
        // converter, so that a page that shifts shifts back for it.
        const bool pair = il >= 4 && unitAt(0) >= 0xD800 && unitAt(0) <= 0xDBFF &&
                          unitAt(1) >= 0xDC00 && unitAt(1) <= 0xDFFF;
        const size_t skip = pair ? 4 : 2;
        ip += skip, il -= skip;
        char16_t question = u'?';
        char* qp = reinterpret_cast<char*>(&question);
        size_t ql = sizeof question;
        while (ql > 0 && convert(&qp, &ql) == E2BIG) {
        }
    }
    // With every unit in, the converter returns to its first state: a page that shifts, or
    // holds bits back, ends the text as a text of its own must, since the next text (the next
    // block of a file) begins from the first state again.
    int error;
    while ((error = convert(nullptr, nullptr)) == E2BIG) {
    }
    if (error != 0 || il > 0)
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(used);
#endif
}

}  // namespace brisko
