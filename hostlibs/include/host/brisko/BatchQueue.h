// The bounded hand-over of batches from one thread to another, for whoever reads ahead on a
// thread of its own: the blocks of a decoded file, the fields of an import, the cells of a
// worksheet or a view.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisko {

/// Makes stores that went around the caches (streamed stores) visible to other threads; comes
/// before the memory they wrote is handed over.
inline void StreamFence() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

/// Batches go from a producer to a consumer in the order sent; the consumer gives each back once
/// used, and the producer fills it again, so that a batch's buffers are made once. At most limit
/// batches exist at a time: the producer waits for one to come back, so the memory between the
/// two threads stays bounded. Wake-ups cost more than small batches do, so each side may sleep
/// until several are there for it.
///
/// Either side may end it: the producer closes the queue after its last batch (saying whether
/// all it meant to send was sent), the consumer stops taking, and the producer's waits then end
/// at once. A failure on either side is kept for the other to rethrow.
template <class Batch>
class BatchQueue {
  public:
    /// limit: the most batches at a time. consumerWake: an idle consumer sleeps until this many
    /// batches wait, or the queue closes. producerWake: a producer with no batch to fill sleeps
    /// until this many have come back, or may be made.
    /// The two wake counts are cut to what the limit allows: with both sides asleep, the batches
    /// sent and those come back make up the limit, so the two counts may add up to one more.
    explicit BatchQueue(size_t limit, size_t consumerWake = 1, size_t producerWake = 1)
        : limit_(std::max<size_t>(limit, 1)),
          consumerWake_(std::clamp<size_t>(consumerWake, 1, limit_)),
          producerWake_(std::clamp<size_t>(producerWake, 1, limit_ + 1 - consumerWake_)) {}

    // The producer's side.

    /// A batch to fill: one that came back, or, while fewer than the limit were made, a new one
    /// that the caller gives its buffers (made true). False once the consumer stopped.
    bool Acquire(Batch& batch, bool& made) {
        std::unique_lock lock(mutex_);
        made = false;
        if (spare_.empty() && made_ >= limit_)
            changed_.wait(lock, [this] {
                return stopped_ || spare_.size() >= producerWake_ || made_ < limit_;
            });
        if (stopped_)
            return false;
        if (!spare_.empty()) {
            batch = std::move(spare_.back());
            spare_.pop_back();
        } else {
            ++made_;
            made = true;
            batch = Batch();
        }
        return true;
    }

    /// Hands a filled batch over; false once the consumer stopped, when it will take no more
    /// (the batch is still there for TryTake, which finds where the consumer stopped).
    bool Send(Batch&& batch) {
        StreamFence();
        bool goOn;
        {
            std::lock_guard lock(mutex_);
            filled_.push_back(std::move(batch));
            goOn = !stopped_;
        }
        changed_.notify_all();
        return goOn;
    }

    /// No batch comes after those sent; finished: all that was meant to come was sent.
    void Close(bool finished = true) {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            finished_ = finished;
        }
        changed_.notify_all();
    }

    // The consumer's side.

    /// The oldest batch sent, waiting for one; false once the queue is closed and empty.
    bool Take(Batch& batch) {
        std::unique_lock lock(mutex_);
        starved_ = filled_.empty() && !closed_;
        if (filled_.size() < consumerWake_)
            changed_.wait(lock, [this] { return filled_.size() >= consumerWake_ || closed_; });
        if (filled_.empty())
            return false;
        batch = std::move(filled_.front());
        filled_.pop_front();
        lock.unlock();
        changed_.notify_all();
        return true;
    }

    /// The oldest batch sent, if one is there now; never waits.
    bool TryTake(Batch& batch) {
        std::lock_guard lock(mutex_);
        if (filled_.empty())
            return false;
        batch = std::move(filled_.front());
        filled_.pop_front();
        return true;
    }

    /// A batch used up, kept for the producer to fill again.
    void GiveBack(Batch&& batch) {
        {
            std::lock_guard lock(mutex_);
            spare_.push_back(std::move(batch));
        }
        changed_.notify_all();
    }

    /// Takes no more batches: the producer's waits end, and Send tells it to stop.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
    }

    /// After Take found nothing more: whether the producer sent all it meant to.
    bool Finished() {
        std::lock_guard lock(mutex_);
        return finished_;
    }
    /// Whether the consumer found no batch waiting at its last Take.
    bool Starved() {
        std::lock_guard lock(mutex_);
        return starved_;
    }

    /// Keeps the first failure of either side.
    void Fail(std::exception_ptr failure) {
        {
            std::lock_guard lock(mutex_);
            if (!failure_)
                failure_ = std::move(failure);
        }
        changed_.notify_all();
    }
    std::exception_ptr Failure() {
        std::lock_guard lock(mutex_);
        return failure_;
    }

  private:
    const size_t limit_;
    const size_t consumerWake_;
    const size_t producerWake_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> filled_;  // sent, oldest first
    std::vector<Batch> spare_;  // given back
    size_t made_ = 0;
    bool closed_ = false;
    bool finished_ = false;
    bool stopped_ = false;
    bool starved_ = false;
    std::exception_ptr failure_;
};

}  // namespace brisko
