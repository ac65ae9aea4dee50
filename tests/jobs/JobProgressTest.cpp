// The progress both front ends show, reduced from a job's messages: the bar of the
// largest jobs. (The window's tests run the controller and its reducer with real jobs.)
#include <gtest/gtest.h>

#include <limits>

#include "jobs/JobProgress.h"

namespace {

TEST(JobProgress, TheBarFitsAnIntWhateverTheNumberOfFiles) {
    for (const std::size_t count : {std::size_t{1}, std::size_t{3'000'000}, std::size_t{4'000'000'000}}) {
        const auto state = jobs::Reduce({}, engine::TJobProgress{count - 1, count});
        const jobs::TBarPosition bar = jobs::BarPosition(state);
        EXPECT_LE(bar.Maximum, std::numeric_limits<int>::max()) << count;
        EXPECT_EQ(bar.Value, bar.Maximum) << count;
    }
}

}  // namespace
