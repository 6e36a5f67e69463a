// The worksheet filled on a second thread.
#include "SheetBuilder.h"

#include <system_error>
#include <utility>

namespace dornel::app {

namespace {

constexpr size_t kBatchCells = 16384;
// Six on their way, one being filled, one being stored.
constexpr size_t kBatches = 8;
// The builder sleeps until this many batches wait: each wake-up has a cost of its own.
constexpr size_t kBatchesPerWake = 3;

}  // namespace

SheetBuilder::SheetBuilder(Worksheet& sheet, bool threaded)
    : sheet_(sheet), batches_(kBatches, kBatchesPerWake) {
    if (!threaded)
        return;
    bool made;
    batches_.Acquire(filling_, made);
    filling_.entries.resize(kBatchCells);
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the cells go to the worksheet at once.
        filling_.entries.clear();
    }
}

SheetBuilder::~SheetBuilder() {
    try {
        Finish();
    } catch (...) {
        // A failure not asked for by Finish has nowhere to go from a destructor.
    }
}

void SheetBuilder::Take(const qorvix::TrBase& record) {
    if (!thread_.joinable()) {
        sheet_.Take(record);
        return;
    }
    // Read straight into the batch's next entry: a cell put together on the stack and copied
    // as a whole would be read back before its parts were written out.
    Entry& entry = filling_.entries[filling_.count];
    std::string_view text;
    if (!reader_.Take(record, entry.row, entry.col, entry.cell, text))
        return;
    if (entry.cell.kind == Cell::Text) {
        entry.cell.textOffset = filling_.texts.size();
        entry.cell.textLength = static_cast<uint32_t>(text.size());
        filling_.texts.append(text);
    }
    if (++filling_.count == kBatchCells)
        Send();
}

void SheetBuilder::Send() {
    bool made = false;
    if (failed_ || !batches_.Send(std::move(filling_)) || !batches_.Acquire(filling_, made)) {
        // Storing failed; Finish tells why. One batch is kept to be filled and dropped.
        failed_ = true;
        made = filling_.entries.size() != kBatchCells;
    }
    filling_.count = 0;
    filling_.texts.clear();
    if (made)
        filling_.entries.resize(kBatchCells);
}

void SheetBuilder::Run() {
    Batch batch;
    bool failed = false;
    while (batches_.Take(batch)) {
        try {
            for (size_t i = 0; i < batch.count && !failed; ++i) {
                const Entry& e = batch.entries[i];
                const std::string_view text =
                    e.cell.kind == Cell::Text
                        ? std::string_view(batch.texts).substr(e.cell.textOffset, e.cell.textLength)
                        : std::string_view();
                sheet_.Store(static_cast<size_t>(e.row), static_cast<size_t>(e.col), e.cell, text);
            }
        } catch (...) {
            failed = true;
            batches_.Fail(std::current_exception());
            batches_.Stop();
        }
        batches_.GiveBack(std::move(batch));
    }
}

void SheetBuilder::Finish() {
    if (thread_.joinable()) {
        if (filling_.count > 0 && !failed_)
            batches_.Send(std::move(filling_));
        batches_.Close();
        thread_.join();
        if (const std::exception_ptr failure = batches_.Failure())
            std::rethrow_exception(failure);
    }
}

}  // namespace dornel::app
