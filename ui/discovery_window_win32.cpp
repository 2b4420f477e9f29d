#include "ui/discovery_window.hpp"

#include "discovery/proxy_probe.hpp"
#include "ui/discovery_session.hpp"

bool run_discovery_window(HINSTANCE instance, const LaunchSettings& settings, LaunchState& state)
{
    return run_discovery_session(instance, settings, state, discover_proxy_ip);
}
