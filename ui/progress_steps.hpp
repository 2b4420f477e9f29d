#pragma once

// The four lines of the progress window. The discovery worker changes them
// while the window may be painting them, so every access takes the guard.

#include "common/records.hpp"

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

struct GuardedProgressSteps {
    std::mutex guard;
    std::vector<ProgressStep> steps;
};

// The four pending lines of a discovery launch, in the order that the worker
// and its messages number them.
void install_progress_steps(GuardedProgressSteps& progress_steps);

// Gives one line its detail and flags. An index past the list changes nothing.
void change_progress_step(GuardedProgressSteps& progress_steps, std::size_t index, const std::wstring& detail,
                          bool done, bool failed);

// A copy to paint from, so that the guard is never held across drawing calls.
std::vector<ProgressStep> copy_progress_steps(GuardedProgressSteps& progress_steps);
