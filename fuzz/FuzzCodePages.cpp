// Fuzz target: a text written to a file in a code page, in pieces as an export writes its
// fields, reads back whole in that page, also after the reader went back to the beginning;
// texts encoded one by one decode as one text; and any bytes read in blocks read as one text. The
// texts are made of characters each page has, so that nothing becomes a question mark.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/RString.h"

using namespace dornel;

namespace {

struct Page {
    uint32_t number;
    const char32_t* letters;  // beside printable ASCII, tab and line feed
};

// Pages of one byte, of two, those that shift between the two and one that carries bits from
// character to character.
const Page kPages[] = {
    {1252, U"\u00e9\u00fc\u20ac\u00df"},
    {1250, U"\u0142\u0150\u017e\u00e1"},
    {1251, U"\u0416\u0451\u0436\u0410"},
    {1258, U"\u01a1\u01b0\u0111\u00e2"},
    {874, U"\u0e01\u0e02\u0e3f"},
    {20866, U"\u0416\u0436\u2500"},
    {932, U"\u3042\u30a2\u65e5\uff71"},
    {936, U"\u4e2d\u6587\u00b7"},
    {949, U"\ud55c\uad6d\u3131"},
    {950, U"\u4e2d\u6587\u3000"},
    {65000, U"\u3042\u00e9\u4e2d\U0001F600"},
    {50220, U"\u3042\u30a2\u65e5\u3000"},
    {50225, U"\ud55c\uad6d\u3042"},
};

// A piece of up to 40 units: each byte picks a character.
std::u16string Piece(fuzz::FuzzInput& in, const std::u32string& letters) {
    std::u16string piece;
    for (uint32_t n = in.Below(41); n > 0; --n) {
        const uint8_t b = in.Byte();
        if (b < 0x60)
            piece += static_cast<char16_t>(0x20 + b % 0x5F);
        else if (b < 0x68)
            piece += b & 1 ? u'\t' : u'\n';
        else if (const char32_t c = letters[b % letters.size()]; c < 0x10000)
            piece += static_cast<char16_t>(c);
        else
            piece += {static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                      static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
    }
    return piece;
}

// Whether the file reads as exactly text. Read into a plain array and compared as bytes: the
// string operations of a read a unit at a time, traced by the fuzzer's comparisons, took a fifth
// of every input.
bool ReadsAs(brisko::CEncodedBufferedFile& file, const char16_t* text, size_t length) {
    const std::unique_ptr<char16_t[]> read(new char16_t[length + 1]);
    size_t n = 0;
    for (char16_t c; n <= length && (c = file.Getc()) != brisko::kEndOfFile;)
        read[n++] = c;
    return n == length && std::memcmp(read.get(), text, length * sizeof(char16_t)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    // The high bit: any bytes at all, decoded.
    const uint8_t first = in.Byte();
    const Page& page = kPages[(first & 0x7F) % std::size(kPages)];
    const std::u32string letters = page.letters;
    // Smaller blocks put the reader's block edges inside more characters.
    brisko::CEncodedBufferedFile::SetDefaultBlockSize((size_t{4096} >> in.Below(12)) + in.Below(8));
    if (first & 0x80) {
        // Read in blocks, bytes of every kind read as one text does: whatever a block's edge
        // parts, invalid bytes included.
        const std::string bytes = in.Rest();
        const std::string path = fuzz::WriteScratch("bytes.txt", bytes);
        brisko::CEncodedBufferedFile back(brisko::RString(path), "r", 3, brisko::TE_ANSI,
                                          page.number, true, false);
        back.SetReadAhead(false);
        const std::u16string whole =
            brisko::DecodeCodePage(page.number, bytes.data(), bytes.size());
        if (!ReadsAs(back, whole.data(), whole.size()))
            std::abort();
        return 0;
    }
    // The writer encodes what it was given once it holds sixteen thousand units: a text of
    // nearly that many puts the end of its first block among the pieces.
    static const std::u16string kFillers(16 * 1024, u'x');
    const std::u16string_view filler(kFillers.data(), 16 * 1024 - 1 - in.Below(1024));
    // Units read before the reader goes back to the beginning: the blocks decoded so far leave
    // the converter in a state the beginning must not start from.
    const size_t readFirst = size_t{in.Byte()} * 97;
    std::vector<std::u16string> pieces;
    for (uint32_t n = 1 + in.Below(64); n > 0; --n)
        pieces.push_back(Piece(in, letters));

    std::u16string whole;
    std::string bytes;
    for (const std::u16string& piece : pieces) {
        whole += piece;
        bytes += brisko::EncodeCodePage(page.number, piece.data(), piece.size());
    }
    if (brisko::DecodeCodePage(page.number, bytes.data(), bytes.size()) != whole)
        std::abort();
    whole.insert(0, filler);

    // Written piece by piece, and read back with the page imposed.
    const std::string path = fuzz::ScratchPath("pages.txt");
    {
        brisko::CEncodedBufferedFile out(brisko::RString(path), "w", 3, brisko::TE_ANSI,
                                         page.number, false, false);
        out.WriteString(filler.data(), filler.size());
        for (const std::u16string& piece : pieces)
            out.WriteString(piece.data(), piece.size());
        out.Close();
    }
    brisko::CEncodedBufferedFile back(brisko::RString(path), "r", 3, brisko::TE_ANSI, page.number,
                                      true, false);
    // Read on this thread: decoding, not the handing over of blocks, is what is tried here.
    back.SetReadAhead(false);
    for (size_t i = 0; i < readFirst && back.Getc() != brisko::kEndOfFile; ++i) {
    }
    back.SeekToBegin();
    if (!ReadsAs(back, whole.data(), whole.size()))
        std::abort();
    return 0;
}
