// How long a cache line takes to go from one processor to another and back: the median of many
// round trips between the first two processors the process may run on, in nanoseconds. On a
// virtual machine two processors may share a cache for a while and then none, and a program
// whose threads hand data to each other runs at a different speed in the two spells; bench/run
// prints this beside its times so that a table says which spell it was measured in.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace {

constexpr int kTrips = 20000;
constexpr int kRounds = 9;

alignas(64) std::atomic<int> ball{0};

bool Pin(int cpu) {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return pthread_setaffinity_np(pthread_self(), sizeof set, &set) == 0;
#else
    (void)cpu;
    return false;
#endif
}

}  // namespace

int main() {
    std::vector<int> cpus;
#if defined(__linux__)
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        for (int c = 0; c < CPU_SETSIZE && cpus.size() < 2; ++c)
            if (CPU_ISSET(c, &allowed))
                cpus.push_back(c);
#endif
    if (cpus.size() < 2) {
        std::fprintf(stderr, "core_round_trip: fewer than two processors to run on\n");
        return 1;
    }
    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round) {
        ball.store(0);
        std::thread other([&] {
            Pin(cpus[1]);
            for (int i = 0; i < kTrips; ++i) {
                while (ball.load(std::memory_order_acquire) != 2 * i + 1) {
                }
                ball.store(2 * i + 2, std::memory_order_release);
            }
        });
        Pin(cpus[0]);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kTrips; ++i) {
            ball.store(2 * i + 1, std::memory_order_release);
            while (ball.load(std::memory_order_acquire) != 2 * i + 2) {
            }
        }
        const auto end = std::chrono::steady_clock::now();
        other.join();
        rounds.push_back(std::chrono::duration<double, std::nano>(end - start).count() / kTrips);
    }
    std::nth_element(rounds.begin(), rounds.begin() + kRounds / 2, rounds.end());
    std::printf("%.0f\n", rounds[kRounds / 2]);
    return 0;
}
