#pragma once

// The records that several parts of the launcher share.

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The value of `granular-storage-reset`: member name to flag, names ordered byte-wise.
using FlagMap = std::map<std::string, bool>;

// What the launcher takes from command-line.json. Strings are UTF-8 bytes as read.
struct LaunchSettings {
    std::string proxy_server;
    bool webrtc_no_leak = false;
    bool has_fake_public_ip = false;
    std::string on_proxy_fail = "block";
    bool auto_geo = false;
    bool auto_lang = false;
    bool auto_timezone = false;
    bool has_geo_lat = false;
    bool has_geo_lng = false;
    bool has_lang = false;
    bool has_accept_language = false;
    bool has_timezone_override = false;
    bool close_previous_tabs = false;
    std::string start_page;
    bool has_device_memory = false;
    bool has_hardware_concurrency = false;
    bool has_speech_voices = false;
    FlagMap storage_reset;
};

// The outcome of one proxy probe; success is an empty error_code. Text is UTF-8.
struct DiscoveryResult {
    std::string ip;
    std::int32_t curl_exit_code = -1;
    std::int64_t elapsed_ms = 0;
    std::string error_code;
    std::string message;
    std::string country_code;
    std::string timezone;
    std::string latitude;
    std::string longitude;
};

// What discovery found, for the engine switches (UTF-16) and the result report
// (UTF-8). Only the worker writes the text fields and elapsed_ms; the main
// thread reads them after the worker has asked the window to close.
struct LaunchState {
    std::wstring fake_public_ip;
    std::wstring timezone_override;
    std::wstring lang;
    std::wstring accept_language;
    std::wstring geo_lat;
    std::wstring geo_lng;
    std::string ip;
    std::string timezone;
    std::string country_code;
    std::string provider;
    std::int64_t elapsed_ms = 0;
    // This launch wrote its error report, whole: only then may the result
    // report send its reader there.
    bool error_report_written = false;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> blocked{false};
};
static_assert(sizeof(std::atomic<bool>) == 1, "the launch flags are single bytes");

// One row of the country language table.
struct CountryLanguages {
    std::string_view country_code;
    std::string_view lang;
    std::string_view accept_lang;
};

// One line of the progress window.
struct ProgressStep {
    std::wstring label;
    std::wstring detail;
    bool done = false;
    bool failed = false;
};
