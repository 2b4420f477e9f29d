#pragma once

#include "common/records.hpp"

#include <string>

// Whether the settings ask for a value that only discovery can supply.
bool needs_discovery(const LaunchSettings& settings);

// Discovery runs only when it is wanted and the proxy is a socks5:// one;
// every other launch passes straight through.
bool runs_discovery(const LaunchSettings& settings);

// The way a launch goes once its engine and settings are known; the degraded
// launch (no window) and the user's cancel are not known before it.
enum class LaunchRoad { engine_missing, passthrough, discovery };
LaunchRoad launch_road(bool engine_present, const LaunchSettings& settings);

// The launcher's exit codes: the engine was started (or the user cancelled),
// it is missing, or a failed proxy check blocked the launch.
constexpr int exit_started = 0;
constexpr int exit_engine_missing = 1;
constexpr int exit_blocked = 42;

// The code a launch on `road` ends with; `blocked` tells a failed discovery
// under on-proxy-fail "block".
int launch_exit_code(LaunchRoad road, bool blocked);

// The result report's message for a blocked launch. It sends the reader to the
// error report only when this launch wrote one: an old one, or none at all,
// would tell of another launch or of nothing.
std::string blocked_launch_message(const LaunchState& state);
