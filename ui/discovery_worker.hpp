#pragma once

// The discovery worker's whole run, over plain values: what it touches outside
// itself is handed in, so the same sequence runs on the launcher's worker
// thread and in tests.

#include "common/records.hpp"
#include "ui/discovery_outcome.hpp"
#include "ui/progress_steps.hpp"

#include <cstddef>
#include <functional>
#include <string>

// The worker's own copy of what it needs: the settings as read, and where the
// error report goes (possibly empty).
struct DiscoveryWorkerInput {
    LaunchSettings settings;
    std::wstring error_report_path;
};

struct DiscoveryWorkerActions {
    ProxyProbe discover;
    // Removes a stale report; whether there was one does not matter.
    std::function<void(const std::wstring& path)> delete_file;
    std::function<void(const std::wstring& path, const DiscoveryResult& result, const std::string& proxy_server,
                       const std::string& discovery_url)>
        write_error_report;
    // Tells the window, which may already be gone.
    std::function<void(unsigned message, std::size_t step_index)> post;
    std::function<void(unsigned milliseconds)> sleep;
};

// Probes the primary endpoint, and the fallback one when the primary failed
// and nothing but the address is wanted; stores the outcome and the persona in
// `state`, blocks the launch when the settings say so, and shows each step.
// Every write to `state` is done before WM_PROGRESS_CLOSE is posted. Stops
// early, without asking the window to close, once `state.cancelled` is seen.
void run_discovery_worker(const DiscoveryWorkerInput& input, const DiscoveryWorkerActions& actions,
                          GuardedProgressSteps& progress_steps, LaunchState& state);
