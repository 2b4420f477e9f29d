#pragma once

// The worker fills a launch state of its own, which outlives the launcher's
// wait for it; the launch gets a copy once the worker can no longer change it.

#include "common/records.hpp"

// Copies both flags, and the discovered values only when `worker_ended`: the
// worker writes every value before it ends, so those of an ended worker are
// whole, while one still running may be writing them yet, so they are dropped.
//
// Dropped values must never reach an "ok" launch. A user who closed the
// window has cancelled the launch anyway. Without a cancel, the worker has not
// ended when the window went without its request (the message loop failed, or
// a quit message came from elsewhere) or when it did not get out within the
// wait after its last step: nothing then tells whether discovery found what
// the settings ask for, so the launch is blocked.
void hand_over_launch_state(const LaunchState& worker_state, bool worker_ended, LaunchState& state);
