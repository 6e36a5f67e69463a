// The worksheet filled on a second thread.
#include "SheetBuilder.h"

#include <system_error>
#include <utility>

namespace dornel::app {

namespace {

constexpr size_t kBatchCells = 16384;
constexpr size_t kBatchesUnderWay = 6;
// The builder sleeps until this many batches wait: each wake-up has a cost of its own.
constexpr size_t kBatchesPerWake = 3;

}  // namespace

SheetBuilder::SheetBuilder(Worksheet& sheet, bool threaded) : sheet_(sheet) {
    if (!threaded)
        return;
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
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return sent_.size() < kBatchesUnderWay || failure_; });
    sent_.push_back(std::move(filling_));
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        filling_ = Batch();
        filling_.entries.resize(kBatchCells);
    }
    changed_.notify_all();
}

void SheetBuilder::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (sent_.empty())
            changed_.wait(lock, [this] { return sent_.size() >= kBatchesPerWake || closing_; });
        if (sent_.empty())
            return;
        Batch batch = std::move(sent_.front());
        sent_.erase(sent_.begin());
        const bool failed = failure_ != nullptr;
        lock.unlock();
        std::exception_ptr failure;
        try {
            if (!failed) {
                for (size_t i = 0; i < batch.count; ++i) {
                    const Entry& e = batch.entries[i];
                    const std::string_view text =
                        e.cell.kind == Cell::Text
                            ? std::string_view(batch.texts)
                                  .substr(e.cell.textOffset, e.cell.textLength)
                            : std::string_view();
                    sheet_.Store(static_cast<size_t>(e.row), static_cast<size_t>(e.col), e.cell,
                                 text);
                }
            }
        } catch (...) {
            failure = std::current_exception();
        }
        batch.count = 0;
        batch.texts.clear();
        lock.lock();
        if (failure && !failure_)
            failure_ = failure;
        spare_.push_back(std::move(batch));
        changed_.notify_all();
    }
}

void SheetBuilder::Finish() {
    if (thread_.joinable()) {
        if (filling_.count > 0)
            Send();
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
}

}  // namespace dornel::app
