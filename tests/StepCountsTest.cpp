#include <gtest/gtest.h>

#include "StepCounts.h"

namespace {

// Exact while the distinct steps are few (the lower middle one for an even count), within 1% and
// saying so beyond, gaps counted by the same counts.
TEST(StepCounts, MedianExactThenWithinOnePercent) {
    StepCounts few;
    for (const auto& [step, count] : {std::pair{30ull, 2ull}, {10ull, 3ull}, {20ull, 1ull}})
        few.Add(step, count);
    EXPECT_TRUE(few.Exact());
    EXPECT_EQ(few.Median(), 10u);
    EXPECT_EQ(few.CountLongerThan(15), 3u);
    StepCounts many;
    for (std::uint64_t step = 1; step <= 2 * StepCounts::kExactSteps; ++step) {
        many.Add(step * 1'000'003, step % 2 ? 1 : 3);
        if (step == StepCounts::kExactSteps) {  // the most it counts exactly
            EXPECT_TRUE(many.Exact() && many.Total() == 2 * StepCounts::kExactSteps);
            EXPECT_EQ(many.Median(), 2'048 * 1'000'003u);
        }
    }
    EXPECT_FALSE(many.Exact());
    EXPECT_EQ(many.Total(), 4 * StepCounts::kExactSteps);
    const double exact = 4096.5 * 1'000'003;  // half the steps below, half above
    EXPECT_NEAR(static_cast<double>(many.Median()), exact, exact / 100);
    EXPECT_NEAR(static_cast<double>(many.CountLongerThan(6'144ull * 1'000'003)), 2 * 2'048, 41);
}

}  // namespace
