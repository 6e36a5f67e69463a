// A reserved range gives usable memory in whole huge pages from its start, keeps what was written
// as it grows, refuses what lies past it, and asks the system for huge pages.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "ReservedMemory.h"

#if defined(__linux__)
#include <unistd.h>
#endif

namespace dornel::app {
namespace {

#if defined(__linux__)

constexpr size_t kHugePage = size_t{2} << 20;

/// The VmFlags line of the mapping that holds address, or "" when none does.
std::string MappingFlags(const void* address) {
    std::ifstream maps("/proc/self/smaps");
    const auto at = reinterpret_cast<uintptr_t>(address);
    bool inside = false;
    for (std::string line; std::getline(maps, line);) {
        uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> begin >> dash >> end && dash == '-' &&
            line.find(':') > line.find(' '))
            inside = begin <= at && at < end;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return "";
}

TEST(ReservedMemory, GivesWholeHugePagesFromItsStartAndNothingPastItsRange) {
    ReservedMemory range;
    ASSERT_TRUE(range.Reserve(3 * kHugePage + 1));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(range.data()) % kHugePage, 0u);
    EXPECT_EQ(range.usable(), 0u);

    // Each extension is rounded up to whole huge pages, and keeps what was written before.
    for (const size_t want : {size_t{1}, kHugePage, kHugePage + 1, 5 * kHugePage - 7}) {
        const size_t usable = range.Extend(want);
        EXPECT_GE(usable, want);
        EXPECT_EQ(usable % kHugePage, 0u);
        EXPECT_LT(usable - want, kHugePage);
        for (size_t i = 0; i < usable; i += 4096)
            range.data()[i] = static_cast<char>(i / 4096);
    }
    for (size_t i = 0; i < range.usable(); i += 4096)
        ASSERT_EQ(range.data()[i], static_cast<char>(i / 4096)) << i;
    // Asking for less than is usable changes nothing.
    EXPECT_EQ(range.Extend(1), range.usable());
    EXPECT_EQ(range.Extend(SIZE_MAX / 16), 0u);

    if (access("/sys/kernel/mm/transparent_hugepage", F_OK) == 0) {
        EXPECT_NE(MappingFlags(range.data()).find(" hg"), std::string::npos)
            << MappingFlags(range.data());
    }
    range.Release();
    EXPECT_EQ(range.data(), nullptr);
}

TEST(ReservedMemory, FillsItsWholeRangeExactlyAndKeepsNothingOnceReleased) {
    ReservedMemory::SetRange(4 * kHugePage);
    ReservedMemory range;
    ASSERT_TRUE(range.Reserve(kHugePage));
    // The last byte of the range is the array's too; one more is refused.
    ASSERT_EQ(range.Extend(4 * kHugePage), 4 * kHugePage);
    range.data()[4 * kHugePage - 1] = 'z';
    EXPECT_EQ(range.Extend(4 * kHugePage + 1), 0u);
    EXPECT_EQ(range.data()[4 * kHugePage - 1], 'z');

    ReservedMemory moved(std::move(range));
    EXPECT_EQ(range.usable(), 0u);
    EXPECT_EQ(moved.usable(), 4 * kHugePage);
    moved.Release();
    EXPECT_EQ(moved.data(), nullptr);
    EXPECT_EQ(moved.usable(), 0u);
    // Nothing of the released range is left to extend into.
    EXPECT_EQ(moved.Extend(1), 0u);
    ReservedMemory::SetRange(size_t{64} << 30);
}

#endif

}  // namespace
}  // namespace dornel::app
