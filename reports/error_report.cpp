#include "reports/error_report.hpp"

#include "common/version.hpp"
#include "reports/report_record.hpp"

std::string error_report_record(const std::string& timestamp, const DiscoveryResult& result,
                                const std::string& proxy, const std::string& discovery_url)
{
    std::string record = open_report_record();
    append_text_field(record, "ts", timestamp);
    append_text_field(record, "step", "discover_proxy_ip");
    append_text_field(record, "error_code", result.error_code);
    append_text_field(record, "message", result.message);
    if (!proxy.empty()) append_text_field(record, "proxy", proxy);
    if (!discovery_url.empty()) append_text_field(record, "discovery_url", discovery_url);
    if (result.curl_exit_code >= 0) append_number_field(record, "curl_exit_code", result.curl_exit_code);
    append_number_field(record, "elapsed_ms", result.elapsed_ms);
    append_text_field(record, "launcher_version", LAUNCHER_VERSION);
    close_report_record(record);
    return record;
}
