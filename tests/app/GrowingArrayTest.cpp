// The growing array's appends keep every byte and every value, at the places they report, across
// growth, and write nothing past what they append. A large array moves out of the heap once and
// then grows in place, and stays on the heap where the system refuses it a range.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "GrowingArray.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace dornel::app {
namespace {

TEST(GrowingArray, StreamedTextsKeepEveryByteAtTheirPlace) {
    // Every length around the eight- and sixteen-byte pieces, bytes above 0x7F among them, and
    // enough texts that the array grows several times.
    GrowingArray<char> texts;
    std::vector<std::pair<size_t, std::string>> placed;
    for (int round = 0; round < 200; ++round) {
        for (size_t length = 0; length <= 40; ++length) {
            std::string text(length, '\0');
            for (size_t i = 0; i < length; ++i)
                text[i] = static_cast<char>((round * 41 + length * 7 + i * 13) % 256);
            const size_t at = texts.StreamAppend(text.data(), text.size());
            EXPECT_EQ(at % 16, 0u) << length;
            placed.emplace_back(at, text);
        }
    }
    StreamFence();
    for (size_t k = 0; k < placed.size(); ++k) {
        const auto& [at, text] = placed[k];
        ASSERT_LE(at + text.size(), texts.size());
        ASSERT_EQ(std::string_view(texts.data() + at, text.size()), text) << "text " << k;
        // The next text starts past this one.
        if (k + 1 < placed.size()) {
            ASSERT_GE(placed[k + 1].first, at + text.size());
        }
    }
}

TEST(GrowingArray, AppendedTextsKeepEveryByteAndWriteNothingPastThem) {
    // Every length up to and past the short copy's sixteen, each text in a block of its own size
    // (a read past it is caught by the address sanitizer), and the room after each marked first.
    GrowingArray<char> texts;
    std::string expected;
    for (int round = 0; round < 50; ++round) {
        for (size_t length = 0; length <= 40; ++length) {
            std::vector<char> text(length);
            for (size_t i = 0; i < length; ++i)
                text[i] = static_cast<char>((round * 37 + length * 11 + i * 17) % 256);
            char* const room = texts.Spare(64);
            std::memset(room, '#', 64);
            texts.append(text.data(), text.size());
            expected.append(text.begin(), text.end());
            ASSERT_EQ(texts.size(), expected.size());
            ASSERT_EQ(std::string_view(room + length, 64 - length), std::string(64 - length, '#'))
                << "length " << length;
        }
    }
    ASSERT_EQ(std::string_view(texts.data(), texts.size()), expected);
}

TEST(GrowingArray, StreamedValuesAreTheValuesGiven) {
    struct Pair {
        uint64_t lo, hi;
    };
    GrowingArray<Pair> values;
    for (uint64_t i = 0; i < 5000; ++i)
        values.StreamBack(i * 0x9E3779B97F4A7C15ull, ~i);
    StreamFence();
    ASSERT_EQ(values.size(), 5000u);
    for (uint64_t i = 0; i < values.size(); ++i) {
        ASSERT_EQ(values[i].lo, i * 0x9E3779B97F4A7C15ull) << i;
        ASSERT_EQ(values[i].hi, ~i) << i;
    }
}

TEST(GrowingArray, MovesOnceOutOfTheHeapAndThenGrowsInPlaceKeepingEveryValue) {
    GrowingArray<uint64_t> values;
    const size_t count = 6 * ReservedMemory::kSmallestRangedArray / sizeof(uint64_t);
    [[maybe_unused]] const uint64_t* settled = nullptr;  // where the array lies in its range
    for (uint64_t i = 0; i < count; ++i) {
        values.push_back(i * 0x9E3779B97F4A7C15ull);
        if (i == 2 * ReservedMemory::kSmallestRangedArray / sizeof(uint64_t))
            settled = values.data();
    }
    ASSERT_EQ(values.size(), count);
    for (uint64_t i = 0; i < count; ++i)
        ASSERT_EQ(values[i], i * 0x9E3779B97F4A7C15ull) << i;
#if defined(__linux__)
    EXPECT_EQ(values.data(), settled);
#endif
    // A moved array takes its range with it.
    GrowingArray<uint64_t> moved(std::move(values));
    EXPECT_EQ(moved.size(), count);
    EXPECT_EQ(moved[count - 1], (count - 1) * 0x9E3779B97F4A7C15ull);
    EXPECT_EQ(values.size(), 0u);
}

TEST(GrowingArray, OutgrowsItsRangeIntoALargerOneKeepingEveryValue) {
    ReservedMemory::SetRange(2 * ReservedMemory::kSmallestRangedArray);
    GrowingArray<uint64_t> values;
    const size_t count = 40 * ReservedMemory::kSmallestRangedArray / sizeof(uint64_t);
    for (uint64_t i = 0; i < count; ++i)
        values.push_back(i ^ 0x5555);
    ReservedMemory::SetRange(size_t{64} << 30);
    ASSERT_EQ(values.size(), count);
    for (uint64_t i = 0; i < count; ++i)
        ASSERT_EQ(values[i], i ^ 0x5555) << i;
}

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
/// Grows an array to 128 MB with ranges of 16 MB at least and 320 MB of address space left to the
/// process: the array moves into a range of 16 MB, then into one of 96 MB, and is refused the
/// next, which would take 576 MB. Exits 0 when the array is back on the heap with every value.
[[noreturn]] void GrowUnderAddressLimit() {
    ReservedMemory::SetRange(size_t{16} << 20);
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    if (!(statm >> pages))
        std::_Exit(2);
    const rlim_t room = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + (size_t{320} << 20);
    const rlimit limit{room, room};
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        std::_Exit(2);
    GrowingArray<uint64_t> values;
    const size_t count = (size_t{128} << 20) / sizeof(uint64_t);
    for (uint64_t i = 0; i < count; ++i)
        values.push_back(~i);
    for (uint64_t i = 0; i < count; ++i)
        if (values[i] != ~i)
            std::_Exit(4);
    // A range starts on a huge page; a block of the heap does not.
    std::_Exit(reinterpret_cast<uintptr_t>(values.data()) % (size_t{2} << 20) != 0 ? 0 : 5);
}

TEST(GrowingArrayDeathTest, StaysOnTheHeapWhereTheAddressSpaceIsLimited) {
    // The sanitizers' own reservations leave no room for a limit on address space.
    EXPECT_EXIT(GrowUnderAddressLimit(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace dornel::app
