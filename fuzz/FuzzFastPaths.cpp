// Fuzz target: the import's fast paths against its plain path. The same bytes under the same
// options are imported both ways and must give the same cells, the same status and the same
// failure; and the field the bytes begin with must get the same verdict and value from the
// one-pass number scan as from the number test and the general reader, and the same narrow text
// with its length known as without.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "RecordCheck.h"
#include "common/Runtime.h"
#include "host/brisko/Exception.h"
#include "host/brisko/File.h"
#include "import/DatImportFilter.h"
#include "import/NumberScan.h"

using namespace dornel;

namespace {

const char* const kDelimiterSets[] = {",", "\t", ";", " ", ",\t; ", "|", ",;|\t =:/!", ""};
const char* const kQualifierSets[] = {"\"", "'", "\"'", "", ","};

struct Outcome {
    int status = -1;
    std::string failure;
    std::vector<fuzz::CheckingManager::Cell> cells;
};

bool Same(const Outcome& a, const Outcome& b) {
    if (a.status != b.status || a.failure != b.failure || a.cells.size() != b.cells.size())
        return false;
    for (size_t i = 0; i < a.cells.size(); ++i) {
        const auto &x = a.cells[i], &y = b.cells[i];
        if (x.row != y.row || x.col != y.col || x.kind != y.kind || x.text != y.text ||
            std::memcmp(&x.number, &y.number, sizeof x.number) != 0)
            return false;
    }
    return true;
}

void CheckNumberScan(const std::u16string& field) {
    double fast = 0;
    const ScannedField verdict = ScanNumberField(field.c_str(), fast);
    if (verdict == ScannedField::Unsure)
        return;
    // The plain path: the number test, one token only, then the general reader.
    bool number = brisko::IsNumber(field.c_str());
    if (number) {
        const char16_t* q = field.c_str();
        while (*q && !IsSpace16(*q))
            ++q;
        while (IsSpace16(*q))
            ++q;
        number = *q == 0;
    }
    if ((verdict == ScannedField::Number) != number)
        std::abort();
    if (number) {
        const double plain = WideToDouble(field.c_str());
        if (std::memcmp(&fast, &plain, sizeof fast) != 0)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Small blocks put block edges inside most inputs.
    brisko::CEncodedBufferedFile::SetDefaultBlockSize(61);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as UTF-16 units and as a field: the scan and the narrowing.
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    const std::u16string field = units.substr(0, units.find(u'\0'));
    CheckNumberScan(field);
    brisko::RString withLength, withZero;
    withLength.FromWide(units.c_str(), units.size());
    withZero.FromWide(units.c_str());
    if (withLength.str() != withZero.str())
        std::abort();

    fuzz::FuzzInput in(data, size);
    const auto kind = static_cast<FileKind>(in.Below(5));
    const uint8_t flags = in.Byte();
    const char* delimiters = kDelimiterSets[in.Below(std::size(kDelimiterSets))];
    const char* qualifiers = kQualifierSets[in.Below(std::size(kQualifierSets))];
    const int startRow = static_cast<int>(in.Below(3));
    const int maxRow = static_cast<int>(in.Below(8)) - 1;
    const int maxCol = static_cast<int>(in.Below(8)) - 1;
    const std::string body = in.Rest();
    const std::string path = fuzz::WriteScratch("import.txt", body);

    auto import = [&](bool fast) {
        fuzz::CheckingManager manager;
        manager.SetOption("UseFixedWidth", (flags & 1) != 0, false);
        manager.SetOption("EatWhitespace", (flags & 2) != 0, false);
        manager.SetOption("SkipExtraDelimiters", (flags & 4) != 0, false);
        manager.SetOption("AggressiveConversion", (flags & 8) != 0, false);
        manager.SetOption("DateTimeSupport", (flags & 16) != 0, false);
        manager.SetOption("DecimalSymbol", (flags & 32) ? "," : ".", false);
        manager.SetOption("Delimiter", delimiters, false);
        manager.SetOption("TextQualifier", qualifiers, false);
        manager.SetOption("ColumnBreaks", "0,2,5,9", false);
        manager.SetOption("StartRow", startRow, false);
        manager.SetOption("MaxRow", maxRow, false);
        manager.SetOption("MaxCol", maxCol, false);
        DatImportFilter filter(manager, kind);
        filter.fastPaths = fast;
        Outcome o;
        try {
            o.status = filter.ImportFile(brisko::RString(path), false);
            manager.CheckFinished(o.status);
        } catch (const brisko::Exception& e) {
            o.failure = e.what();
        }
        o.cells = std::move(manager.cells);
        return o;
    };
    if (!Same(import(true), import(false)))
        std::abort();
    return 0;
}
