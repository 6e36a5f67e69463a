// Deciding a file's encoding from its first bytes.
#include "host/brisko/EncodingDetection.h"

#include <mutex>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/brisko/CodePage.h"
#include "host/brisko/File.h"
#include "host/brisko/RString.h"

#include "AsciiRuns.h"
#include "PagePlausibility.h"

#if defined(DORNEL_HAVE_UCHARDET)
#include <uchardet/uchardet.h>
#endif

namespace brisko {

namespace {

/// Pages the detector names, by the names it uses. Latin-1 is read as windows-1252, which
/// agrees with it on every letter and gives the bytes 80-9F their printable meaning; Latin-9
/// (ISO-8859-15) is read as itself, since its euro sign and eight letters stand where Latin-1
/// has other signs.
struct DetectedPage {
    const char* name;
    uint32_t page;
};
constexpr DetectedPage kDetectedPages[] = {
    {"WINDOWS-1250", 1250}, {"WINDOWS-1251", 1251},
    {"WINDOWS-1252", 1252}, {"WINDOWS-1253", 1253},
    {"WINDOWS-1254", 1254}, {"WINDOWS-1255", 1255},
    {"WINDOWS-1256", 1256}, {"WINDOWS-1257", 1257},
    {"WINDOWS-1258", 1258}, {"ISO-8859-1", 1252},
    {"ISO-8859-15", 28605}, {"ISO-8859-2", 28592},
    {"ISO-8859-5", 28595},  {"ISO-8859-7", 28597},
    {"ISO-8859-9", 1254},   {"KOI8-R", 20866},
    {"IBM866", 866},        {"MAC-CYRILLIC", 10007},
    {"SHIFT_JIS", 932},     {"EUC-JP", 20932},
    {"GB18030", 54936},     {"BIG5", 950},
    {"EUC-KR", 949},        {"TIS-620", 874},
    {"UHC", 949},           {"ISO-8859-13", 28603},
    {"ISO-8859-6", 28596},  {"ISO-8859-3", 28593},
    {"KOI8-U", 21866},      {"IBM852", 852},
    {"ISO-8859-4", 28594},  {"ISO-8859-10", 28600},
    {"ISO-8859-16", 28606}, {"MAC-CENTRALEUROPE", 10029},
    {"EUC-TW", 51950},      {"ISO-2022-JP", 50220},
    {"ISO-2022-KR", 50225}, {"ISO-2022-CN", 50227},
};

#if defined(DORNEL_HAVE_UCHARDET)
/// Central European text is written in windows-1250 or ISO-8859-2, which a detector confuses.
/// Their letters Š Ť Ž š ť ž Ś ś Ź ź stand at different bytes: count which set the text uses.
uint32_t CentralEuropeanPage(const uint8_t* data, size_t size) {
    static constexpr uint8_t kWindowsLetters[] = {0x8A, 0x8C, 0x8D, 0x8E, 0x8F,
                                                  0x9A, 0x9C, 0x9D, 0x9E, 0x9F};
    static constexpr uint8_t kIsoLetters[] = {0xA9, 0xAB, 0xAE, 0xB9, 0xBB,
                                              0xBE, 0xA6, 0xB6, 0xAC, 0xBC};
    size_t windows = 0, iso = 0;
    for (size_t i = 0; i < size; ++i) {
        for (uint8_t b : kWindowsLetters)
            windows += data[i] == b;
        for (uint8_t b : kIsoLetters)
            iso += data[i] == b;
    }
    return iso > windows ? 28592 : 1250;
}
#endif

bool HasIso2022Escape(const uint8_t* data, size_t size) {
    for (const uint8_t* p = data;
         (p = static_cast<const uint8_t*>(std::memchr(p, 0x1B, size - (p - data)))) != nullptr; ++p)
        if (p + 1 < data + size && p[1] == '$')
            return true;
    return false;
}

/// The legacy page a detector sees in 8-bit text, checked against its close relatives; 0 when
/// it has no opinion and no relative of windows-1252 reads better.
uint32_t DetectLegacyPage(const uint8_t* data, size_t size) {
    uint32_t page = 0;
#if defined(DORNEL_HAVE_UCHARDET)
    uchardet_t detector = uchardet_new();
    if (!detector)
        return 0;
    if (uchardet_handle_data(detector, reinterpret_cast<const char*>(data), size) == 0) {
        uchardet_data_end(detector);
        const char* name = uchardet_get_charset(detector);
        for (const DetectedPage& p : kDetectedPages)
            if (name && std::strcmp(name, p.name) == 0 && IsCodePageAvailable(p.page))
                page = p.page;
        if (page == 1250 || page == 28592)
            page = CentralEuropeanPage(data, size);
    }
    uchardet_delete(detector);
#endif
    const uint32_t checked = MostPlausiblePage(page != 0 ? page : 1252, data, size);
    return page == 0 && checked == 1252 ? 0 : checked;
}

// The one observer of the process, changed and called under a lock.
std::mutex observerLock;
ReaderObserver observerFunction = nullptr;
void* observerContext = nullptr;

}  // namespace

void SetReaderObserver(ReaderObserver function, void* context) {
    std::lock_guard<std::mutex> hold(observerLock);
    observerFunction = function;
    observerContext = context;
}

void NotifyReader(const std::string& path, const EncodingDecision& decision, ReaderEvent event) {
    std::lock_guard<std::mutex> hold(observerLock);
    if (observerFunction)
        observerFunction(observerContext, path, decision, event);
}

std::string EncodingDecision::Name() const {
    switch (form) {
        case FORM_UTF8:
            return "UTF-8";
        case FORM_UTF16LE:
            return "UTF-16LE";
        case FORM_UTF16BE:
            return "UTF-16BE";
        case FORM_UTF32LE:
            return "UTF-32LE";
        case FORM_UTF32BE:
            return "UTF-32BE";
        default:
            break;
    }
    const uint32_t page = ResolveCodePage(codePage);
    if (page == kCodePageUtf8)
        return "UTF-8";
    // The Windows pages by their Windows names, the others by the names iconv and the
    // detector know them by.
    static constexpr DetectedPage kNames[] = {
        {"SHIFT_JIS", 932},     {"GBK", 936},
        {"UHC", 949},           {"BIG5", 950},
        {"TIS-620", 874},       {"IBM850", 850},
        {"IBM437", 437},        {"IBM866", 866},
        {"MACINTOSH", 10000},   {"MAC-CYRILLIC", 10007},
        {"KOI8-R", 20866},      {"KOI8-U", 21866},
        {"EUC-JP", 20932},      {"GB18030", 54936},
        {"IBM852", 852},        {"EUC-TW", 51950},
        {"ISO-2022-JP", 50220}, {"ISO-2022-KR", 50225},
        {"ISO-2022-CN", 50227}, {"MAC-CENTRALEUROPE", 10029},
    };
    for (const DetectedPage& p : kNames)
        if (p.page == page)
            return p.name;
    if (page >= 28591 && page <= 28606)
        return "ISO-8859-" + std::to_string(page - 28590);
    return "windows-" + std::to_string(page);
}

bool DecideFileEncoding(const RString& path, EncodingDecision& decision) {
    if (IsDirectory(path))
        return false;
    std::FILE* f = OpenFile(path, "rb");
    if (!f)
        return false;
    std::vector<uint8_t> sample(kDetectionSampleBytes);
    size_t n = std::fread(sample.data(), 1, sample.size(), f);
    bool failed = std::ferror(f) != 0;
    if (!failed)
        decision = DecideEncoding(sample.data(), n, n < sample.size());
    // ASCII so far and more to come: the first bytes beyond ASCII decide, as they do for a reader.
    int64_t base = 0;  // the offset in the file of sample[0]
    while (!failed && decision.why == "ascii" && n == sample.size()) {
        size_t kept = LastLineStart(sample.data(), n);
        if (kept == 0)
            kept = n;
        std::memmove(sample.data(), sample.data() + kept, n - kept);
        base += static_cast<int64_t>(kept);
        n -= kept;
        n += std::fread(sample.data() + n, 1, sample.size() - n, f);
        failed = std::ferror(f) != 0;
        const size_t high = FirstBeyondAscii(sample.data(), n);
        if (high < n) {
            const size_t from = LastLineStart(sample.data(), high);
            decision = DecideByteText(sample.data() + from, n - from, n < sample.size());
            decision.decidedAt = base + static_cast<int64_t>(high);
        }
    }
    std::fclose(f);
    return !failed;
}

Utf8Census CountUtf8(const uint8_t* p, size_t size, bool complete) {
    Utf8Census census;
    size_t i = 0;
    while (i < size) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            i += FirstBeyondAscii(p + i, size - i);
            continue;
        }
        size_t n;
        uint32_t cp;
        if (b >= 0xC2 && b <= 0xDF)
            n = 2, cp = b & 0x1F;
        else if (b >= 0xE0 && b <= 0xEF)
            n = 3, cp = b & 0x0F;
        else if (b >= 0xF0 && b <= 0xF4)
            n = 4, cp = b & 0x07;
        else {
            ++census.invalid, ++i;
            continue;
        }
        size_t k = 1;
        while (k < n && i + k < size && (p[i + k] & 0xC0) == 0x80)
            cp = (cp << 6) | (p[i + k++] & 0x3F);
        if (k < n) {
            // Cut off by the end of the sample: fine unless the sample is the whole file.
            if (i + k == size && !complete)
                ++census.valid;
            else
                ++census.invalid;
            i += k;
            continue;
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            ++census.invalid;
        else
            ++census.valid;
        i += n;
    }
    return census;
}

bool IsValidUtf8(const uint8_t* p, size_t size, bool complete, bool& multiByte) {
    const Utf8Census census = CountUtf8(p, size, complete);
    multiByte = census.valid > 0 && census.invalid == 0;
    return census.invalid == 0;
}

EncodingDecision DecideByteText(const uint8_t* s, size_t n, bool complete) {
    EncodingDecision d;
    d.why = "no mark";
    const Utf8Census census = CountUtf8(s, n, complete);
    if (census.valid > 0 && census.invalid * kMostlyValidUtf8 <= census.valid) {
        d.form = FORM_UTF8;
        return d;
    }
    d.form = FORM_8BIT;
    if (census.valid == 0 && census.invalid == 0) {
        d.why = "ascii";
        // The ISO-2022 pages write Japanese, Korean and Chinese in bytes below 0x80, switched
        // by escapes (ESC $ ...) that plain text never holds.
        if (ResolveCodePage(0) == kCodePageUtf8 && HasIso2022Escape(s, n)) {
            const uint32_t page = DetectLegacyPage(s, n);
            if (page == 50220 || page == 50225 || page == 50227)
                d.codePage = page, d.why = "detected";
        }
        return d;
    }
    if (ResolveCodePage(0) != kCodePageUtf8) {
        d.why = "system page";
        return d;
    }
    // 8-bit text on a system whose page is UTF-8: the bytes cannot be that page.
    d.codePage = DetectLegacyPage(s, n);
    d.why = "detected";
    if (d.codePage == 0) {
        d.codePage = 1252;
        d.why = "guessed";
    }
    return d;
}

EncodingDecision DecideEncoding(const uint8_t* s, size_t n, bool complete) {
    EncodingDecision d;
    auto mark = [&](int form, int bytes) {
        d.form = form;
        d.markBytes = bytes;
        d.why = "mark";
        return d;
    };
    if (n >= 4 && s[0] == 0xFF && s[1] == 0xFE && s[2] == 0 && s[3] == 0)
        return mark(FORM_UTF32LE, 4);
    if (n >= 4 && s[0] == 0 && s[1] == 0 && s[2] == 0xFE && s[3] == 0xFF)
        return mark(FORM_UTF32BE, 4);
    if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF)
        return mark(FORM_UTF8, 3);
    if (n >= 2 && s[0] == 0xFF && s[1] == 0xFE)
        return mark(FORM_UTF16LE, 2);
    if (n >= 2 && s[0] == 0xFE && s[1] == 0xFF)
        return mark(FORM_UTF16BE, 2);
    d.why = "no mark";
    d.form = UnmarkedUnicodeForm(s, n, complete);
    if (d.form != FORM_8BIT)
        return d;
    return DecideByteText(s, n, complete);
}

}  // namespace brisko
