// Fuzz target: the writer over arbitrary record sequences, to a file or a memory block.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "export/DatExportFilter.h"
#include "host/brisko/Exception.h"
#include "host/qorvix/GlobalMemory.h"
#include "host/qorvix/Records.h"

using namespace dornel;
using namespace qorvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const auto kind = static_cast<FileKind>(in.Below(5));
    const int textType = static_cast<int>(in.Below(4)) - 1;
    const std::string options = in.Text(24);
    IoManager manager;
    if (textType >= 0)
        manager.SetOption("ClipboardTextType", textType, false);
    HGLOBAL block = nullptr;
    uint32_t blockSize = 0;
    std::vector<double> numbers(64);
    for (double& v : numbers) {
        int64_t bits = 0;
        for (int k = 0; k < 8; ++k)
            bits = (bits << 8) | in.Byte();
        std::memcpy(&v, &bits, sizeof v);
    }
    try {
        DatExportFilter filter(manager, kind);
        if (!options.empty())
            filter.ApplyStringOptions(brisko::RString(options));
        if (filter.BeginExport(brisko::RString(fuzz::ScratchPath("export.txt")), false) != 0)
            return 0;
        for (int n = 0; n < 64; ++n) {
            const uint8_t op = in.Byte();
            const int32_t row = static_cast<int32_t>(in.Below(16)) - 1;
            ExportStatus status = EXPORT_DONE;
            switch (op % 6) {
                case 0: {
                    TrInitWksExp init;
                    if (op & 8) {
                        init.handleDest = &block;
                        init.sizeDest = &blockSize;
                    }
                    status = filter.ExportObject(init);
                    break;
                }
                case 1: {
                    TrWksCap cap;
                    cap.flags = static_cast<uint16_t>(in.Byte() << 8 | in.Byte());
                    status = filter.ExportObject(cap);
                    break;
                }
                case 2: {
                    TrCell cell(row, 0, brisko::RString(in.Text(8)));
                    cell.kind = static_cast<int32_t>(in.Below(6));
                    cell.number = numbers[in.Below(64)];
                    status = filter.ExportObject(cell);
                    break;
                }
                case 3: {
                    TrCellFmt format(row, 0, 0);
                    format.mask = static_cast<uint16_t>(in.Byte());
                    format.category = in.Byte();
                    format.format = brisko::RString(in.Text(16));
                    status = filter.ExportObject(format);
                    break;
                }
                case 4: {
                    TrPoints points;
                    points.coordType = static_cast<brisko::CPrimType>(in.Below(9));
                    points.attrType = static_cast<brisko::CPrimType>(in.Below(9));
                    points.pointCount = static_cast<int32_t>(in.Below(3));
                    points.attrCount = static_cast<int32_t>(in.Below(3));
                    points.coords = numbers.data();
                    points.attrs = numbers.data() + 20;
                    status = filter.ExportObject(points);
                    break;
                }
                default:
                    break;
            }
            if (status != EXPORT_DONE)
                return 0;
        }
        filter.EndExport();
    } catch (const brisko::Exception&) {
        // The writer's own failures are reports, not faults.
    }
    if (block)
        GlobalFree(block);
    return 0;
}
