#include "launcher/engine_switches.hpp"

#include "common/argument_quoting.hpp"
#include "common/text_conversion.hpp"

int device_memory_class(std::uint64_t total_physical_bytes)
{
    const double gib = static_cast<double>(total_physical_bytes) / (1024.0 * 1024.0 * 1024.0);
    if (gib >= 24) return 32;
    if (gib >= 12) return 16;
    if (gib >= 6) return 8;
    if (gib >= 3) return 4;
    if (gib >= 1.5) return 2;
    return 1;
}

void append_switch(std::wstring& text, const std::wstring& name, const std::wstring& value)
{
    if (value.empty()) return;
    if (!text.empty()) text.push_back(L' ');
    // Values come from the settings file and the network: quoted when a blank,
    // tab or quote would otherwise split the item or add switches of its own.
    text += quote_argument(L"--" + name + L"=" + value);
}

std::wstring start_page_item(const LaunchSettings& settings)
{
    if (settings.start_page.empty()) return L"chrome://version";
    return quote_argument(utf8_to_wide(settings.start_page), true);
}

std::wstring static_switches(const LaunchSettings& settings, const HardwareFigures& hardware)
{
    std::wstring text;
    if (!settings.has_device_memory) append_switch(text, L"device-memory", hardware.device_memory);
    if (!settings.has_hardware_concurrency)
        append_switch(text, L"hardware-concurrency", hardware.hardware_concurrency);
    if (!settings.has_speech_voices) append_switch(text, L"speech-voices-preset", L"stock-chrome-windows");
    if (!text.empty()) text.push_back(L' ');
    return text + start_page_item(settings);
}

std::wstring discovery_switches(const LaunchSettings& settings, const LaunchState& state,
                                const HardwareFigures& hardware)
{
    std::wstring text;
    append_switch(text, L"webrtc-fake-public-ip", state.fake_public_ip);
    if (settings.webrtc_no_leak) append_switch(text, L"force-webrtc-ip-handling-policy", L"default");
    append_switch(text, L"timezone-override", state.timezone_override);
    append_switch(text, L"lang", state.lang);
    append_switch(text, L"accept-language", state.accept_language);
    append_switch(text, L"geo-lat", state.geo_lat);
    append_switch(text, L"geo-lng", state.geo_lng);
    if (!state.geo_lat.empty() && !state.geo_lng.empty()) append_switch(text, L"geo-accuracy", L"100");
    // The same hardware and voice switches as the static text, in the same order.
    const std::wstring rest = static_switches(settings, hardware);
    if (!text.empty()) text.push_back(L' ');
    return text + rest;
}

std::wstring engine_command_line(const std::wstring& engine_path, const std::wstring& passthrough_arguments,
                                 const std::wstring& switch_text)
{
    std::wstring line = L"\"" + engine_path + L"\"";
    if (!passthrough_arguments.empty()) line += L" " + passthrough_arguments;
    if (!switch_text.empty()) line += L" " + switch_text;
    return line;
}
