#include "reports/error_report.hpp"
#include "reports/report_file.hpp"
#include "reports/result_report.hpp"

std::wstring error_report_path(const std::wstring& profile_directory, const std::wstring& profile_folder)
{
    return report_path(profile_directory, profile_folder, L".orvalis-launcher-error.json");
}

bool write_error_report(const std::wstring& path, const DiscoveryResult& result, const std::string& proxy,
                        const std::string& discovery_url)
{
    if (path.empty()) return false;
    // A report that cannot be written changes nothing about the launch, only
    // what the result report may say about it.
    return write_file_atomic(path, error_report_record(utc_timestamp(), result, proxy, discovery_url));
}

std::wstring result_report_path(const std::wstring& profile_directory, const std::wstring& profile_folder)
{
    return report_path(profile_directory, profile_folder, L".orvalis-launcher-result.json");
}

void write_result_report(const std::wstring& path, const std::string& status, std::int64_t elapsed_ms,
                         const std::string& error_code, const std::string& message, const LaunchState& state)
{
    if (path.empty()) return;
    write_file_atomic(path, result_report_record(utc_timestamp(), status, state, elapsed_ms, error_code, message));
}
