// Tests of the 8-bit string's assignment, which a record reuses for every text.
#include "host/brisko/RString.h"

#include <gtest/gtest.h>

#include <string>

namespace dornel::test {
namespace {

TEST(RString, AssignTakesBytesFromAnywhereEvenFromItself) {
    // A string longer than any short-string room, so that its bytes lie in its own block.
    const std::string before = "the quick brown fox jumps over the lazy dog";
    struct Case {
        const char* name;
        bool fromItself;
        size_t at;  // where the bytes begin: in the string itself, or in other
        size_t size;
        std::string other;  // where they come from when not from the string itself
        std::string after;
    } cases[] = {
        {"shorter", false, 0, 5, "alpha", "alpha"},
        {"longer than its room", false, 0, 200, std::string(200, 'x'), std::string(200, 'x')},
        {"nothing", false, 0, 0, "", ""},
        {"embedded zero", false, 0, 3, std::string("a\0b", 3), std::string("a\0b", 3)},
        {"its own beginning", true, 0, 9, "", "the quick"},
        {"its own middle", true, 10, 5, "", "brown"},
        {"its own end", true, 35, 8, "", "lazy dog"},
        {"itself whole", true, 0, before.size(), "", before},
        {"none of itself", true, before.size(), 0, "", ""},
    };
    for (const Case& c : cases) {
        brisko::RString s(before);
        const char* from = c.fromItself ? s.c_str() + c.at : c.other.data() + c.at;
        s.assign(from, c.size);
        EXPECT_EQ(s.str(), c.after) << c.name;
        EXPECT_EQ(s.c_str()[s.size()], '\0') << c.name;
    }
}

}  // namespace
}  // namespace dornel::test
