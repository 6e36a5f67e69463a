// The import filter object: construction, the record kinds it makes, the file probe and memory
// blocks.
#include "import/DatImportFilter.h"

#include <cstring>

#include "common/OptionVocabulary.h"
#include "common/Runtime.h"
#include "host/brisko/File.h"
#include "host/qorvix/Records.h"
#include "import/ImportTexts.h"

namespace dornel {

using namespace qorvix;

DatImportFilter::DatImportFilter(IoManager& manager, FileKind kind)
    : FilterSlots(manager), ReadingRules(kind) {
    ResetImportDefaults();
}

DatImportFilter::~DatImportFilter() = default;

bool DatImportFilter::SupportsType(const brisko::CTypeInfo* type) {
    return type == TrBeginWksImp::GetClassTypeId() || type == TrEndWksImp::GetClassTypeId() ||
           type == TrCell::GetClassTypeId() || type == TrCellFmt::GetClassTypeId();
}

int DatImportFilter::ProbeFile(const RString& path) {
    try {
        if (brisko::GetFileSize(path) > 0) {
            const brisko::ConfidenceLevel confidence = brisko::IsFileBinary(path, 512);
            if (confidence == brisko::CONF_BINARY || confidence == brisko::CONF_UNREADABLE)
                return 0;
        }
        {
            // Only the opening matters; the file is closed again at once.
            brisko::CEncodedBufferedFile probe(path, "r", 1, brisko::TE_ANY, 0, false, false);
        }
        const RString key = m_manager.GetFormatKey();
        const RString extension = brisko::CPath(path).GetExtension();
        if (!extension.empty()) {
            const char* ext = extension.c_str() + 1;
            const char* k = key.c_str();
            auto is = [](const char* a, const char* b) { return CompareNoCase(a, b) == 0; };
            // The boundary keys end in "w"; every other key is its own extension.
            if (is(ext, k) || (is(ext, "bln") && is(k, "blnw")) ||
                (is(ext, "bna") && is(k, "bnaw")))
                return 1;
        }
        return CompareNoCase(key.c_str(), "txt") == 0 ? 2 : 0;
    } catch (...) {
        // The probe answers questions; it never fails.
        return 0;
    }
}

ImportStatus DatImportFilter::ImportFromMemory(const void* data, uint32_t size, bool flag) {
    const int textType = ReadClipboardTextType(m_manager);
    aggressiveConversion = false;
    if (textType == 0) {
        aggressiveConversion = true;
        const void* zero = size > 0 ? std::memchr(data, 0, size) : nullptr;
        if (zero)
            size = static_cast<uint32_t>(static_cast<const char*>(zero) -
                                         static_cast<const char*>(data));
    } else if (textType == 1) {
        aggressiveConversion = true;
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (uint32_t unit = 0; (unit + 1) * 2 <= size; ++unit) {
            if (bytes[2 * unit] == 0 && bytes[2 * unit + 1] == 0) {
                size = unit * 2;
                break;
            }
        }
    }
    fromMemory = true;
    return IoImportFilter::ImportFromMemory(data, size, flag);
}

}  // namespace dornel
