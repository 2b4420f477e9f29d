#include "launcher/launch_settings.hpp"

#include "settings/flat_json_reader.hpp"

LaunchSettings parse_launch_settings(const std::string& text) {
    LaunchSettings settings;
    settings.proxy_server = read_string_field(text, "proxy-server");
    settings.webrtc_no_leak = read_flag_field(text, "webrtc-no-leak");
    // Only whether a fake address is configured matters; the engine reads the value itself.
    settings.has_fake_public_ip = !read_string_field(text, "webrtc-fake-public-ip").empty();
    // Anything but the two known words keeps "block": a typo must not let a leaking launch through.
    const std::string on_proxy_fail = read_string_field(text, "on-proxy-fail");
    if (on_proxy_fail == "block" || on_proxy_fail == "fallback") settings.on_proxy_fail = on_proxy_fail;
    settings.auto_geo = read_flag_field(text, "auto-geo");
    settings.auto_lang = read_flag_field(text, "auto-lang");
    settings.auto_timezone = read_flag_field(text, "auto-timezone");
    settings.has_geo_lat = has_field(text, "geo-lat");
    settings.has_geo_lng = has_field(text, "geo-lng");
    settings.has_lang = has_field(text, "lang");
    settings.has_accept_language = has_field(text, "accept-language");
    settings.has_timezone_override = has_field(text, "timezone-override");
    settings.close_previous_tabs = read_flag_field(text, "close-previous-tabs");
    settings.start_page = read_string_field(text, "start-page");
    // The chosen start page must not open among tabs restored from the last session.
    if (!settings.start_page.empty()) settings.close_previous_tabs = true;
    settings.storage_reset = read_flag_object(text, "granular-storage-reset");
    settings.has_device_memory = has_field(text, "device-memory");
    settings.has_hardware_concurrency = has_field(text, "hardware-concurrency");
    settings.has_speech_voices = has_field(text, "speech-voices");
    return settings;
}
