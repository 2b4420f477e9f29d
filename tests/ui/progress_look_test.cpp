#include "ui/progress_look.hpp"

#include <gtest/gtest.h>

namespace {

TEST(ProgressLook, MarkerAndDetailColourFollowTheFlags)
{
    struct Row {
        bool done;
        bool failed;
        wchar_t marker;
        Rgb marker_colour;
        Rgb detail;
    };
    const Row rows[] = {
        {false, false, L'\u23F3', progress_amber, progress_secondary_text},
        {true, false, L'\u2713', progress_green, progress_secondary_text},
        // A failure wins whether or not the step also counts as finished.
        {true, true, L'\u00D7', progress_red, progress_red},
        {false, true, L'\u00D7', progress_red, progress_red},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "done " << row.done << ", failed " << row.failed);
        const ProgressStep step{L"label", L"detail", row.done, row.failed};
        const StepMarker marker = step_marker(step);
        EXPECT_EQ(marker.character, row.marker);
        EXPECT_TRUE(marker.colour == row.marker_colour);
        EXPECT_TRUE(detail_colour(step) == row.detail);
    }
    // Colours that differ in any one channel are different colours.
    const Rgb base{10, 20, 30};
    for (const Rgb other : {Rgb{11, 20, 30}, Rgb{10, 21, 30}, Rgb{10, 20, 31}}) EXPECT_FALSE(base == other);
}

} // namespace
