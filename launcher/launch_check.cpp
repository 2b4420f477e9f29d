#include "launcher/launch_check.hpp"

#include <algorithm>
#include <cstdio>

std::string decision_name(LaunchRoad road)
{
    switch (road) {
    case LaunchRoad::engine_missing: return "engine_missing";
    case LaunchRoad::passthrough: return "passthrough";
    case LaunchRoad::discovery: return "discovery";
    }
    return "";
}

std::string hex_word(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string first_output_line(const std::string& output)
{
    std::string line = output.substr(0, output.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::vector<SettingValue> setting_values(const LaunchSettings& s)
{
    // In the order the launcher reads them.
    return {
        {"proxy-server", true, s.proxy_server, false},
        {"webrtc-no-leak", false, "", s.webrtc_no_leak},
        {"webrtc-fake-public-ip", false, "", s.has_fake_public_ip},
        {"on-proxy-fail", true, s.on_proxy_fail, false},
        {"auto-geo", false, "", s.auto_geo},
        {"auto-lang", false, "", s.auto_lang},
        {"auto-timezone", false, "", s.auto_timezone},
        {"geo-lat", false, "", s.has_geo_lat},
        {"geo-lng", false, "", s.has_geo_lng},
        {"lang", false, "", s.has_lang},
        {"accept-language", false, "", s.has_accept_language},
        {"timezone-override", false, "", s.has_timezone_override},
        {"close-previous-tabs", false, "", s.close_previous_tabs},
        {"start-page", true, s.start_page, false},
        {"device-memory", false, "", s.has_device_memory},
        {"hardware-concurrency", false, "", s.has_hardware_concurrency},
        {"speech-voices", false, "", s.has_speech_voices},
    };
}

int self_test_exit_code(const SelfTestOutcome& outcome)
{
    const bool broken = std::any_of(outcome.promises.begin(), outcome.promises.end(),
                                    [](const SelfTestPromise& p) { return p.result == PromiseResult::failed; });
    // A scratch folder left behind is a promise of the check's own broken.
    if (broken || (!outcome.scratch_folder.empty() && !outcome.scratch_removed)) return exit_self_test_failed;
    return outcome.error_code.empty() ? 0 : exit_self_test_not_run;
}

const char* promise_result_name(PromiseResult result)
{
    switch (result) {
    case PromiseResult::passed: return "PASS";
    case PromiseResult::failed: return "FAIL";
    case PromiseResult::not_checked: return "NOT CHECKED";
    }
    return "";
}
