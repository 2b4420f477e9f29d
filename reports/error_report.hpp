#pragma once

// .orvalis-launcher-error.json: why the proxy check of this launch failed.

#include "common/records.hpp"

#include <string>

// The one-line record for a failed discovery. `proxy` is the proxy-server value
// as read, `discovery_url` the URL of the last attempt; each is left out when
// empty, and curl's exit status when curl never ran (negative).
std::string error_report_record(const std::string& timestamp, const DiscoveryResult& result,
                                const std::string& proxy, const std::string& discovery_url);

// Windows: the report's path for the launch's profile directory (possibly
// empty) and its profile folder (report_location), and writing it there; true
// when the report is in place, whole (never for an empty path).
std::wstring error_report_path(const std::wstring& profile_directory, const std::wstring& profile_folder);
bool write_error_report(const std::wstring& path, const DiscoveryResult& result, const std::string& proxy,
                        const std::string& discovery_url);
