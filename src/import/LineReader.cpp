// Line reader and field splitter: fields in delimited and fixed-width mode, qualified sections,
// raw lines, the skipped start rows and the detection of a file's delimiter.
#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "import/FieldReader.h"

namespace dornel {

namespace {

/// Delimiter detection looks at this many lines at the most.
constexpr int kDelimiterSampleLines = 100;

/// Copies the run of ordinary units at the reader's position into the field and returns its
/// new length. The units are taken straight from the decoded block; the run stops one short of
/// a full field, so that the unit that fills it is still read through Getc. Where the units that
/// are not ordinary are few, eight units are compared with all of them at once; otherwise each
/// unit is looked up in the class table.
inline int TakeOrdinaryRun(brisko::CEncodedBufferedFile& in, const FieldReader& reading,
                           char16_t* buf, int length) {
    const char16_t* const p = in.Next();
    const ptrdiff_t room = std::min<ptrdiff_t>(in.Limit() - p, kFieldCapacity - 1 - length);
    char16_t* const out = buf + length;
    ptrdiff_t i = 0;
#if defined(__SSE2__)
    if (reading.Rules().fastPaths && reading.specials.count > 0) {
        const SpecialUnitMatcher match(reading.specials);
        while (i + 8 <= room) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), units);
            const int mask = _mm_movemask_epi8(match.Hits(units));
            if (mask != 0) {
                i += __builtin_ctz(static_cast<unsigned>(mask)) / 2;
                in.Skip(p + i);
                return length + static_cast<int>(i);
            }
            i += 8;
        }
    }
#endif
    const uint8_t* const classes = reading.charClass.data();
    while (i < room && classes[p[i]] == CLASS_ORDINARY) {
        out[i] = p[i];
        ++i;
    }
    in.Skip(p + i);
    return length + static_cast<int>(i);
}

}  // namespace

// The work before and after a field's units, apart from ReadField so that its loop stays small;
// inline there all the same.
inline void FieldReader::EatLeadingSpaces(brisko::CEncodedBufferedFile& in) {
    const uint8_t* const classes = charClass.data();
    // A field that starts with neither a space nor a delimiter after a space has nothing to
    // eat; a look at the next unit in the block saves reading it and putting it back.
    const char16_t* next = in.Next();
    if (next != in.Limit() && *next != u' ' &&
        !(classes[*next] == CLASS_DELIMITER && lastTerminator == u' '))
        return;
    char16_t c = in.Getc();
    while (c == u' ')
        c = in.Getc();
    if (c == kEof)
        return;
    // A delimiter after a space delimiter, with any spaces around it, is one separation.
    if (classes[c] == CLASS_DELIMITER && lastTerminator == u' ') {
        c = in.Getc();
        while (c == u' ')
            c = in.Getc();
    }
    if (c != kEof)
        in.UnGetc(c);
}

inline char16_t FieldReader::ReadPastTerminator(brisko::CEncodedBufferedFile& in, char16_t c) {
    const uint8_t* const classes = charClass.data();
    if (c == kCR) {
        const char16_t next = in.Getc();
        if (next == kLF)
            c = kLF;
        else if (next != kEof)
            in.UnGetc(next);
    }
    if (rules_.skipExtraDelimiters && c != kEof && classes[c] == CLASS_DELIMITER) {
        for (;;) {
            const char16_t next = in.Getc();
            if (next != kEof && classes[next] == CLASS_DELIMITER) {
                c = next;
                continue;
            }
            if (next != kEof)
                in.UnGetc(next);
            break;
        }
    }
    return c;
}

char16_t FieldReader::ReadField() {
    brisko::CEncodedBufferedFile& in = *reader;
    char16_t* const buf = fieldBuffer.data();

    if (rules_.useFixedWidth)
        return ReadFixedWidthField();
    if (rules_.eatWhitespace)
        EatLeadingSpaces(in);

    const uint8_t* const classes = charClass.data();
    char16_t c;
    fieldQuoted = false;
    int length = 0;
    for (;;) {
        length = TakeOrdinaryRun(in, *this, buf, length);
        c = in.Getc();
        if (c == kEof) [[unlikely]]
            break;
        const uint8_t cls = classes[c];
        if (cls == CLASS_ORDINARY) {
            buf[length++] = c;
            if (length >= kFieldCapacity) [[unlikely]]
                break;
        } else if (cls == CLASS_QUALIFIER) {
            // Copies in and out keep length and c out of memory in the loop above.
            int quotedLength = length;
            char16_t last = c;
            const bool goOn = ReadQuotedSection(quotedLength, last);
            length = quotedLength;
            c = last;
            fieldQuoted = true;
            if (!goOn)
                break;
        } else {
            break;
        }
    }
    buf[length] = 0;
    fieldLength = length;

    c = ReadPastTerminator(in, c);
    lastTerminator = c;
    return c;
}

// Fixed-width fields, apart from ReadField so that the delimited path, the common one, stays
// small.
char16_t FieldReader::ReadFixedWidthField() {
    brisko::CEncodedBufferedFile& in = *reader;
    char16_t* const buf = fieldBuffer.data();
    if (rules_.columnBreaks.empty()) {
        rules_.columnBreaks = {0, kNoLimit};
        fixedColumn = 0;
    }
    // A column past the list (a list without its closing entry) runs to the line end.
    const int64_t width =
        fixedColumn + 1 < rules_.columnBreaks.size()
            ? int64_t{rules_.columnBreaks[fixedColumn + 1]} - rules_.columnBreaks[fixedColumn]
            : int64_t{kNoLimit};
    fieldQuoted = false;
    if (width <= 0) [[unlikely]] {
        buf[0] = 0;
        fieldLength = 0;
        fixedColumn = 0;
        return kEof;
    }
    int64_t count = 0;
    char16_t c = 0;
    while (count < width) {
        c = in.Getc();
        // A CR never ends a line here: it is dropped wherever it stands.
        if (c == kCR)
            c = in.Getc();
        if (c == kEof || c == kLF)
            break;
        if (count < kFieldCapacity)
            buf[count] = c;
        ++count;
    }
    fieldLength = static_cast<int>(count < kFieldCapacity ? count : kFieldCapacity);
    buf[fieldLength] = 0;
    if (c != kEof && c != kLF) {
        ++fixedColumn;
        return c;
    }
    fixedColumn = 0;
    return c;
}

bool FieldReader::ReadQuotedSection(int& length, char16_t& c) {
    brisko::CEncodedBufferedFile& in = *reader;
    char16_t* const buf = fieldBuffer.data();
    char16_t opener = c;
    bool inside = true;
    int pending = -1;  // where a tentatively stored closing qualifier stands
    bool goOn = true;

    auto removeAt = [&](int pos) {
        // Usually the closing qualifier is the last unit stored.
        if (pos + 1 < length)
            std::memmove(buf + pos, buf + pos + 1, sizeof(char16_t) * (length - pos - 1));
        --length;
    };
    // Stores c; false when the field is full and reading must stop.
    auto store = [&]() {
        buf[length++] = c;
        goOn = length < kFieldCapacity;
        return goOn;
    };

    const uint8_t* const classes = charClass.data();
    for (;;) {
        if (inside)
            length = TakeOrdinaryRun(in, *this, buf, length);
        c = in.Getc();
        if (c == kEof)
            break;
        const uint8_t cls = classes[c];
        if (cls == CLASS_ORDINARY) {
            if (!store())
                break;
        } else if (cls == CLASS_DELIMITER) {
            // A delimiter inside a qualified section is text.
            if (inside) {
                if (!store())
                    break;
            } else {
                if (pending >= 0)
                    removeAt(pending);
                return false;
            }
        } else if (cls == CLASS_LINE_END) {
            // Only CSV keeps line breaks inside a qualified section.
            if (inside && rules_.kind == KIND_CSV) {
                if (!store())
                    break;
            } else {
                goOn = false;
                break;
            }
        } else if (inside && c == opener) {
            pending = length;
            inside = false;
            if (!store())
                break;
        } else if (inside) {
            // Another qualifier character inside a section is text.
            if (!store())
                break;
        } else if (c == opener) {
            inside = true;
            if (!store())
                break;
        } else {
            if (pending >= 0)
                removeAt(pending);
            pending = -1;
            opener = c;
            inside = true;
        }
    }
    if (!inside && pending >= 0)
        removeAt(pending);
    return goOn;
}

bool FieldReader::ReadRawLine(WString& line) {
    brisko::CEncodedBufferedFile& in = *reader;
    char16_t* const buf = fieldBuffer.data();
    line.clear();
    for (;;) {
        int n = 0;
        char16_t c = 0;
        while (n < kFieldCapacity) {
            c = in.Getc();
            if (c == kCR)
                c = in.Getc();
            if (c == kLF || c == kEof)
                break;
            buf[n++] = c;
        }
        buf[n] = 0;
        line.append(buf, static_cast<size_t>(n));
        if (n == kFieldCapacity)
            continue;
        return c == kLF || !line.empty();
    }
}

bool FieldReader::SkipStartRows() {
    WString line;
    for (int32_t i = 0; i < rules_.startRow; ++i)
        if (!ReadRawLine(line))
            return false;
    return true;
}

void FieldReader::DetectDelimiter() {
    if (rules_.delimiterGiven)
        return;
    // Delimiters are single bytes (the class table is built from 8-bit values), so only the
    // first 256 code units can ever be counted.
    std::array<uint32_t, 256> counts{};
    int64_t bestCount = -1;
    int32_t best = -1;
    int lines = 0;
    for (;;) {
        const char16_t t = ReadField();
        if (t == kEof)
            break;
        if (t == kLF) {
            if (lines == kDelimiterSampleLines)
                break;
            ++lines;
        } else if (t < counts.size() && charClass[t] == CLASS_DELIMITER) {
            if (++counts[t] > bestCount) {
                bestCount = counts[t];
                best = t;
            }
        }
    }
    if (best == u' ') {
        // Spaces pad many files; another delimiter as frequent as the space wins.
        for (int32_t u = 0; u < static_cast<int32_t>(counts.size()); ++u)
            if (u != u' ' && counts[u] == bestCount)
                best = u;
    }
    if (best >= 0 && best != u' ') {
        for (int32_t u = 0; u < static_cast<int32_t>(counts.size()); ++u)
            if (u != best && charClass[u] == CLASS_DELIMITER)
                charClass[u] = CLASS_ORDINARY;
        ListSpecialUnits();
    }
    reader->SeekToBegin();
}

}  // namespace dornel
