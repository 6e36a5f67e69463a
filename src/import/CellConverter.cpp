// Cell value conversion: each field becomes nothing, an empty cell, numbers, a text or a date,
// handed to the host or, while a preview is built, collected as preview cells.
#include <algorithm>
#include <array>

#include "common/DecimalText.h"
#include "host/brisko/DateTime.h"
#include "host/brisko/File.h"
#include "host/brisko/SystemInfo.h"
#include "host/qorvix/Records.h"
#include "import/DatImportFilter.h"
#include "import/NumberScan.h"

namespace dornel {

using namespace qorvix;

bool DatImportFilter::EmitField(uint32_t& row, uint32_t& col, char16_t terminator) {
    return EmitField(row, col, terminator, reading.View());
}

namespace {

/// Where one cell leaves the row: past it when the host accepted it.
DatImportFilter::FieldCells OneCell(uint32_t col, bool accepted) {
    return accepted ? DatImportFilter::FieldCells{col + 1, true}
                    : DatImportFilter::FieldCells{col, false};
}

}  // namespace

DatImportFilter::FieldCells DatImportFilter::EmitOtherField(uint32_t row, uint32_t col,
                                                            char16_t terminator,
                                                            const FieldView& view) {
    // Where the fields were read, a field sure to be a text was narrowed if it could be.
    if (view.ascii)
        return OneCell(col, EmitAsciiText(row, col, view.ascii, view.length));
    const char16_t* const field = view.text;
    if (field[0] == 0) {
        // The empty field that ends a line or the file is no cell.
        if (terminator == kLF || terminator == kCR || terminator == kEof)
            return {col, true};
        return OneCell(col, EmitEmpty(row, col));
    }
    // A field that held a qualified section is never a number.
    if (view.quoted)
        return OneCell(col, EmitText(row, col, field, view.length));
    if (aggressiveConversion)
        return EmitAggressiveField(row, col, field);

    FieldView scanned = view;
    if (scanned.scan == ScannedField::Unscanned)
        ScanField(scanned, OtherDecimal());
    switch (scanned.scan) {
        case ScannedField::Number:
            return OneCell(col, EmitNumber(row, col, scanned.value));
        case ScannedField::Text:
            return OneCell(col, EmitText(row, col, field, view.length));
        default:
            return OneCell(col, EmitNumberOrText(row, col, view));
    }
}

DatImportFilter::FieldCells DatImportFilter::EmitAggressiveField(uint32_t row, uint32_t col,
                                                                 const char16_t* field) {
    std::array<char16_t, kFieldCapacity + 1> work;
    char16_t* const w = work.data();
    StripNumberDecorations(w, field);
    NormalizeDecimal(w);
    if (!brisko::IsNumber(w))
        return OneCell(col, EmitText(row, col, field));
    const char16_t* p = w;
    do {
        while (IsSpace16(*p))
            ++p;
        if (!EmitNumber(row, col, WideToDouble(p)))
            return {col, false};
        ++col;
        while (*p && !IsSpace16(*p))
            ++p;
    } while (brisko::IsNumber(p));
    // The rest keeps the white space that ended the last number.
    if (*p)
        return OneCell(col, EmitText(row, col, p));
    return {col, true};
}

bool DatImportFilter::EmitNumberOrText(uint32_t row, uint32_t col, const FieldView& view) {
    // The number reader sees the field itself unless trailing blanks or a decimal comma
    // must be dealt with first, which needs a copy.
    const char16_t* const field = view.text;
    std::array<char16_t, kFieldCapacity + 1> work;
    char16_t* const w = work.data();
    int n = view.length;
    const bool trim = !delimiterGiven && (field[n - 1] == u' ' || field[n - 1] == u'\t');
    const bool otherDecimal = OtherDecimal();
    const char16_t* text = field;
    if (trim || otherDecimal) {
        std::copy(field, field + n + 1, w);
        if (trim) {
            while (n > 0 && (w[n - 1] == u' ' || w[n - 1] == u'\t'))
                w[--n] = 0;
        }
        NormalizeDecimal(w);
        text = w;
    }
    bool number = brisko::IsNumber(text);
    if (number) {
        const char16_t* q = text;
        while (IsSpace16(*q))
            ++q;
        // Units above the space are never white space, which spares the full test for them.
        while (*q > u' ' || (*q != 0 && !IsSpace16(*q)))
            ++q;
        // Any white space after the first token makes the field more than one number.
        number = *q == 0;
    }
    return number ? EmitNumber(row, col, WideToDouble(text)) : EmitText(row, col, field);
}

bool DatImportFilter::EmitEmpty(uint32_t row, uint32_t col) {
    if (previewSink)
        return true;
    TrCell& cell = emptyRecord_;
    cell.row = static_cast<int32_t>(row);
    cell.col = static_cast<int32_t>(col);
    return ImportObject(cell);
}

bool DatImportFilter::PreviewNumber(uint32_t row, uint32_t col, double value) {
    previewSink->push_back(PreviewCell{row, col, false, WString(), value});
    return true;
}

bool DatImportFilter::EmitText(uint32_t row, uint32_t col, const char16_t* text, int length) {
    if (previewSink) {
        previewSink->push_back(PreviewCell{row, col, true, WString(text), 0.0});
        return true;
    }
    // One record serves every text, so that its buffer is allocated once for the import.
    TrCell& cell = textRecord_;
    if (length >= 0 && fastPaths)
        cell.text.FromWide(text, static_cast<size_t>(length));
    else
        cell.text.FromWide(text);
    return EmitTextRecord(row, col);
}

bool DatImportFilter::EmitAsciiText(uint32_t row, uint32_t col, const char* text, int length) {
    if (previewSink) {
        previewSink->push_back(PreviewCell{row, col, true, WString(text, text + length), 0.0});
        return true;
    }
    textRecord_.text.FromAscii(text, static_cast<size_t>(length));
    return EmitTextRecord(row, col);
}

bool DatImportFilter::EmitTextRecord(uint32_t row, uint32_t col) {
    const int32_t r = static_cast<int32_t>(row);
    const int32_t c = static_cast<int32_t>(col);
    TrCell& cell = textRecord_;
    if (dateTimeSupport) {
        double serial = 0.0;
        int dateFormat = 0, timeFormat = 0;
        if (brisko::WQParseDateTimeStr(cell.text, serial, dateFormat, timeFormat)) {
            char format[40];
            brisko::WQMapFmtTypesToExcelFmtStr(dateFormat, timeFormat, format);
            TrCellFmt cellFormat(r, c, 0);
            cellFormat.mask = qorvix::CELLFMT_DATE_MASK;
            cellFormat.category = qorvix::CELLFMT_CATEGORY_DATE;
            cellFormat.format = RString(format);
            // A refused format leaves the field a text.
            if (ImportObject(cellFormat)) {
                TrCell dated(r, c, serial);
                return ImportObject(dated);
            }
        }
    }
    // A text of no characters is an empty cell; a text of any narrows to at least one byte.
    if (!cell.text.empty()) {
        cell.row = r;
        cell.col = c;
        cell.kind = CELL_TEXT;
        cell.number = 0.0;
        return ImportObject(cell);
    }
    TrCell empty(r, c);
    return ImportObject(empty);
}

void DatImportFilter::StripNumberDecorations(char16_t* destination, const char16_t* source) {
    const char16_t thousands = static_cast<unsigned char>(
        brisko::Singleton<brisko::CSystemInfo>::Instance().DefThousandsChar());
    while (*source == u' ')
        ++source;
    char16_t* out = destination;
    for (; *source; ++source)
        if (*source != u'$' && *source != thousands)
            *out++ = *source;
    while (out > destination && out[-1] == u' ')
        --out;
    *out = 0;
}

void DatImportFilter::NormalizeDecimal(char16_t* text) const {
    if (decimalSymbol.empty())
        return;
    const char16_t symbol = static_cast<unsigned char>(decimalSymbol[0]);
    if (symbol == u'.')
        return;
    for (; *text; ++text)
        if (*text == symbol)
            *text = u'.';
}

}  // namespace dornel
