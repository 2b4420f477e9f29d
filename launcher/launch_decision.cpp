#include "launcher/launch_decision.hpp"

#include "discovery/socks5_proxy.hpp"

bool needs_discovery(const LaunchSettings& s)
{
    return (s.webrtc_no_leak && !s.has_fake_public_ip) ||
           (s.auto_geo && !(s.has_geo_lat && s.has_geo_lng)) ||
           (s.auto_lang && !(s.has_lang && s.has_accept_language)) ||
           (s.auto_timezone && !s.has_timezone_override);
}

bool runs_discovery(const LaunchSettings& settings)
{
    return needs_discovery(settings) && is_socks5_proxy(settings.proxy_server);
}

std::string blocked_launch_message(const LaunchState& state)
{
    return state.error_report_written ? "see .orvalis-launcher-error.json for details"
                                      : "proxy check failed; no error report could be written";
}

LaunchEnd launch_end(const LaunchOutcome& written, const EngineStart& start)
{
    if (start.started) return {exit_started, false, written};
    LaunchOutcome report = written;
    report.error_code = "ENGINE_START_FAILED";
    report.message = "CreateProcessW(orvalis-browser-engine.exe) failed with error " + std::to_string(start.error);
    return {exit_browser_not_started, true, report};
}

std::wstring engine_not_started_text(const std::wstring& engine_path, const std::wstring& system_message,
                                     std::uint32_t error)
{
    return L"Engine could not be started:\n" + engine_path + L"\n\n" + system_message + L" (error " +
           std::to_wstring(error) + L")\n\nReinstall Orvalis Browser.";
}
