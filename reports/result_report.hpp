#pragma once

// .orvalis-launcher-result.json: how the launch went, for the program that
// started the launcher. Written once per launch that finds the engine and is
// not cancelled, before the engine starts, and once more when the engine
// could not be started.

#include "common/records.hpp"

#include <cstdint>
#include <string>

// The one-line record: the outcome and what discovery left in `state`.
std::string result_report_record(const std::string& timestamp, const std::string& status, const LaunchState& state,
                                  std::int64_t elapsed_ms, const std::string& error_code, const std::string& message);

// Windows: the report's path for the launch's profile directory (possibly
// empty) and its profile folder (report_location), and writing it there.
std::wstring result_report_path(const std::wstring& profile_directory, const std::wstring& profile_folder);
void write_result_report(const std::wstring& path, const std::string& status, std::int64_t elapsed_ms,
                         const std::string& error_code, const std::string& message, const LaunchState& state);
