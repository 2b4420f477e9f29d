#include "ui/discovery_window.hpp"

#include "discovery/proxy_probe.hpp"
#include "ui/discovery_session.hpp"

bool run_discovery_window(HINSTANCE instance, const LaunchSettings& settings, const std::wstring& error_report_path,
                          LaunchState& state)
{
    return run_discovery_session(instance, settings, error_report_path, state, discover_proxy_ip);
}
