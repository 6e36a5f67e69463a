// The import driver: opens the reader, settles the reading rules by kind, streams fields into
// records between a begin and an end record, and builds the dialog's preview.
#include <exception>

#include "common/OptionVocabulary.h"
#include "host/brisko/File.h"
#include "host/qorvix/Records.h"
#include "import/DatImportFilter.h"
#include "import/FieldPipeline.h"
#include "import/ImportTexts.h"
#include "import/ImportDialog.h"

namespace dornel {

using namespace qorvix;

void DatImportFilter::OpenReader(const RString& path, int encoding, uint32_t codePage,
                                 bool imposed) {
    reading.reader.reset();
    reading.reader = std::make_unique<brisko::CEncodedBufferedFile>(path, "r", 3, encoding,
                                                                    codePage, imposed, false);
}

int DatImportFilter::ClipboardTextEncoding() {
    const int textType = ReadClipboardTextType(m_manager);
    textTypeFixed = textType == 0 || textType == 1;
    return textType == 1 ? brisko::TE_UTF16LE : brisko::TE_ANSI;
}

ImportStatus DatImportFilter::ImportFile(const RString& path, bool interactive) {
    struct ReaderCloser {
        DatImportFilter& filter;
        ~ReaderCloser() { filter.reading.reader.reset(); }
    } closer{*this};
    // An empty file is a finished import of nothing.
    if (brisko::GetFileSize(path) == 0)
        return IMPORT_DONE;
    return RunImport(path, interactive);
}

void DatImportFilter::ApplyFixedRules(const char* fieldDelimiters) {
    useFixedWidth = false;
    startRow = 0;
    delimiters = RString(fieldDelimiters);
    qualifiers = RString("\"");
    eatWhitespace = true;
    skipExtraDelimiters = false;
}

void DatImportFilter::ReopenForChoice(const RString& path, int fileIsUnicode, int choice,
                                      int encoding) {
    reading.reader.reset();
    // A choice that differs from what the file was read as imposes the chosen encoding.
    if (fileIsUnicode != 0 && choice == 0)
        OpenReader(path, brisko::TE_ANSI, importCodePage, true);
    else if (fileIsUnicode == 0 && choice != 0)
        OpenReader(path, brisko::TE_UTF16LE, 0, true);
    else
        OpenReader(path, encoding, 0, textTypeFixed);
}

template <class Fields>
ImportStatus DatImportFilter::EmitRows(Fields& fields, int64_t length) {
    uint32_t row = 0, col = 0;
    const uint32_t rowLimit = static_cast<uint32_t>(maxRow);
    const uint32_t colLimit = static_cast<uint32_t>(maxCol);
    // A field the reading thread left unscanned is scanned here, as it would be where its
    // cells are made, but inline: a number then takes the short way as if scanned before.
    const bool scanning = ScansNumbers(OtherDecimal());
    FieldView field;
    for (;;) {
        char16_t t = fields.Next(field);
        if (field.scan == ScannedField::Unscanned && scanning && field.length > 0 && !field.quoted)
            field.scan =
                ScanNumberField(field.text, static_cast<size_t>(field.length), field.value);
        if (!EmitField(row, col, t, field))
            return IMPORT_STOPPED;
        if (t != kLF && t != kCR) {
            if (col < colLimit) {
                if (t == kEof)
                    break;
                continue;
            }
            // A line with more fields than MaxCol: the rest of the line is dropped, so that
            // it cannot spill into the next row.
            while (t != kLF && t != kCR && t != kEof)
                t = fields.Next(field);
        }
        ++row;
        col = 0;
        if (row % kProgressRows == 0) {
            const double fraction = static_cast<double>(static_cast<uint32_t>(fields.Position())) /
                                    static_cast<uint32_t>(length);
            if (!m_manager.ProgressProportion(fraction))
                return IMPORT_STOPPED;
        }
        if (row >= rowLimit || t == kEof)
            break;
    }

    return IMPORT_DONE;
}

bool DatImportFilter::SettleReadingRules(const RString& path, bool interactive, int encoding) {
    switch (kind) {
        case KIND_CSV:
            ApplyFixedRules(!decimalSymbol.empty() && decimalSymbol[0] == ',' ? ";" : ",");
            m_manager.GetOption(kOptDateTimeSupport, dateTimeSupport, false);
            reading.BuildCharClasses();
            break;
        case KIND_BNA:
        case KIND_BLN:
            ApplyFixedRules(",\t; ");
            reading.BuildCharClasses();
            break;
        case KIND_DAT:
            LoadImportOptions(true);
            reading.BuildCharClasses();
            if (!delimiterGiven)
                reading.DetectDelimiter();
            break;
        default:
            LoadImportOptions(true);
            if (interactive) {
                const int fileIsUnicode = reading.reader->m_isUnicode;
                if (!RunImportDialog(encoding, fileIsUnicode))
                    return false;
                ReopenForChoice(path, fileIsUnicode, unicodeChoice, encoding);
            }
            reading.reader->SetCodePage(importCodePage);
            reading.BuildCharClasses();
            if (!interactive && !delimiterGiven)
                reading.DetectDelimiter();
            break;
    }
    return true;
}

ImportStatus DatImportFilter::RunImport(const RString& path, bool interactive) {
    reading.reader.reset();
    const int encoding = ClipboardTextEncoding();
    OpenReader(path, encoding, 0, textTypeFixed);
    if (!SettleReadingRules(path, interactive, encoding))
        return IMPORT_CANCELLED;

    const int64_t length = reading.reader->GetLength();
    if (static_cast<uint32_t>(length) == 0)
        Throw_ERR_UNEXPECTED_EOF(kImportSource, kEmptyReaderLine,
                                 reading.reader->GetFilePath().c_str());

    CProgress progress(&m_manager);
    m_manager.ProgressStart("", true, true);
    // Every way out but an error ends the progress display; an error is the host's to show.
    struct ProgressEnd {
        qorvix::IoManager& manager;
        int unwinding = std::uncaught_exceptions();
        ~ProgressEnd() {
            if (std::uncaught_exceptions() == unwinding)
                manager.ProgressStop();
        }
    } progressEnd{m_manager};
    if (fromMemory)
        m_manager.ProgressMessage(kMsgImportingMemory);
    else
        progress.MessageVA(
            kMsgImportingFile,
            brisko::CPath(reading.reader->GetFilePath()).GetNameAndExtension().c_str());

    TrBeginWksImp begin;
    if (!ImportObject(begin))
        return IMPORT_STOPPED;

    reading.SkipStartRows();
    reading.fixedColumn = 0;
    ImportStatus status;
    if (fastPaths) {
        FieldPipeline fields(reading, *this);
        status = EmitRows(fields, length);
    } else {
        PlainFields fields(reading);
        status = EmitRows(fields, length);
    }
    if (status != IMPORT_DONE)
        return status;

    TrEndWksImp end;
    return ImportObject(end) ? IMPORT_DONE : IMPORT_STOPPED;
}

void DatImportFilter::ApplyDialogSettings(const ImportDialogSettings& s) {
    useFixedWidth = !s.delimited;
    startRow = s.startRow;
    delimiters = s.delimiterText;
    qualifiers = s.qualifierText;
    eatWhitespace = s.skipLeadingSpaces;
    skipExtraDelimiters = s.consecutiveAsOne;
    importCodePage = static_cast<uint32_t>(s.codePage);
    decimalSymbol = RString(s.commaDecimal ? "," : ".");
    reading.BuildCharClasses();
    columnBreaks = ParseColumnBreaks(s.columnBreaksText.c_str());
}

bool DatImportFilter::BuildPreview(const ImportDialogSettings& s, std::vector<PreviewCell>& cells,
                                   int lineCount) {
    ApplyDialogSettings(s);
    if (!reading.reader)
        return true;
    const RString path = reading.reader->GetFilePath();
    ReopenForChoice(path, s.fileIsUnicode, s.encodingChoice, s.fileEncoding);
    reading.reader->SetCodePage(importCodePage);
    reading.SkipStartRows();

    const uint32_t lines = lineCount > 0 ? static_cast<uint32_t>(lineCount) : 0;
    if (useFixedWidth) {
        WString line;
        for (uint32_t i = 0; i < lines; ++i) {
            if (!reading.ReadRawLine(line))
                break;
            if (!line.empty())
                cells.push_back(PreviewCell{i, 0, true, line, 0.0});
        }
    } else {
        struct SinkGuard {
            DatImportFilter& filter;
            ~SinkGuard() { filter.previewSink = nullptr; }
        } guard{*this};
        previewSink = &cells;
        uint32_t row = 0, col = 0;
        while (row < lines) {
            const char16_t t = reading.ReadField();
            if (!EmitField(row, col, t))
                return false;
            if (t == kEof)
                break;
            if (t == kLF || t == kCR) {
                ++row;
                col = 0;
            }
        }
    }
    reading.reader->SeekToBegin();
    return true;
}

bool DatImportFilter::RunImportDialog(int fileEncoding, int fileIsUnicode) {
    ImportDialogSettings s;
    s.delimited = !useFixedWidth;
    s.startRow = startRow;
    s.columnBreaksText = FormatColumnBreaks(columnBreaks);
    s.delimiterText = delimiters;
    s.qualifierText = qualifiers;
    s.skipLeadingSpaces = eatWhitespace;
    s.commaDecimal = decimalSymbol.str() == ",";
    s.consecutiveAsOne = skipExtraDelimiters;
    s.codePage = static_cast<int32_t>(importCodePage);
    s.fileEncoding = fileEncoding;
    s.fileIsUnicode = fileIsUnicode;
    const RString filePath =
        reading.reader && !fromMemory ? reading.reader->GetFilePath() : RString();
    if (ShowImportDialog(*this, s, filePath) != 1)
        return false;
    ApplyDialogSettings(s);
    unicodeChoice = s.encodingChoice;
    SaveImportOptions(true);
    return true;
}

}  // namespace dornel
