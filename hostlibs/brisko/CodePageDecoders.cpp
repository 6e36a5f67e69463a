// Streaming decoders from code pages into UTF-16: UTF-8, tables for the pages of one byte per
// character, and the system's converters for the rest.
#include "host/brisko/CodePage.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "AsciiRuns.h"
#include "CodePageConversion.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace brisko {

size_t Utf8Decoder::Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t, size_t& inUsed,
                            bool) {
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
            NoteInvalid(i, 1);
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
            const size_t skipped = bad ? have : need + 1;
            NoteInvalid(i, skipped);
            out[o++] = kReplacement;
            i += skipped;
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

namespace {

/// What building a page's table found.
enum class TableMade { kTable, kMultiByte, kUnavailable };

/// The table of a page of one byte per character: what each byte decodes to.
struct PageTable {
    TableMade made;
    std::array<char16_t, 256> table;
    bool asciiKept;  // bytes below 0x80 are their own characters
};

/// Pages of one byte per character decode through a table made once. The few bytes such a page
/// leaves undefined become U+FFFD uncounted: a test of every byte would cost the common case
/// more than the count is worth, where a broken UTF-8 file is what needs counting. The table
/// outlives the decoder: a decoder is made for every text of a page, and copying or checking the
/// table each time cost more than decoding a short text.
class TableDecoder final : public CodePageDecoder {
  public:
    explicit TableDecoder(const PageTable& page) : table_(page.table), asciiKept_(page.asciiKept) {}
    size_t Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t, size_t& inUsed,
                   bool) override {
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
    const std::array<char16_t, 256>& table_;
    const bool asciiKept_;
};

#if defined(_WIN32)

TableMade MakeTable(uint32_t page, std::array<char16_t, 256>& table) {
    if (!PageAvailable(page))
        return TableMade::kUnavailable;
    for (int b = 0; b < 256; ++b) {
        char c = static_cast<char>(b);
        wchar_t w = 0;
        if (MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, &c, 1, &w, 1) != 1)
            w = b < 0x80 ? static_cast<wchar_t>(b) : kReplacement;
        table[b] = static_cast<char16_t>(w == 0xFFFF ? kReplacement : w);
    }
    return TableMade::kTable;
}

class DoubleByteDecoder final : public CodePageDecoder {
  public:
    explicit DoubleByteDecoder(uint32_t page) : page_(page) {}
    size_t Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t, size_t& inUsed,
                   bool) override {
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
                NoteInvalid(i, 1);
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

/// Pages of characters up to four bytes long (GB18030, EUC-JP), decoded a line at a time: a
/// line feed is never part of a longer character in them, so a block that ends after one
/// ends between characters. A line longer than a block is decoded as it stands.
class LineDecoder final : public CodePageDecoder {
  public:
    explicit LineDecoder(uint32_t page) : page_(page) {}

  protected:
    size_t Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t outRoom, size_t& inUsed,
                   bool last) override {
        size_t take = inSize;
        if (!last) {
            while (take > 0 && in[take - 1] != '\n')
                --take;
            if (take == 0)
                take = inSize;
        }
        inUsed = take;
        if (take == 0)
            return 0;
        const char* bytes = reinterpret_cast<const char*>(in);
        wchar_t* w = reinterpret_cast<wchar_t*>(out);
        int n = MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(take), w,
                                    static_cast<int>(outRoom));
        if (n <= 0) {
            // Some byte is not valid in the page: the converter's own replacements, counted by
            // the bytes the valid text would have needed.
            n = MultiByteToWideChar(page_, 0, bytes, static_cast<int>(take), w,
                                    static_cast<int>(outRoom));
            for (int k = 0; k < n; ++k)
                if (out[k] == kReplacement || out[k] == u'?')
                    NoteInvalid(0, 1);
        }
        for (int k = 0; k < n; ++k)
            if (out[k] == 0xFFFF)
                out[k] = kReplacement;
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

  private:
    uint32_t page_;
};

#else

/// Each byte goes through a converter of its own that is then flushed: some converters hold a
/// letter back until they see whether a combining mark follows, and give it only at the flush.
/// A byte the converter takes as the start of a longer sequence shows a page of several bytes
/// per character, which no table can decode.
TableMade MakeTable(uint32_t page, std::array<char16_t, 256>& table) {
    Iconv cd("UTF-16LE", IconvName(page));
    if (!cd.ok())
        return TableMade::kUnavailable;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char outBytes[16];
        char* ip = &in;
        char* op = outBytes;
        size_t il = 1, ol = sizeof outBytes;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd.get(), &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
            if (errno == EINVAL)
                return TableMade::kMultiByte;
            table[b] = kReplacement;
            continue;
        }
        if (iconv(cd.get(), nullptr, nullptr, &op, &ol) == static_cast<size_t>(-1) ||
            sizeof outBytes - ol != 2) {
            // No character, or more than one unit: not a page a table can hold.
            if (sizeof outBytes - ol > 2)
                return TableMade::kMultiByte;
            table[b] = kReplacement;
            continue;
        }
        const char16_t w = static_cast<char16_t>(static_cast<uint8_t>(outBytes[0]) |
                                                 (static_cast<uint8_t>(outBytes[1]) << 8));
        table[b] = w == 0xFFFF ? kReplacement : w;
    }
    return TableMade::kTable;
}

class IconvDecoder final : public CodePageDecoder {
  public:
    /// composing: the converter joins a letter and the marks after it, and holds the letter back
    /// until it sees what follows.
    IconvDecoder(uint32_t page, bool composing)
        : cd_("UTF-16LE", AvailableName(page)), composing_(composing) {
        if (!cd_.ok())
            ThrowCodePage(page);
    }

    void Restart() override { iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr); }

  protected:
    size_t Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t outRoom, size_t& inUsed,
                   bool last) override {
        size_t take = inSize;
        // A letter at the end of a block may take a mark from the next: the block ends before
        // it, and the next begins with it. A mark ends a block where it stands, after its
        // letter; so does any other byte.
        if (composing_ && !last && inSize > 1) {
            const uint8_t b = in[inSize - 1];
            if ((b >= 0x80 || std::isalpha(b)) && !IsToneMark(b))
                take = inSize - 1;
        }
        char* ip = const_cast<char*>(reinterpret_cast<const char*>(in));
        size_t il = take;
        char* op = reinterpret_cast<char*>(out);
        size_t ol = outRoom * 2;
        while (il > 0) {
            size_t r = iconv(cd_.get(), &ip, &il, &op, &ol);
            if (r != static_cast<size_t>(-1))
                break;
            if (errno == EILSEQ) {
                // An invalid byte: one replacement character, then go on after it. A letter the
                // converter holds back for its marks comes out before it; a shift state stays,
                // so that what follows the byte is read in the mode it was written in.
                if (composing_)
                    iconv(cd_.get(), nullptr, nullptr, &op, &ol);
                if (ol < 2)
                    break;
                NoteInvalid(take - il, 1);
                const char16_t rep = kReplacement;
                std::memcpy(op, &rep, 2);
                op += 2, ol -= 2;
                ++ip, --il;
                continue;
            }
            break;  // EINVAL: incomplete sequence at the end; E2BIG: no room
        }
        // What the converter holds back comes out now: nothing it holds outlives a block.
        if (composing_ || last)
            iconv(cd_.get(), nullptr, nullptr, &op, &ol);
        inUsed = take - il;
        const size_t units = (outRoom * 2 - ol) / 2;
        for (size_t k = 0; k < units; ++k)
            if (out[k] == 0xFFFF)
                out[k] = kReplacement;
        return units;
    }

  private:
    // The Vietnamese page's combining tone marks: grave, hook above, tilde, acute, dot below.
    static bool IsToneMark(uint8_t b) {
        return b == 0xCC || b == 0xD2 || b == 0xDE || b == 0xEC || b == 0xF2;
    }
    // Asked first, so that the page's module stays loaded from one decoder to the next.
    static std::string AvailableName(uint32_t page) {
        if (!PageAvailable(page))
            ThrowCodePage(page);
        return IconvName(page);
    }
    Iconv cd_;
    bool composing_;
};

/// UTF-7 through the system's converter, to UTF-32 and narrowed here. Its bits may make a low
/// surrogate with no high one before it, which only a step to UTF-16 refuses; the converter then
/// runs the text again to find where, and may name a byte before it, so that a text read in
/// blocks and the same text read whole came apart. Converted to UTF-32, such a unit comes out,
/// becomes one replacement, and the bits after it go on. One byte a call puts every character,
/// and every byte the converter refuses, at the byte that completed it. That reads about 20 MB
/// a second, a third of the speed of whole blocks, for a page that is seldom met.
class Utf7Decoder final : public CodePageDecoder {
  public:
    Utf7Decoder() : cd_("UCS-4LE", IconvName(65000)) {
        if (!cd_.ok())
            ThrowCodePage(65000);
    }

    void Restart() override { iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr); }

  protected:
    size_t Convert(const uint8_t* in, size_t inSize, char16_t* out, size_t outRoom, size_t& inUsed,
                   bool last) override {
        size_t i = 0, o = 0;
        size_t take = 1;  // more when the converter waits for the rest of a sequence
        // A unit takes a byte at least, so that a call of take bytes writes take + 1 units at
        // most: the room a caller gives, one more than its bytes, is never short.
        while (i + take <= inSize && o + take + 1 <= outRoom) {
            char* ip = const_cast<char*>(reinterpret_cast<const char*>(in + i));
            size_t il = take;
            char32_t c;
            char* op = reinterpret_cast<char*>(&c);
            size_t ol = sizeof c;
            const size_t r = iconv(cd_.get(), &ip, &il, &op, &ol);
            const int error = r == static_cast<size_t>(-1) ? errno : 0;
            const size_t at = i + take - 1;
            i += take - il;
            if (error == EINVAL && il == take) {
                ++take;
                continue;
            }
            take = 1;
            if (ol == 0)
                o += Narrow(c, out + o, at);
            if (error == EILSEQ) {
                // One replacement, then on after the byte; a shift state stays, so that what
                // follows is read in the mode it was written in.
                NoteInvalid(i, 1);
                out[o++] = kReplacement;
                ++i;
            }
        }
        if (last)
            iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr);
        inUsed = i;
        return o;
    }

  private:
    size_t Narrow(char32_t c, char16_t* out, size_t at) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            out[0] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out[1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            return 2;
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            NoteInvalid(at, 1);
            c = kReplacement;
        }
        out[0] = c == 0xFFFF ? kReplacement : static_cast<char16_t>(c);
        return 1;
    }

    Iconv cd_;
};

#endif

/// A page's table, made once for the process: detection decodes a sample with each page it
/// weighs for every file it cannot place at once, and making a table asks the system's converter
/// once for each of the 256 bytes, which costs a hundred times the decoding of a short sample.
const PageTable& CachedTable(uint32_t page) {
    static std::mutex mutex;
    // Never emptied: a process meets a handful of pages, and the tables are handed out by
    // reference.
    static std::map<uint32_t, std::unique_ptr<PageTable>> tables;
    std::lock_guard lock(mutex);
    std::unique_ptr<PageTable>& slot = tables[page];
    if (!slot) {
        slot = std::make_unique<PageTable>();
        slot->made = MakeTable(page, slot->table);
        slot->asciiKept = true;
        for (int b = 0; b < 0x80; ++b)
            slot->asciiKept = slot->asciiKept && slot->table[b] == b;
    }
    return *slot;
}

}  // namespace

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
    CPINFO info;
    if (PageAvailable(page) && GetCPInfo(page, &info) && info.MaxCharSize > 1)
        return std::make_unique<LineDecoder>(page);
#else
    if (IsDoubleBytePage(page))
        return std::make_unique<IconvDecoder>(page, false);
    if (page == 65000)
        return std::make_unique<Utf7Decoder>();
    if (page == 1258)
        return std::make_unique<IconvDecoder>(page, true);
#endif
    const PageTable& made = CachedTable(page);
    switch (made.made) {
        case TableMade::kUnavailable:
            ThrowCodePage(page);
        case TableMade::kMultiByte:
#if defined(_WIN32)
            break;  // a table is made only of pages of one byte per character
#else
            return std::make_unique<IconvDecoder>(page, false);
#endif
        case TableMade::kTable:
            break;
    }
    return std::make_unique<TableDecoder>(made);
}

}  // namespace brisko
