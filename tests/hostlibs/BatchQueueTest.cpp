// Tests of the hand-over of batches between two threads: order, the bound, and both ends.
#include "host/brisko/BatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <random>
#include <thread>
#include <vector>

namespace dornel::test {
namespace {

struct Batch {
    std::vector<int> values;
};

TEST(BatchQueue, EveryValueArrivesOnceInOrderWithinTheBound) {
    struct Case {
        size_t limit, consumerWake, producerWake;
    };
    for (const Case c : {Case{1, 1, 1}, Case{2, 1, 1}, Case{8, 3, 4}, Case{3, 5, 5}, Case{4, 3, 3}}) {
        brisko::BatchQueue<Batch> queue(c.limit, c.consumerWake, c.producerWake);
        std::atomic<size_t> made{0};
        std::thread producer([&] {
            std::mt19937 random(7);
            int next = 0;
            Batch batch;
            bool fresh;
            while (next < 5000 && queue.Acquire(batch, fresh)) {
                made += fresh ? 1 : 0;
                batch.values.clear();
                for (int n = static_cast<int>(random() % 50); n > 0 && next < 5000; --n)
                    batch.values.push_back(next++);
                queue.Send(std::move(batch));
            }
            queue.Close();
        });
        std::vector<int> got;
        Batch batch;
        while (queue.Take(batch)) {
            got.insert(got.end(), batch.values.begin(), batch.values.end());
            queue.GiveBack(std::move(batch));
        }
        producer.join();
        EXPECT_TRUE(queue.Finished());
        ASSERT_EQ(got.size(), 5000u) << c.limit;
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(got[i], i);
        EXPECT_LE(made.load(), c.limit);
    }
}

TEST(BatchQueue, AConsumerThatStopsEndsTheProducersWaitAndFindsWhereItStopped) {
    brisko::BatchQueue<Batch> queue(2);
    Batch batch;
    bool fresh;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(queue.Acquire(batch, fresh));
        EXPECT_TRUE(fresh);
        batch.values = {i};
        ASSERT_TRUE(queue.Send(std::move(batch)));
    }
    ASSERT_TRUE(queue.Take(batch));
    // Both batches are out and none came back: a producer waits until the consumer stops.
    bool acquired = true;
    std::thread producer([&] {
        Batch more;
        bool made;
        acquired = queue.Acquire(more, made);
    });
    queue.Stop();
    producer.join();
    EXPECT_FALSE(acquired);
    // What was sent and not taken tells where the consumer stopped.
    Batch left;
    ASSERT_TRUE(queue.TryTake(left));
    EXPECT_EQ(left.values, std::vector<int>{1});
    EXPECT_FALSE(queue.TryTake(left));
    EXPECT_FALSE(queue.Send(std::move(batch)));
}

TEST(BatchQueue, AProducerThatClosesEarlyIsToldApartFromOneThatFinished) {
    brisko::BatchQueue<Batch> queue(4);
    queue.Fail(std::make_exception_ptr(std::runtime_error("first")));
    queue.Fail(std::make_exception_ptr(std::runtime_error("second")));
    queue.Close(false);
    Batch batch;
    EXPECT_FALSE(queue.Take(batch));
    EXPECT_FALSE(queue.Finished());
    try {
        std::rethrow_exception(queue.Failure());
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "first");
    }
}

}  // namespace
}  // namespace dornel::test
