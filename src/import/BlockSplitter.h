// Simple fields split from a mask of the special units in 64 units of the decoded block.
#pragma once

#include <bit>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "import/FieldReader.h"

namespace dornel {

/// Finds where delimited fields end from a mask of the special units (delimiters, qualifiers,
/// line ends) in 64 units of the reader's decoded block, made once for all the fields in them:
/// looking for each field's end on its own compared the same units again for every field.
///
/// It takes only simple fields, all within the block and within 64 units of where its mask
/// begins: ordinary units up to a delimiter or a line end, or one quoted section and nothing
/// else. Anything else (a qualifier within the field, a doubled one, a line end inside quotes,
/// a field that runs on past the mask, spaces to eat, a CR at the block's end) it leaves unread
/// for ReadField, which reads it as always. What it takes, it takes as ReadField would: the field's
/// units and a terminating zero in the field buffer, the terminator (CR LF as one LF), the
/// reading's last terminator, and the reader's position after it.
///
/// The mask holds while the reader stays in its block; after ReadField, Resync.
class BlockSplitter {
  public:
    explicit BlockSplitter(FieldReader& reading)
        : reading_(reading),
          in_(*reading.reader),
          classes_(reading.charClass.data()),
          match_(reading.specials) {
        const ReadingRules& rules = reading.Rules();
        eatWhitespace_ = rules.eatWhitespace;
#if defined(__SSE2__)
        active_ = rules.fastPaths && !rules.useFixedWidth && !rules.skipExtraDelimiters &&
                  reading.specials.count > 0;
#endif
        Resync();
    }

    /// Reads the next field into the reading's field buffer and gives its terminator, its
    /// length and whether it was quoted, as the reading's members also do; false, with nothing
    /// read, when the field is not simple. Throws nothing.
    [[gnu::always_inline]] bool Next(char16_t& terminator, int& fieldLength, bool& fieldQuoted) {
        const char16_t* text;
        if (!Find(terminator, text, fieldLength, fieldQuoted))
            return false;
        Copy(text, fieldLength, fieldQuoted);
        Sync();
        return true;
    }

    /// Finds the next field and gives where its units lie in the decoded block, unread: the
    /// terminator, the text, its length and whether it was quoted; false, with nothing taken,
    /// when the field is not simple. The field buffer, the reading's members and the reader's
    /// position stay as they were until Copy and Sync: a caller that needs only the units
    /// spares itself both. Inline in the reading loop, where the mask and what it gives stay
    /// in registers; MaskAt makes the mask once for many fields. Throws nothing.
    [[gnu::always_inline]] bool Find(char16_t& terminator, const char16_t*& fieldText,
                                     int& fieldLength, bool& fieldQuoted) {
        if (!active_)
            return false;
        const char16_t* const p = at_;
        const auto offset = static_cast<uint64_t>(p - window_);
        uint64_t bits = offset < 64 ? mask_ >> offset : 0;
        if (bits == 0) {
            // The field runs past the mask, or the mask is behind it: a new one from here.
            if (limit_ - p < 64)
                return false;
            window_ = p;
            mask_ = MaskAt(p);
            bits = mask_;
            if (bits == 0)
                return false;
        }
        // Spaces to eat at the field's start are ReadField's.
        if (eatWhitespace_ &&
            (*p == u' ' || (classes_[*p] == CLASS_DELIMITER && lastTerminator_ == u' ')))
            return false;
        int length = std::countr_zero(bits);
        const char16_t* text = p;
        char16_t t = p[length];
        const bool quoted = classes_[t] == CLASS_QUALIFIER;
        if (quoted) {
            if (length != 0 || !QuotedField(p, bits, length, t))
                return false;
            text = p + 1;
        }
        // Past the terminator, and past the closing qualifier of a quoted field.
        const char16_t* after = text + length + (quoted ? 2 : 1);
        if (t == kCR) {
            // A CR followed by an LF ends the line once; what follows must be in the block. (No
            // decoded unit reads as the end of the file: the decoders replace that unit.)
            if (after == limit_)
                return false;
            if (*after == kLF) {
                t = kLF;
                ++after;
            }
        }
        at_ = after;
        lastTerminator_ = t;
        terminator = t;
        fieldText = text;
        fieldLength = length;
        fieldQuoted = quoted;
        return true;
    }

    /// Puts the field Find gave into the field buffer and the reading's members, as ReadField
    /// leaves them.
    void Copy(const char16_t* text, int length, bool quoted) {
        CopyField(text, length);
        reading_.fieldLength = length;
        reading_.fieldQuoted = quoted;
    }

    /// Hands the reading back what the fields found since the last Sync took: the reader's
    /// position after them and the last terminator. Needed before the reader is asked for its
    /// position or reads on without the splitter.
    void Sync() {
        in_.Skip(at_);
        reading_.lastTerminator = lastTerminator_;
    }

    /// Whether no special unit is one a number is made of, so that a number's units in the
    /// block end where the field ends, as they do at the zero after a copied field.
    bool SpecialsEndNumbers() const {
        for (const char16_t c : u"0123456789.eE+-") {
            if (c != 0 && classes_[c] != CLASS_ORDINARY)
                return false;
        }
        return true;
    }

    /// Takes the reader's position again and drops the mask, after ReadField read on without
    /// the splitter.
    void Resync() {
        at_ = in_.Next();
        limit_ = in_.Limit();
        lastTerminator_ = reading_.lastTerminator;
        window_ = nullptr;
        mask_ = 0;
    }

  private:
    /// For a field that starts with a qualifier (bits: where the specials are from there on):
    /// whether it is one simple quoted section, closed by the same qualifier right before a
    /// delimiter or a line end, with no line end inside (delimiters and other qualifiers inside
    /// are text). Gives the length of the text inside and the unit that ends the field.
    bool QuotedField(const char16_t* p, uint64_t bits, int& length, char16_t& t) const {
        const char16_t opener = p[0];
        for (uint64_t rest = bits & (bits - 1); rest != 0; rest &= rest - 1) {
            const int k = std::countr_zero(rest);
            const char16_t u = p[k];
            if (u == opener) {
                // The field ends right after, at a special unit within the mask (the unit after
                // the mask may lie past the block's end); a qualifier there (a doubled one, or
                // another section) or text is ReadField's.
                const uint64_t next = rest & (rest - 1);
                if (next == 0 || std::countr_zero(next) != k + 1)
                    return false;
                const uint8_t end = classes_[p[k + 1]];
                if (end != CLASS_DELIMITER && end != CLASS_LINE_END)
                    return false;
                length = k - 1;
                t = p[k + 1];
                return true;
            }
            if (classes_[u] == CLASS_LINE_END)
                return false;
        }
        return false;
    }

    /// Bit i set where p[i] is a special unit.
    uint64_t MaskAt(const char16_t* p) const {
        uint64_t mask = 0;
#if defined(__SSE2__)
        const auto hits = [this](const char16_t* q) {
            return match_.Hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)));
        };
        for (int k = 0; k < 4; ++k) {
            const __m128i bytes = _mm_packs_epi16(hits(p + 16 * k), hits(p + 16 * k + 8));
            mask |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(bytes))} << (16 * k);
        }
#else
        (void)p;
#endif
        return mask;
    }

    /// The field's units and a zero after them into the field buffer. Sixteen units are copied
    /// whatever the length, which covers most fields without a loop; they may reach past the
    /// block's end into the units the reader lets be read.
    void CopyField(const char16_t* p, int length) {
#if defined(__SSE2__)
        static_assert(brisko::CEncodedBufferedFile::kReadableAfterLimit >= 16);
        char16_t* const to = reading_.fieldBuffer.data();
        const __m128i lane = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
        const auto piece = [&](int i) {
            // The units from the length on become zeros.
            const __m128i keep =
                _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(length - i)), lane);
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            _mm_store_si128(reinterpret_cast<__m128i*>(to + i), _mm_and_si128(units, keep));
        };
        piece(0);
        piece(8);
        for (int i = 16; i <= length; i += 8)
            piece(i);
#else
        (void)p;
        (void)length;
#endif
    }

    FieldReader& reading_;
    brisko::CEncodedBufferedFile& in_;
    const uint8_t* const classes_;
    const SpecialUnitMatcher match_;
    bool active_ = false;
    bool eatWhitespace_ = false;
    const char16_t* at_ = nullptr;      // where the next field starts
    const char16_t* limit_ = nullptr;   // the block's end
    char16_t lastTerminator_ = 0;       // of the last field found
    const char16_t* window_ = nullptr;  // where the mask begins
    uint64_t mask_ = 0;
};

}  // namespace dornel
