// The reading of an import's fields: the rules it follows, and what it keeps from one field to
// the next.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/ColumnBreaks.h"
#include "common/FileKind.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/RString.h"
#include "import/NumberScan.h"
#include "import/SpecialUnits.h"

namespace dornel {

using brisko::RString;
using brisko::WString;

/// A field as the reader left it: its text, ended by a zero unit, and whether it held a
/// qualified section.
struct FieldView {
    const char16_t* text = nullptr;
    int length = 0;
    bool quoted = false;
    ScannedField scan = ScannedField::Unscanned;  ///< the one-pass number scan, if made
    double value = 0.0;                           ///< the number, when scan says Number
    /// Set where the field is sure to become a text cell and is plain ASCII (1 to 0x7F): its
    /// length bytes and a zero, narrowed where the fields were read. Text then points at these
    /// same bytes and is not to be read as units.
    const char* ascii = nullptr;
};

/// Classes of UTF-16 code units in charClass.
enum CharClass : uint8_t {
    CLASS_ORDINARY = 0,
    CLASS_DELIMITER = 1,
    CLASS_QUALIFIER = 2,
    CLASS_LINE_END = 3,
};

constexpr char16_t kEof = brisko::kEndOfFile;
constexpr char16_t kLF = 10;
constexpr char16_t kCR = 13;
/// Apart by this many bytes, what two threads write often does not share a cache line.
constexpr size_t kCacheLine = 64;
/// A field holds at most this many characters, then a terminating zero.
constexpr int kFieldCapacity = 999;

/// The options that decide how fields are read. The import filter keeps them among its options;
/// the reading only reads them, but for an empty list of column breaks, which it turns into the
/// one column it reads as.
struct ReadingRules {
    explicit ReadingRules(FileKind kind) : kind(kind) {}

    /// The fast paths: fields read on a second thread, runs of ordinary units found many at a
    /// time, numbers recognised and converted in one pass, ASCII texts narrowed many units at a
    /// time. Off, each field is read on the calling thread one unit and one look-up at a time
    /// and converted by the number test and the general reader: the plain path, which gives the
    /// same records, and against which the fast paths are tested.
    bool fastPaths = true;
    FileKind kind;                      ///< the code the factory passed
    RString delimiters;                 ///< Delimiter, default by kind
    RString qualifiers;                 ///< TextQualifier, default by kind
    bool useFixedWidth = false;         ///< UseFixedWidth, default false
    bool skipExtraDelimiters = false;   ///< SkipExtraDelimiters, default false
    bool eatWhitespace = false;         ///< EatWhitespace, default by kind
    bool delimiterGiven = false;        ///< Delimiter came in an option string
    int32_t startRow = 0;               ///< StartRow, default 0
    std::vector<int32_t> columnBreaks;  ///< ColumnBreaks, default empty
};

/// The file of an import, the class of every unit in it, and the field read last. One thread at
/// a time reads with it: the filter's, or the reading thread of the FieldPipeline that was
/// handed it, for as long as that pipeline lives.
class FieldReader {
  public:
    explicit FieldReader(ReadingRules& rules) : rules_(rules) {}
    FieldReader(const FieldReader&) = delete;
    FieldReader& operator=(const FieldReader&) = delete;

    const ReadingRules& Rules() const { return rules_; }

    // Character classes (CharClasses.cpp).
    void BuildCharClasses();
    /// Lists the units that are not ordinary, for the reader's many-at-a-time search; after
    /// any change to charClass.
    void ListSpecialUnits();

    // Line reader (LineReader.cpp).
    char16_t ReadField();
    bool ReadQuotedSection(int& length, char16_t& c);
    bool ReadRawLine(WString& line);
    bool SkipStartRows();
    void DetectDelimiter();

    /// The current field, terminated by a zero unit.
    const char16_t* Field() const { return fieldBuffer.data(); }
    FieldView View() const { return FieldView{fieldBuffer.data(), fieldLength, fieldQuoted}; }
    /// Removes the blanks at the end of the current field, as the import does before
    /// converting it.
    void TrimFieldEnd() {
        char16_t* const buf = fieldBuffer.data();
        while (fieldLength > 0 && (buf[fieldLength - 1] == u' ' || buf[fieldLength - 1] == u'\t'))
            buf[--fieldLength] = 0;
    }

    std::unique_ptr<brisko::CEncodedBufferedFile> reader;  ///< the file being read, or null
    std::array<uint8_t, 65536> charClass{};                ///< class of every UTF-16 code unit
    SpecialUnits specials;  ///< for the search of many units at a time
    /// From here on, what is written for every field read; on cache lines of its own.
    alignas(kCacheLine) bool fieldQuoted = false;  ///< the field held a qualified section
    char16_t lastTerminator = 0;                   ///< what ended the previous delimited field
    /// The current field. Aligned, so that the field pipeline can copy it sixteen bytes at a time.
    alignas(16) std::array<char16_t, kFieldCapacity + 1> fieldBuffer{};
    int fieldLength = 0;       ///< characters in the field before its terminating zero
    uint32_t fixedColumn = 0;  ///< next fixed-width column on the current line

  private:
    /// EatWhitespace: the spaces before a field, and a delimiter after a space delimiter.
    void EatLeadingSpaces(brisko::CEncodedBufferedFile& in);
    /// Gives the terminator that ended a field as one unit: a CR and the LF after it as an LF,
    /// and with SkipExtraDelimiters, a run of delimiters as its last.
    char16_t ReadPastTerminator(brisko::CEncodedBufferedFile& in, char16_t terminator);
    char16_t ReadFixedWidthField();

    ReadingRules& rules_;
};

}  // namespace dornel
