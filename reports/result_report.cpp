#include "reports/result_report.hpp"

#include "common/text_conversion.hpp"
#include "common/version.hpp"
#include "reports/report_record.hpp"

std::string result_report_record(const std::string& timestamp, const std::string& status, const LaunchState& state,
                                  std::int64_t elapsed_ms, const std::string& error_code, const std::string& message)
{
    std::string record = open_report_record();
    append_text_field(record, "ts", timestamp);
    append_text_field(record, "status", status);
    append_text_field(record, "ip", state.ip);
    append_text_field(record, "timezone", state.timezone);
    append_text_field(record, "country_code", state.country_code);
    append_text_field(record, "lat", wide_to_utf8(state.geo_lat));
    append_text_field(record, "lng", wide_to_utf8(state.geo_lng));
    append_text_field(record, "lang", wide_to_utf8(state.lang));
    append_text_field(record, "accept_lang", wide_to_utf8(state.accept_language));
    append_number_field(record, "elapsed_ms", elapsed_ms);
    append_text_field(record, "provider", state.provider);
    append_text_field(record, "error_code", error_code);
    append_text_field(record, "message", message);
    append_text_field(record, "launcher_version", LAUNCHER_VERSION);
    close_report_record(record);
    return record;
}
