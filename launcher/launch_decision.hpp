#pragma once

#include "common/records.hpp"

// Whether the settings ask for a value that only discovery can supply.
bool needs_discovery(const LaunchSettings& settings);

// Discovery runs only when it is wanted and the proxy is a socks5:// one;
// every other launch passes straight through.
bool runs_discovery(const LaunchSettings& settings);
