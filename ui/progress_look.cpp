#include "ui/progress_look.hpp"

bool operator==(Rgb a, Rgb b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

StepMarker step_marker(const ProgressStep& step)
{
    if (step.failed) return {L'\u00D7', progress_red};
    if (step.done) return {L'\u2713', progress_green};
    return {L'\u23F3', progress_amber};
}

Rgb detail_colour(const ProgressStep& step)
{
    return step.failed ? progress_red : progress_secondary_text;
}
