#pragma once

// The worker fills a launch state of its own, which outlives the launcher's
// wait for it; the launch gets a copy once the worker can no longer change it.

#include "common/records.hpp"

#include <functional>
#include <mutex>

// How long the launcher waits for the worker once the window is gone.
constexpr unsigned worker_wait_ms = 6000;

// This launch's error report, written by one thread at most: by the worker
// after a failed discovery, or by the launcher for a worker that has not
// ended, in which case the worker writes no more.
struct ErrorReportGate {
    std::mutex guard;
    bool taken_over = false;
    // This launch's report is in place, whole.
    bool written = false;
};

// The worker's write of the report: `write` tells whether it succeeded. Waits
// while the launcher writes; does nothing once the launcher has taken over.
void write_error_report_through(ErrorReportGate& gate, const std::function<bool()>& write);

// The failure told for a worker still running when the launcher stops waiting.
DiscoveryResult worker_still_running();

// Copies both flags, and the discovered values only when `worker_ended`: the
// worker writes every value before it ends, so those of an ended worker are
// whole, while one still running may be writing them yet, so they are dropped.
// `state.error_report_written` tells whether this launch has its error report.
//
// A user who closed the window has cancelled the launch anyway. Without a
// cancel, the worker has not ended when the window went without its request
// (the message loop failed, or a quit or close request came from elsewhere)
// or when it did not get out within the wait: nothing then tells whether
// discovery found what the settings ask for, so it counts as failed. Unless
// the worker has already written its report, the launcher writes one through
// `write_error_report` with worker_still_running(); then the settings decide
// as for any failed discovery (`block_on_failure`): blocked, or the engine
// starts without derived values.
void hand_over_launch_state(const LaunchState& worker_state, bool worker_ended, bool block_on_failure,
                            ErrorReportGate& gate,
                            const std::function<bool(const DiscoveryResult&)>& write_error_report,
                            LaunchState& state);
