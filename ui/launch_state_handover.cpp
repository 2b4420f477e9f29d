#include "ui/launch_state_handover.hpp"

void hand_over_launch_state(const LaunchState& worker_state, bool worker_ended, LaunchState& state)
{
    state.cancelled.exchange(worker_state.cancelled.load());
    state.blocked.exchange(worker_state.blocked.load());
    if (!worker_ended) {
        if (!state.cancelled.load()) state.blocked.exchange(true);
        return;
    }
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
