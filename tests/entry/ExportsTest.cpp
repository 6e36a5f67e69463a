// Tests of the plug-in boundary: the built library resolves its ten factories by their plain
// names, and each factory makes the filter of its direction and kind.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "PluginLibrary.h"
#include "entry/Exports.h"
#include "export/DatExportFilter.h"
#include "import/DatImportFilter.h"

namespace dornel::test {
namespace {

#if defined(_WIN32)
const std::string kPlugin = std::string(DORNEL_TEST_BIN_DIR) + "/dornel.dll";
#else
const std::string kPlugin = std::string(DORNEL_TEST_BIN_DIR) + "/libdornel.so";
#endif

TEST(Exports, TheBuiltPluginResolvesEachFactoryAndNamesAMissingOne) {
    app::PluginLibrary plugin(kPlugin);
    qorvix::IoManager manager;
    for (int kind = 0; kind < 5; ++kind) {
        std::unique_ptr<qorvix::IoImportFilter> importer(plugin.Import(kind)(manager));
        std::unique_ptr<qorvix::IoExportFilter> exporter(plugin.Export(kind)(manager));
        ASSERT_TRUE(importer && exporter) << kind;
    }
    try {
        plugin.Resolve("ImportXYZ");
        ADD_FAILURE() << "resolved a factory that does not exist";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("ImportXYZ"), std::string::npos) << e.what();
    }
}

TEST(Exports, EachFactoryPassesItsKindWhateverTheOrderOfTheNames) {
    struct Case {
        ImportFactory importer;
        ExportFactory exporter;
        FileKind kind;
    } cases[] = {
        {ImportCSV, ExportCSV, KIND_CSV}, {ImportTXT, ExportTXT, KIND_TXT},
        {ImportDAT, ExportDAT, KIND_DAT}, {ImportBNA, ExportBNA, KIND_BNA},
        {ImportBLN, ExportBLN, KIND_BLN},
    };
    qorvix::IoManager manager;
    for (const Case& c : cases) {
        std::unique_ptr<qorvix::IoImportFilter> i(c.importer(manager));
        std::unique_ptr<qorvix::IoExportFilter> e(c.exporter(manager));
        auto* importer = dynamic_cast<DatImportFilter*>(i.get());
        auto* exporter = dynamic_cast<DatExportFilter*>(e.get());
        ASSERT_NE(importer, nullptr);
        ASSERT_NE(exporter, nullptr);
        EXPECT_EQ(importer->kind, c.kind);
        EXPECT_EQ(exporter->kind, c.kind);
    }
}

}  // namespace
}  // namespace dornel::test
