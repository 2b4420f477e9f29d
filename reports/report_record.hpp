#pragma once

// The pieces both reports are built from: one line of JSON, fields appended in
// a fixed order, text escaped, a line feed at the end.

#include <cstdint>
#include <string>

// Escapes a UTF-8 byte string for a JSON string (without the quotes): tab, line
// feed, carriage return, quote and backslash get their short escapes, other
// bytes below 0x20 "\u00xx"; every other byte of well-formed UTF-8 is copied,
// and each ill-formed sequence becomes U+FFFD, so the output is always UTF-8.
std::string json_escape(const std::string& text);

// A record under construction: starts as {"schema":1.
std::string open_report_record();
void append_text_field(std::string& record, const char* name, const std::string& value);
void append_number_field(std::string& record, const char* name, std::int64_t value);
// Closes the record with "}" and one line feed.
void close_report_record(std::string& record);

// The broken-down UTC time as "YYYY-MM-DDTHH:MM:SSZ".
std::string format_utc_timestamp(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                 unsigned second);

// Where a report lies: in the profile folder, given in its "\\?\" form (the
// one the settings file is found by past 260 characters, and maintenance
// works in), a backslash and the name; where it has none (a root) the profile
// directory as given, a backslash and the name; without a profile directory
// the local application-data folder, "\Orvalis\" and the name; else empty.
std::wstring report_location(const std::wstring& profile_directory, const std::wstring& profile_folder,
                             const std::wstring& local_appdata, const std::wstring& file_name);
