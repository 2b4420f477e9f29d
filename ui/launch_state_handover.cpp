#include "ui/launch_state_handover.hpp"

void write_error_report_through(ErrorReportGate& gate, const std::function<bool()>& write)
{
    const std::lock_guard<std::mutex> lock(gate.guard);
    if (gate.taken_over) return;
    gate.written = write();
}

DiscoveryResult worker_still_running()
{
    DiscoveryResult result;
    result.error_code = "INTERNAL";
    result.message = "discovery worker still running " + std::to_string(worker_wait_ms) +
                     " ms after the progress window closed";
    return result;
}

void hand_over_launch_state(const LaunchState& worker_state, bool worker_ended, bool block_on_failure,
                            ErrorReportGate& gate,
                            const std::function<bool(const DiscoveryResult&)>& write_error_report,
                            LaunchState& state)
{
    state.cancelled.exchange(worker_state.cancelled.load());
    state.blocked.exchange(worker_state.blocked.load());
    const std::lock_guard<std::mutex> lock(gate.guard);
    if (!worker_ended) {
        // Whatever the worker has not begun to write by now, it never writes:
        // the launcher's exit would cut it short, leaving half a report.
        gate.taken_over = true;
        if (!state.cancelled.load()) {
            if (!gate.written) gate.written = write_error_report(worker_still_running());
            if (block_on_failure) state.blocked.exchange(true);
        }
        state.error_report_written = gate.written;
        return;
    }
    state.error_report_written = gate.written;
    state.fake_public_ip = worker_state.fake_public_ip;
    state.timezone_override = worker_state.timezone_override;
    state.lang = worker_state.lang;
    state.accept_language = worker_state.accept_language;
    state.geo_lat = worker_state.geo_lat;
    state.geo_lng = worker_state.geo_lng;
    state.ip = worker_state.ip;
    state.timezone = worker_state.timezone;
    state.country_code = worker_state.country_code;
    state.provider = worker_state.provider;
    state.elapsed_ms = worker_state.elapsed_ms;
}
