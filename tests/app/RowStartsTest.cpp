// The rows' places read back as they were given and as they moved, below and past four billion
// cells, where each place's high half is kept apart from its four bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "RowStarts.h"

namespace dornel::app {
namespace {

constexpr size_t kPastFourBytes = size_t{1} << 32;

/// A step of building the list: a new row at a place, or the rows from one on moved.
struct Step {
    enum { Push, Move } what;
    size_t value;  // the place of the new row, or how far the rows move
    size_t from;   // the first row that moves
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

void Check(const RowStarts& starts, const std::vector<size_t>& model, const char* name,
           size_t step) {
    ASSERT_EQ(starts.size(), model.size()) << name << " step " << step;
    for (size_t r = 0; r < model.size(); ++r)
        ASSERT_EQ(starts[r], model[r]) << name << " step " << step << " row " << r;
    if (!model.empty()) {
        ASSERT_EQ(starts.back(), model.back()) << name << " step " << step;
    }
}

TEST(RowStarts, PlacesReadBackAsGivenAndAsMovedOnBothSidesOfFourBillion) {
    const std::vector<Case> cases = {
        {"small places",
         {{Step::Push, 0, 0}, {Step::Push, 3, 0}, {Step::Push, 3, 0}, {Step::Push, 70000, 0}}},
        {"rows across the first boundary",
         {{Step::Push, 0, 0},
          {Step::Push, kPastFourBytes - 1, 0},
          {Step::Push, kPastFourBytes, 0},
          {Step::Push, kPastFourBytes + 5, 0}}},
        {"a row that jumps two boundaries",
         {{Step::Push, 7, 0},
          {Step::Push, 3 * kPastFourBytes + 2, 0},
          {Step::Push, 3 * kPastFourBytes + 9, 0}}},
        {"a move that carries later rows across a boundary",
         {{Step::Push, 0, 0},
          {Step::Push, 10, 0},
          {Step::Push, kPastFourBytes - 4, 0},
          {Step::Push, kPastFourBytes - 1, 0},
          {Step::Move, 6, 2}}},
        {"a move that leaves the earlier rows below a boundary",
         {{Step::Push, 0, 0},
          {Step::Push, kPastFourBytes - 2, 0},
          {Step::Push, kPastFourBytes + 1, 0},
          {Step::Push, 2 * kPastFourBytes - 1, 0},
          {Step::Move, kPastFourBytes, 3}}},
        {"a move from past the last row, and a move of nothing",
         {{Step::Push, 0, 0}, {Step::Push, 4, 0}, {Step::Move, 9, 2}, {Step::Move, 0, 1}}},
        {"rows after a move",
         {{Step::Push, 0, 0},
          {Step::Push, kPastFourBytes - 1, 0},
          {Step::Move, 2, 1},
          {Step::Push, kPastFourBytes + 1, 0},
          {Step::Push, 2 * kPastFourBytes, 0}}},
    };
    for (const Case& c : cases) {
        RowStarts starts;
        std::vector<size_t> model;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            if (step.what == Step::Push) {
                starts.push_back(step.value);
                model.push_back(step.value);
            } else {
                starts.MoveFrom(step.from, step.value);
                for (size_t r = step.from; r < model.size(); ++r)
                    model[r] += step.value;
            }
            Check(starts, model, c.name, i);
        }
    }
}

}  // namespace
}  // namespace dornel::app
