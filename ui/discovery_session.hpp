#pragma once

// Windows: the discovery behind the progress window, with the proxy probe
// handed in. The launcher hands it the real probe (run_discovery_window);
// tests hand it one that stands in for curl.

#include "common/records.hpp"
#include "ui/discovery_outcome.hpp"

#include <string>

#include <windows.h>

// As run_discovery_window, with `probe` run on the worker thread.
bool run_discovery_session(HINSTANCE instance, const LaunchSettings& settings, const std::wstring& error_report_path,
                           LaunchState& state, const ProxyProbe& probe);
