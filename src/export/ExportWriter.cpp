// The export writer: opens the output, writes cells and point sets as delimited text line by
// line, and finishes the file or hands it to the host as a memory block.
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "export/DatExportFilter.h"
#include "export/ExportTexts.h"
#include "export/NumberText.h"
#include "common/OptionVocabulary.h"
#include "host/brisko/DateTime.h"
#include "host/brisko/File.h"
#include "host/brisko/PrimData.h"
#include "host/qorvix/Records.h"

namespace dornel {

using namespace qorvix;

namespace {

constexpr char16_t kLineFeed[] = u"\n";
// What WriteCell writes in one call before a number: separators, then the number's text.
constexpr size_t kNumberRoom = 32;
constexpr size_t kHeadRoom = 96;
// A text cell this short, with what comes before it, is put together on the stack.
constexpr size_t kTextRoom = 256;
// Separators and texts up to these go straight into the output block where it takes ASCII as
// it is; longer runs take the road through units, which is rare enough not to matter.
constexpr int32_t kDirectSeparators = 64;
constexpr size_t kDirectText = 1024;
static_assert(kDirectSeparators + kDirectText + 2 + 8 <=
              brisko::CEncodedBufferedFile::kAsciiRoomMost);

#if defined(__SSE2__)
/// Widens the sizeof(Word) bytes at text to units at out, and returns them as one word.
template <class Word>
inline Word WidenPiece(const char* text, char16_t* out) {
    Word bytes;
    std::memcpy(&bytes, text, sizeof bytes);
    __m128i lanes = _mm_setzero_si128();
    std::memcpy(&lanes, &bytes, sizeof bytes);
    const __m128i units = _mm_unpacklo_epi8(lanes, _mm_setzero_si128());
    std::memcpy(out, &units, sizeof bytes * sizeof(char16_t));
    return bytes;
}
#endif

/// Widens size bytes of text to out if all are ASCII; false, with out in any state, if not.
/// Eight or four bytes at a time where the processor allows, the last piece overlapping those
/// before it: a loop that ends at a different place for every cell mispredicts its end. Reads and
/// writes only the bytes and units given.
bool WidenAscii(const char* text, size_t size, char16_t* out) {
#if defined(__SSE2__)
    if (size >= 8) {
        uint64_t seen = WidenPiece<uint64_t>(text + size - 8, out + size - 8);
        for (size_t i = 0; i + 8 < size; i += 8)
            seen |= WidenPiece<uint64_t>(text + i, out + i);
        return (seen & 0x8080808080808080u) == 0;
    }
    if (size >= 4) {
        const uint32_t seen =
            WidenPiece<uint32_t>(text, out) | WidenPiece<uint32_t>(text + size - 4, out + size - 4);
        return (seen & 0x80808080u) == 0;
    }
#endif
    unsigned seen = 0;
    for (size_t i = 0; i < size; ++i) {
        seen |= static_cast<unsigned char>(text[i]);
        out[i] = static_cast<unsigned char>(text[i]);
    }
    return seen < 0x80;
}

/// Copies size bytes of text to out if all are ASCII; false, with out in any state, if not.
/// Eight or four bytes at a time, as WidenAscii does.
bool CopyAscii(const char* text, size_t size, char* out) {
    const auto piece = [&]<class Word>(Word, size_t at) {
        Word bytes;
        std::memcpy(&bytes, text + at, sizeof bytes);
        std::memcpy(out + at, &bytes, sizeof bytes);
        return bytes;
    };
    if (size >= 8) {
        uint64_t seen = piece(uint64_t{}, size - 8);
        for (size_t i = 0; i + 8 < size; i += 8)
            seen |= piece(uint64_t{}, i);
        return (seen & 0x8080808080808080u) == 0;
    }
    if (size >= 4) {
        const uint32_t seen = piece(uint32_t{}, 0) | piece(uint32_t{}, size - 4);
        return (seen & 0x80808080u) == 0;
    }
    unsigned seen = 0;
    for (size_t i = 0; i < size; ++i) {
        seen |= static_cast<unsigned char>(text[i]);
        out[i] = text[i];
    }
    return seen < 0x80;
}

char16_t SeparatorFor(const RString& option) {
    const char c = option.empty() ? '\0' : option[0];
    return c == '\t' || c == ' ' || c == ';' ? static_cast<char16_t>(c) : u',';
}

}  // namespace

void DatExportFilter::Write(const char16_t* text) {
    size_t n = 0;
    while (text[n])
        ++n;
    outputFile.WriteString(text, n);
}

ExportStatus DatExportFilter::ProgressCheck() {
    return m_manager.ProgressIndeterminate() ? EXPORT_DONE : EXPORT_CANCELLED;
}

void DatExportFilter::EndProgress() {
    if (progress) {
        m_manager.ProgressStop();
        progress.reset();
    }
}

ExportStatus DatExportFilter::BeginExport(const RString& path, bool interactive) {
    outputPath = path;
    delimiterText = {u','};
    qualifierText = {u'"'};
    decimalSymbol = {u'.'};
    int encoding = brisko::TE_ANSI;
    uint32_t page = 0;
    if (kind == KIND_DAT || kind == KIND_TXT) {
        LoadExportOptions(true);
        if (interactive && !RunExportDialog(path))
            return EXPORT_CANCELLED;
        delimiterText = {SeparatorFor(delimiterOption)};
        const char decimal = decimalOption.empty() ? '\0' : decimalOption[0];
        decimalSymbol = {decimal == ',' ? u',' : u'.'};
        qualifierText = {};
        const char qualifier = qualifierOption.empty() ? '\0' : qualifierOption[0];
        if (qualifier == '"' || qualifier == '\'')
            qualifierText = {static_cast<char16_t>(qualifier)};
        encoding = encodingMethod == 1   ? brisko::TE_UTF16LE
                   : encodingMethod == 2 ? brisko::TE_UTF8
                                         : brisko::TE_ANSI;
        page = codePage;
    }
    bool clipboard = false;
    const int textType = ReadClipboardTextType(m_manager, &clipboard);
    if (textType == 0)
        encoding = brisko::TE_ANSI;
    else if (textType == 1)
        encoding = brisko::TE_UTF16LE;

    const auto ascii = [](char16_t c) { return c < 0x80; };
    asciiMarks_ = ascii(delimiterText[0]) && delimiterText[0] != 0 && delimiterText[1] == 0 &&
                  ascii(qualifierText[0]) && ascii(decimalSymbol[0]);
    delimiterByte_ = static_cast<char>(delimiterText[0]);
    delimiterWord_ = static_cast<unsigned char>(delimiterByte_) * 0x0101010101010101u;
    qualifierByte_ = static_cast<char>(qualifierText[0]);
    decimalByte_ = static_cast<char>(decimalSymbol[0]);
    if (outputFile.IsOpen())
        outputFile.Abort(true);
    outputFile.Open(path, "w", 3, encoding, page, false, false);
    objectsWritten = 0;
    currentRow = -1;
    // Destinations of a memory block come with this export's TrInitWksExp, never an earlier one.
    handleDest = nullptr;
    sizeDest = nullptr;

    EndProgress();
    progress = std::make_unique<CProgress>(&m_manager);
    m_manager.ProgressStart("", true, false);
    if (toMemory || clipboard)
        m_manager.ProgressMessage(kMsgExportingMemory);
    else
        progress->MessageVA(kMsgExportingFile,
                            brisko::CPath(outputFile.GetFilePath()).GetNameAndExtension().c_str());
    return EXPORT_DONE;
}

void DatExportFilter::SetCellFormat(const TrCellFmt& format) {
    int date = 0, time = 0;
    brisko::WQMapExcelFmtStrToFmtTypes(format.format.c_str(), date, time);
    if ((format.mask & qorvix::CELLFMT_FORMAT_TEXT) &&
        format.category == qorvix::CELLFMT_CATEGORY_DATE && (date != 0 || time != 0)) {
        dateFormat = date;
        timeFormat = time;
    } else {
        dateFormat = timeFormat = 0;
    }
}

void DatExportFilter::StartLine(int32_t row) {
    // Cells come row by row; their columns are not looked at. A cell of an earlier row than the
    // line's goes on the line; while the row is -1, every cell begins the line anew.
    if (currentRow == -1) {
        currentRow = row;
        pendingEmpty = 0;
        cellInRow = false;
    } else if (row > currentRow) {
        // Once a line, where its bytes go straight into the output block as the cells' do.
        if (char* const out = asciiMarks_ ? outputFile.AsciiRoom(1) : nullptr) {
            *out = '\n';
            outputFile.AsciiWritten(1);
        } else {
            Write(kLineFeed);
        }
        currentRow = row;
        pendingEmpty = 0;
        cellInRow = false;
    }
}

[[gnu::always_inline]] inline ExportStatus DatExportFilter::WriteCell(const TrCell& cell) {
    if (cell.row != currentRow || currentRow == -1) [[unlikely]]
        StartLine(cell.row);
    if (cell.kind == CELL_EMPTY) {
        ++pendingEmpty;
        ++objectsWritten;
        return ProgressCheck();
    }
    // The separators before the value: this cell's and those of the empty cells before it.
    const int32_t separators = pendingEmpty + (cellInRow ? 1 : 0);
    pendingEmpty = 0;
    if (cell.kind == CELL_NUMBER || cell.kind == CELL_NUMBER_ALT) [[likely]] {
        if (dateFormat == 0 && timeFormat == 0) [[likely]]
            WriteNumberCell(separators, cell.number);
        else
            WriteDateCell(separators, cell.number);
    } else if (cell.kind == CELL_TEXT) {
        WriteTextCell(separators, cell.text.c_str(), cell.text.size());
    } else {
        // A kind the writer does not know: its separators stay, nothing else is written.
        WriteSeparators(separators);
        return ProgressCheck();
    }
    cellInRow = true;
    ++objectsWritten;
    return ProgressCheck();
}

inline char* DatExportFilter::DirectRoom(int32_t separators, size_t bytes) {
    if (!asciiMarks_ || separators > kDirectSeparators) [[unlikely]]
        return nullptr;
    // Eight more than is needed, so that the separators go in whole words: the words past them
    // are written over by the value, or lie beyond what is counted as written.
    char* const out = outputFile.AsciiRoom(static_cast<size_t>(separators) + bytes + 8);
    if (out) [[likely]] {
        std::memcpy(out, &delimiterWord_, 8);
        for (int32_t i = 8; i < separators; i += 8)
            std::memcpy(out + i, &delimiterWord_, 8);
    }
    return out;
}

size_t DatExportFilter::PutSeparators(int32_t separators, char16_t* head) {
    // What does not fit before the value is written out first.
    size_t n = 0;
    for (; separators > 0; --separators) {
        if (n + delimiterText.size() + kNumberRoom > kHeadRoom) {
            outputFile.WriteString(head, n);
            n = 0;
        }
        for (const char16_t* d = delimiterText.data(); *d; ++d)
            head[n++] = *d;
    }
    return n;
}

inline void DatExportFilter::WriteNumberCell(int32_t separators, double value) {
    // The number's text is made where it goes: in the output block, or after the separators.
    if (char* const out = DirectRoom(separators, kNumberRoom)) [[likely]] {
        char* const number = out + separators;
        const size_t length = FormatNumber14G(value, number);
        if (decimalByte_ != '.') [[unlikely]]
            for (size_t i = 0; i < length; ++i)
                if (number[i] == '.')
                    number[i] = decimalByte_;
        outputFile.AsciiWritten(static_cast<size_t>(separators) + length);
        return;
    }
    WriteNumberInUnits(separators, value);
}

void DatExportFilter::WriteNumberInUnits(int32_t separators, double value) {
    char16_t head[kHeadRoom];
    const size_t n = PutSeparators(separators, head);
    char16_t* number = head + n;
    const size_t length = FormatNumber14G(value, number);
    if (decimalSymbol[0] != u'.')
        for (size_t i = 0; i < length; ++i)
            if (number[i] == u'.')
                number[i] = decimalSymbol[0];
    outputFile.WriteString(head, n + length);
}

[[gnu::always_inline]] inline void DatExportFilter::WriteTextCell(int32_t separators,
                                                                  const char* text, size_t size) {
    // The text and its qualifiers go out with the separators before them. ASCII is the same in
    // every system code page, so it is copied or widened without a conversion.
    if (size <= kDirectText) [[likely]]
        if (char* const out = DirectRoom(separators, size + 2)) [[likely]] {
            char* p = out + separators;
            *p = qualifierByte_;
            p += qualifierByte_ ? 1 : 0;
            if (CopyAscii(text, size, p)) [[likely]] {
                p += size;
                *p = qualifierByte_;
                p += qualifierByte_ ? 1 : 0;
                outputFile.AsciiWritten(static_cast<size_t>(p - out));
                return;
            }
            // Not ASCII: the room is given up, and the text goes the way that converts it.
        }
    WriteTextInUnits(separators, text, size);
}

void DatExportFilter::WriteDateCell(int32_t separators, double value) {
    dateFormat = brisko::WQClosestAccurateDateFmt(value, dateFormat);
    timeFormat = brisko::WQClosestAccurateTimeFmt(value, timeFormat);
    char text[40];
    brisko::WQDateTime(value).GetDateTimeStr(dateFormat, timeFormat, text);
    WriteTextCell(separators, text, std::strlen(text));
}

void DatExportFilter::WriteSeparators(int32_t separators) {
    char16_t head[kHeadRoom];
    outputFile.WriteString(head, PutSeparators(separators, head));
}

void DatExportFilter::WriteTextInUnits(int32_t separators, const char* text, size_t size) {
    char16_t head[kHeadRoom];
    WriteCellText(head, PutSeparators(separators, head), text, size);
}

ExportStatus DatExportFilter::ExportObject(TrBase& record) {
    const brisko::CTypeInfo* type = record.GetTypeInfo();
    if (type == cellType_) [[likely]]
        return WriteCell(static_cast<const TrCell&>(record));
    if (type == TrCellFmt::GetClassTypeId()) {
        SetCellFormat(static_cast<const TrCellFmt&>(record));
        return ProgressCheck();
    }
    if (type == TrPoints::GetClassTypeId())
        return WritePoints(static_cast<const TrPoints&>(record));
    if (type == TrInitWksExp::GetClassTypeId()) {
        const auto& init = static_cast<const TrInitWksExp&>(record);
        handleDest = init.handleDest;
        sizeDest = init.sizeDest;
        return ProgressCheck();
    }
    if (type == TrWksCap::GetClassTypeId()) {
        if (static_cast<const TrWksCap&>(record).flags & ~supportedCaps)
            return EXPORT_CAPABILITY;
        return ProgressCheck();
    }
    return EXPORT_DONE;
}

void DatExportFilter::WriteCellText(const char16_t* head, size_t headLength, const char* text,
                                    size_t size) {
    const char16_t qualifier = qualifierText[0];
    if (headLength + size + 2 <= kTextRoom) {
        char16_t line[kTextRoom];
        std::memcpy(line, head, headLength * sizeof(char16_t));
        size_t n = headLength;
        if (qualifier)
            line[n++] = qualifier;
        if (WidenAscii(text, size, line + n)) {
            n += size;
            if (qualifier)
                line[n++] = qualifier;
            outputFile.WriteString(line, n);
            return;
        }
    }
    cellText_.assign(head, headLength);
    if (qualifier)
        cellText_ += qualifier;
    cellText_ += RString(text, size).ToWide();
    if (qualifier)
        cellText_ += qualifier;
    outputFile.WriteString(cellText_);
}

ExportStatus DatExportFilter::WritePoints(const TrPoints& points) {
    if (objectsWritten > 0)
        Throw_ERR_MULTIPLE_OBJECTS(kExportSource, kLineMultipleObjects,
                                   outputFile.GetFilePath().c_str());
    const size_t coordSize = brisko::CPrimTypeInfo::TypeSize(points.coordType);
    const size_t attrSize = brisko::CPrimTypeInfo::TypeSize(points.attrType);
    const auto* coord = static_cast<const unsigned char*>(points.coords);
    const auto* attr = static_cast<const unsigned char*>(points.attrs);
    const int32_t attrCount = attr ? points.attrCount : 0;
    char16_t number[32];
    for (int32_t i = 0; coord && i < points.pointCount; ++i) {
        for (int k = 0; k < 3; ++k, coord += coordSize) {
            // Coordinates keep '.' whatever the decimal symbol of cells.
            outputFile.WriteString(
                number,
                FormatNumber14G(brisko::CPrimData::GetWideReal(points.coordType, coord), number));
            if (k < 2)
                Write(delimiterText.data());
        }
        if (attrCount != 0)
            Write(delimiterText.data());
        for (int32_t j = 0; j < attrCount; ++j, attr += attrSize) {
            outputFile.WriteString(
                number,
                FormatNumber14G(brisko::CPrimData::GetWideReal(points.attrType, attr), number));
            if (j < attrCount - 1)
                Write(delimiterText.data());
        }
        Write(kLineFeed);
    }
    ++objectsWritten;
    return ProgressCheck();
}

ExportStatus DatExportFilter::EndExport() {
    if (objectsWritten <= 0 && !handleDest) {
        if (outputFile.GetFilePath().empty()) {
            EndProgress();
            return EXPORT_DONE;
        }
        // Nothing was exported: no file is left behind.
        outputFile.Close();
        brisko::RemoveFile(outputFile.GetFilePath());
        EndProgress();
        return EXPORT_NOTHING;
    }
    if (!outputFile.IsOpen())
        ThrowError(kExportSource, kLineNotOpen, ERR_FILE_NOT_OPEN);
    if (currentRow >= 0)
        Write(kLineFeed);
    outputFile.Close();
    if (!handleDest) {
        EndProgress();
        return EXPORT_DONE;
    }

    const RString path = outputFile.GetFilePath();
    const int bomLength = brisko::GetBOMInfo(path);
    brisko::CFile file(path, 1, 3, 1);
    int64_t length = file.GetLength();
    if (length < 0)
        ThrowError(kExportSource, kLineNoLength, ERR_FILE_IO);
    size_t terminator = 0;
    const int textType = ReadClipboardTextType(m_manager);
    if (textType == 0) {
        terminator = 1;
    } else if (textType == 1) {
        file.Seek(bomLength, 0);
        length -= bomLength;
        terminator = 2;
    }
    HGLOBAL block = GlobalAlloc(GMEM_DDESHARE, static_cast<SIZE_T>(length) + terminator);
    if (!block)
        Throw_ERR_FILE_NO_MEM(kExportSource, kLineNoMemory, path.c_str());
    auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
    const uint32_t read = file.Read(bytes, static_cast<uint32_t>(length));
    std::memset(bytes + length, 0, terminator);
    GlobalUnlock(block);
    file.Close();
    brisko::RemoveFile(path);
    if (read == 0) {
        GlobalFree(block);
        ThrowError(kExportSource, kLineNothingRead, ERR_FILE_IO);
    }
    *handleDest = block;
    if (sizeDest)
        *sizeDest = static_cast<uint32_t>(length + static_cast<int64_t>(terminator));
    EndProgress();
    return EXPORT_DONE;
}

}  // namespace dornel
