#pragma once

// Windows: discovery behind the progress window, on the main thread.

#include "common/records.hpp"

#include <string>

#include <windows.h>

// Installs the four steps, creates the fonts and the window. When the window
// cannot be created, returns false at once: nothing is shown and no worker
// runs. Otherwise shows the window, starts the discovery worker with a copy of
// the settings and the error report's path (empty: no report), pumps messages
// until the window is gone, waits at most 6000 ms for the worker, deletes the
// fonts and returns true; `state` then holds what the worker found, and its
// flags tell a cancelled or blocked launch.
bool run_discovery_window(HINSTANCE instance, const LaunchSettings& settings, const std::wstring& error_report_path,
                          LaunchState& state);
