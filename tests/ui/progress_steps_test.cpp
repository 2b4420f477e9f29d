#include "ui/progress_steps.hpp"

#include <gtest/gtest.h>

namespace {

TEST(ProgressSteps, InstallsTheFourPendingLinesInWorkerOrder)
{
    GuardedProgressSteps progress_steps;
    install_progress_steps(progress_steps);
    change_progress_step(progress_steps, 0, L"left from before", true, true);
    install_progress_steps(progress_steps);
    const std::vector<ProgressStep> steps = copy_progress_steps(progress_steps);
    const wchar_t* labels[] = {L"Loading persona overlay", L"Discovering proxy egress IP",
                               L"Applying anti-detect overrides", L"Launching chrome.exe"};
    ASSERT_EQ(steps.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(steps[i].label, labels[i]);
        EXPECT_TRUE(steps[i].detail.empty());
        EXPECT_FALSE(steps[i].done);
        EXPECT_FALSE(steps[i].failed);
    }
}

TEST(ProgressSteps, ChangesOnlyTheNamedLineAndIgnoresAnIndexPastTheList)
{
    GuardedProgressSteps progress_steps;
    install_progress_steps(progress_steps);
    change_progress_step(progress_steps, 2, L"ip=203.0.113.7", true, false);
    change_progress_step(progress_steps, 4, L"nowhere", true, true);

    const std::vector<ProgressStep> steps = copy_progress_steps(progress_steps);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[2].label, L"Applying anti-detect overrides");
    EXPECT_EQ(steps[2].detail, L"ip=203.0.113.7");
    EXPECT_TRUE(steps[2].done);
    for (std::size_t i : {0u, 1u, 3u}) {
        EXPECT_TRUE(steps[i].detail.empty());
        EXPECT_FALSE(steps[i].done);
    }
}

} // namespace
