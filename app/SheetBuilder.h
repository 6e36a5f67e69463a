// Fills the host's worksheet on a thread of its own while an import goes on.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "Worksheet.h"
#include "host/brisko/BatchQueue.h"

namespace dornel::app {

/// A record sink that stores cells on a second thread. A record lives only during the call
/// that hands it over, so each is turned into a cell at once; the cells travel in batches, and
/// the import does not wait for the worksheet's memory to be found and filled. At most a few
/// batches are under way, so the memory in between stays small.
class SheetBuilder : public RecordSink {
  public:
    /// threaded: store on a second thread; otherwise each cell goes to the worksheet at once.
    explicit SheetBuilder(Worksheet& sheet, bool threaded = WorthAThread());
    /// A thread of its own pays where the cores outnumber the import's own two threads (the
    /// filter reads on one and makes cells on another); with two cores it would take turns
    /// with them.
    static bool WorthAThread() { return std::thread::hardware_concurrency() > 2; }
    ~SheetBuilder() override;
    SheetBuilder(const SheetBuilder&) = delete;
    SheetBuilder& operator=(const SheetBuilder&) = delete;

    void Take(const qorvix::TrBase& record) override;
    /// Where records should go: the builder when it stores on its own thread, otherwise the
    /// worksheet itself, which spares a call for every cell.
    RecordSink& Sink() { return thread_.joinable() ? static_cast<RecordSink&>(*this) : sheet_; }
    /// Returns when every cell taken is in the worksheet; throws what storing them threw.
    void Finish();

  private:
    struct Entry {
        int32_t row;
        int32_t col;
        Cell cell;  // a text's offset counts in the batch's texts
    };
    struct Batch {
        std::vector<Entry> entries;  // sized once; the first count are in use
        size_t count = 0;
        std::string texts;
    };

    void Send();
    void Run();

    Worksheet& sheet_;
    CellReader reader_;
    Batch filling_;
    bool failed_ = false;  // storing failed: the cells that follow are dropped
    brisko::BatchQueue<Batch> batches_;
    std::thread thread_;
};

}  // namespace dornel::app
