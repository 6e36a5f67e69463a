// The growing array's appends keep every byte and every value, at the places they report, across
// growth, and write nothing past what they append.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "GrowingArray.h"

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

}  // namespace
}  // namespace dornel::app
