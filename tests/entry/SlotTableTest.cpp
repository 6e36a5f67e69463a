// Tests of the slot table as a host sees it: every slot called through the base pointer, in
// slot order, for both directions.
#include <gtest/gtest.h>

#include <memory>

#include "entry/Exports.h"
#include "host/brisko/Exception.h"
#include "host/qorvix/Records.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

using namespace qorvix;

const CTypeInfo* const kAllRecords[] = {
    TrBeginWksImp::GetClassTypeId(), TrEndWksImp::GetClassTypeId(),  TrCell::GetClassTypeId(),
    TrCellFmt::GetClassTypeId(),     TrInitWksExp::GetClassTypeId(), TrWksCap::GetClassTypeId(),
    TrPoints::GetClassTypeId(),
};

TEST(SlotTable, ImportFilterAnswersEverySlotThroughItsBase) {
    TempDir dir;
    const std::string path = dir.Write("data.csv", "1,2\n");
    RecordingManager manager;
    manager.SetFormatKey("csv");
    IoImportFilter* filter = ImportCSV(manager);
    ASSERT_NE(filter, nullptr);
    std::vector<void*> pages;
    EXPECT_EQ(filter->GetPropertyPages(pages), 0);         // 1
    filter->ApplyStringOptions(RString("Defaults=true"));  // 2
    EXPECT_FALSE(filter->GetOptionsString().empty());      // 3
    EXPECT_EQ(filter->GetOptionSeparator(), ';');          // 4
    const bool supported[] = {true, true, true, true, false, false, false};
    for (size_t i = 0; i < 7; ++i)  // 5
        EXPECT_EQ(filter->SupportsType(kAllRecords[i]), supported[i]) << kAllRecords[i]->GetName();
    EXPECT_FALSE(filter->SupportsType(nullptr));
    RString value;
    EXPECT_TRUE(filter->GetStringOption(RString("A=1;B=2"), "b", value));  // 6
    EXPECT_EQ(value.str(), "2");
    EXPECT_EQ(filter->ProbeFile(RString(path)), 1);  // 7
    RString summary;
    EXPECT_FALSE(filter->GetSummary(summary));                            // 8
    EXPECT_EQ(filter->ImportFile(RString(path), false), IMPORT_DONE);     // 9
    EXPECT_EQ(filter->ImportFromMemory("3,4\n", 4, false), IMPORT_DONE);  // 10
    TrBeginWksImp begin;
    EXPECT_TRUE(filter->ImportObject(begin));  // 11
    delete filter;                             // 0
    EXPECT_EQ(manager.records,
              (std::vector<std::string>{"begin", "number 0 0 1", "number 0 1 2", "end", "begin",
                                        "number 0 0 3", "number 0 1 4", "end", "begin"}));
}

TEST(SlotTable, ExportFilterAnswersEverySlotThroughItsBase) {
    RecordingManager manager;
    for (ExportFactory factory : {ExportCSV, ExportTXT, ExportDAT, ExportBNA, ExportBLN}) {
        IoExportFilter* filter = factory(manager);
        ASSERT_NE(filter, nullptr);
        std::vector<void*> pages;
        EXPECT_EQ(filter->GetPropertyPages(pages), 0);
        EXPECT_EQ(filter->GetOptionSeparator(), ';');
        const bool supported[] = {false, false, true, true, true, true, true};
        for (size_t i = 0; i < 7; ++i)
            EXPECT_EQ(filter->SupportsType(kAllRecords[i]), supported[i])
                << kAllRecords[i]->GetName();
        RString value;
        EXPECT_FALSE(filter->GetStringOption(RString("A=1"), "B", value));
        delete filter;
    }
}

}  // namespace
}  // namespace dornel::test
