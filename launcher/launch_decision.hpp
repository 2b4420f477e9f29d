#pragma once

#include "common/records.hpp"

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
