#pragma once

// The worker fills a launch state of its own, which outlives the launcher's
// wait for it; the launch gets a copy once the worker can no longer change it.

#include "common/records.hpp"

// Copies both flags, and the discovered values only when `worker_ended`: a
// worker that is still inside a probe may yet write them, and then the launch
// goes on without them.
void hand_over_launch_state(const LaunchState& worker_state, bool worker_ended, LaunchState& state);
