// Fuzz target: the one-pass number scan and the narrowing of texts whose length is known,
// against the plain ways. A field must get the same verdict and the same value, to the bit,
// from the scan as from the number test, the one-token rule and the general reader; a text the
// same narrow form with its length given as without.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/DecimalText.h"
#include "host/brisko/File.h"
#include "host/brisko/RString.h"
#include "import/NumberScan.h"

using namespace dornel;

namespace {

void CheckNumberScan(const std::u16string& field) {
    double fast = 0;
    const ScannedField verdict = ScanNumberField(field.c_str(), field.size(), fast);
    // Scanned where it was read, before a delimiter that is no unit of a number, the field
    // gets the same verdict, where the scan decides one.
    for (const char16_t after : {u',', u'\t', u' ', u'"', u'x'}) {
        // The import scans no empty field.
        if (field.empty())
            break;
        const std::u16string inText = field + after + u"5";
        double inPlace = 0;
        const ScannedField v = ScanPlainNumber(inText.c_str(), field.size(), inPlace);
        if (v != ScannedField::Unscanned &&
            (v != verdict ||
             (v == ScannedField::Number && std::memcmp(&inPlace, &fast, sizeof fast) != 0)))
            std::abort();
    }
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    CheckNumberScan(units.substr(0, units.find(u'\0')));
    // The same bytes widened one to one: numbers are mostly ASCII.
    std::u16string narrow(data, data + size);
    CheckNumberScan(narrow.substr(0, narrow.find(u'\0')));
    brisko::RString withLength, withZero;
    withLength.FromWide(units.c_str(), units.size());
    withZero.FromWide(units.c_str());
    if (withLength.str() != withZero.str())
        std::abort();
    return 0;
}
