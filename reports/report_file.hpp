#pragma once

// Windows: the clock, the reports' location and the atomic file write.

#include <string>

// The current UTC time as "YYYY-MM-DDTHH:MM:SSZ".
std::string utc_timestamp();

// The location rule of both reports for the launch's profile directory (empty
// without --user-data-dir=) and its profile folder in the "\\?\" form, which
// the launcher hands down.
std::wstring report_path(const std::wstring& profile_directory, const std::wstring& profile_folder,
                         const std::wstring& file_name);

// Replaces `path` with exactly `content` through "<path>.tmp", so a reader
// never sees half a report. False on any failure, after which no .tmp file of
// this call remains and an existing file at `path` is unchanged. While another
// program holds the old file the final rename is tried again for about a second.
bool write_file_atomic(const std::wstring& path, const std::string& content);
