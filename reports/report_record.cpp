#include "reports/report_record.hpp"

#include <cstdio>

std::string json_escape(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case 0x09: escaped += "\\t"; break;
        case 0x0A: escaped += "\\n"; break;
        case 0x0D: escaped += "\\r"; break;
        case 0x22: escaped += "\\\""; break;
        case 0x5C: escaped += "\\\\"; break;
        default:
            if (byte < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(byte));
                escaped += buffer;
            } else {
                escaped.push_back(c);
            }
        }
    }
    return escaped;
}

std::string open_report_record()
{
    return "{\"schema\":1";
}

void append_text_field(std::string& record, const char* name, const std::string& value)
{
    record += ",\"";
    record += name;
    record += "\":\"";
    record += json_escape(value);
    record += '"';
}

void append_number_field(std::string& record, const char* name, std::int64_t value)
{
    record += ",\"";
    record += name;
    record += "\":";
    record += std::to_string(value);
}

void close_report_record(std::string& record)
{
    record += "}\n";
}

std::string format_utc_timestamp(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                 unsigned second)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02uT%02u:%02u:%02uZ", year, month, day, hour, minute, second);
    return buffer;
}

std::wstring report_location(const std::wstring& profile_directory, const std::wstring& local_appdata,
                             const std::wstring& file_name)
{
    // The backslash is always added, even after a directory that ends in one.
    if (!profile_directory.empty()) return profile_directory + L"\\" + file_name;
    if (local_appdata.empty()) return {};
    return local_appdata + L"\\Orvalis\\" + file_name;
}
