#pragma once

#include "common/records.hpp"
#include "launcher/engine_switches.hpp"

#include <cstdint>
#include <string>

// Whether the settings ask for a value that only discovery can supply.
bool needs_discovery(const LaunchSettings& settings);

// Discovery runs only when it is wanted and the proxy is a socks5:// one;
// every other launch passes straight through.
bool runs_discovery(const LaunchSettings& settings);

// The result report's message for a blocked launch. It sends the reader to the
// error report only when this launch wrote one: an old one, or none at all,
// would tell of another launch or of nothing.
std::string blocked_launch_message(const LaunchState& state);

// What the result report tells of a launch besides what discovery found.
struct LaunchOutcome {
    std::string status;
    std::int64_t elapsed_ms = 0;
    std::string error_code;
    std::string message;
};

constexpr int exit_started = 0;
// The code callers read as "the browser did not start": the engine is missing
// or Windows refused to start it.
constexpr int exit_browser_not_started = 1;
constexpr int exit_blocked = 42;

// How a launch ends once its report (`written`) is in place and the engine was
// asked to start. A refused engine is no started browser: the exit says so, and
// the report is replaced by one with the same status and figures that names
// the refusal.
struct LaunchEnd {
    int exit_code = exit_started;
    bool replaces_report = false;
    LaunchOutcome report;
};
LaunchEnd launch_end(const LaunchOutcome& written, const EngineStart& start);

// The message box of an engine Windows refused to start: its path, the
// system's own words for the error, and the error code.
std::wstring engine_not_started_text(const std::wstring& engine_path, const std::wstring& system_message,
                                     std::uint32_t error);
