#include "reports/report_record.hpp"

#include <cstdio>

namespace {

// How many bytes from `at` (a byte of 0x80 or above) belong to one UTF-8
// character, and whether they form it whole. Ill-formed, they are the lead
// and the continuation bytes that still fitted: one replacement between them.
std::size_t utf8_sequence(const std::string& text, std::size_t at, bool& whole)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    // The second byte's range rules out overlong forms, surrogates and code
    // points above U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    std::size_t taken = 1;
    for (; taken < length && at + taken < text.size(); ++taken) {
        const auto b = static_cast<unsigned char>(text[at + taken]);
        if (taken == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) break;
    }
    whole = length != 0 && taken == length;
    return taken;
}

} // namespace

std::string json_escape(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80) {
            // A reply cut at 80 bytes or a settings file in another code page
            // must not make the whole report unreadable to a strict UTF-8
            // reader: ill-formed bytes become U+FFFD, the rest is copied.
            bool whole = false;
            const std::size_t length = utf8_sequence(text, at, whole);
            if (whole) escaped.append(text, at, length);
            else escaped += "\xEF\xBF\xBD";
            at += length;
            continue;
        }
        ++at;
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
                escaped.push_back(static_cast<char>(byte));
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

std::wstring report_location(const std::wstring& profile_directory, const std::wstring& profile_folder,
                             const std::wstring& local_appdata, const std::wstring& file_name)
{
    // Past 260 characters Windows finds a file only by its "\\?\" name, unless
    // long paths are enabled for both the machine and the program.
    if (!profile_folder.empty()) return profile_folder + L"\\" + file_name;
    // The backslash is always added, even after a directory that ends in one.
    if (!profile_directory.empty()) return profile_directory + L"\\" + file_name;
    if (local_appdata.empty()) return {};
    return local_appdata + L"\\Orvalis\\" + file_name;
}
