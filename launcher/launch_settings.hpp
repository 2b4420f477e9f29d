#pragma once

// command-line.json: which file is read, and what the launcher takes from it.

#include "common/records.hpp"

#include <string>

// The settings record from the whole text of a settings file. Never fails:
// whatever cannot be read keeps its default.
LaunchSettings parse_launch_settings(const std::string& text);

// Windows: the file chosen for the profile directory, the fallback path, and
// the record read from a path (defaults when it cannot be opened).
std::wstring settings_file_path(const std::wstring& profile_directory);
std::wstring fallback_settings_path();
LaunchSettings read_launch_settings(const std::wstring& path);
// The whole text of the settings file at `path`; false when it cannot be opened.
bool read_settings_text(const std::wstring& path, std::string& text);
