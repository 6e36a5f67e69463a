// Fuzz target: the import's fast paths against its plain path. The same bytes under the same
// options, in chunks of a few fields with and without the reading thread, the numbers scanned
// on either thread, in blocks of two sizes, are imported both ways and must give the same cells,
// the same status and the same failure.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "ImportChoices.h"
#include "RecordCheck.h"
#include "host/brisko/Exception.h"
#include "import/DatImportFilter.h"
#include "import/FieldPipeline.h"

using namespace dornel;

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const fuzz::ImportChoices c(in);
    // Chunks of a few fields each, read with or without the second thread. Small blocks put
    // block edges inside most inputs; in the larger ones, fields are split from masks of many
    // units.
    const uint8_t chunking = in.Byte();
    brisko::CEncodedBufferedFile::SetDefaultBlockSize((chunking & 128) ? 131 : 61);
    // The number scan on either thread, or moving between them as they keep up.
    const auto scanOn = static_cast<FieldPipeline::ScanOn>(in.Byte() % 3);
    FieldPipeline::SetTuning({1000 + (chunking & 7) * 300u, 1u + (chunking >> 3 & 7),
                              (chunking & 64) ? int64_t{0} : int64_t{1} << 40, scanOn});
    const std::string body = in.Rest();
    const std::string path = fuzz::WriteScratch("import.txt", body);

    auto import = [&](bool fast) {
        fuzz::CheckingManager manager;
        c.Apply(manager);
        manager.SetOption("DecimalSymbol", (c.flags & 32) ? "," : ".", false);
        DatImportFilter filter(manager, c.kind);
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
