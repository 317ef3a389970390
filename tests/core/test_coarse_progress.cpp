#include "coarse_progress.h"

#include <gtest/gtest.h>

#include "recorders.h"

namespace {

TEST(CoarseProgress, StepsOnlyWhenThePercentageOrTheTotalChanges) {
    testsupport::RecordingProgress inner;
    core::CoarseProgress coarse(inner);
    for (std::size_t i = 0; i <= 1000; ++i)
        coarse.step(i, 1000);
    coarse.step(1, 1);
    ASSERT_EQ(inner.step_calls.size(), 102u);
    EXPECT_EQ(inner.step_calls[100], (std::pair<std::size_t, std::size_t>{1000, 1000}));
}

} // namespace
