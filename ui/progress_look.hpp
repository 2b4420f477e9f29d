#pragma once

// The progress window's colours and the marker that each line shows.

#include "common/records.hpp"

#include <cstdint>

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

bool operator==(Rgb a, Rgb b);

constexpr Rgb progress_background{30, 33, 41};
constexpr Rgb progress_primary_text{231, 236, 243};
constexpr Rgb progress_secondary_text{170, 179, 192};
constexpr Rgb progress_red{248, 113, 113};
constexpr Rgb progress_green{74, 222, 128};
constexpr Rgb progress_amber{245, 158, 11};

struct StepMarker {
    wchar_t character = 0;
    Rgb colour;
};

// A red cross for a failed or skipped step whatever else it says, a green
// check for a finished one, an amber hourglass for one still pending.
StepMarker step_marker(const ProgressStep& step);

// The colour of a line's detail: red only when the step failed.
Rgb detail_colour(const ProgressStep& step);
