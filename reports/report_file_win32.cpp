#include "reports/report_file.hpp"

#include "reports/rename_retry.hpp"
#include "reports/report_record.hpp"

#include <windows.h>
#include <shlobj.h>

std::string utc_timestamp()
{
    SYSTEMTIME now{};
    GetSystemTime(&now); // UTC, not local time
    return format_utc_timestamp(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

std::wstring report_path(const std::wstring& profile_directory, const std::wstring& profile_folder,
                         const std::wstring& file_name)
{
    std::wstring local_appdata;
    if (profile_directory.empty()) {
        wchar_t folder[MAX_PATH] = {};
        // SHGFP_TYPE_CURRENT: the folder where it is now, not its default place.
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
            local_appdata = folder;
    }
    return report_location(profile_directory, profile_folder, local_appdata, file_name);
}

bool write_file_atomic(const std::wstring& path, const std::string& content)
{
    if (content.size() > MAXDWORD) return false;
    const std::wstring temporary = path + L".tmp";
    // No sharing while it is written; CREATE_ALWAYS truncates a stale .tmp.
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    if (!wrote || written != content.size()) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    const auto rename = [&temporary, &path] {
        // One rename replaces the old report, so a reader sees the old or the new one.
        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return RenameOutcome::done;
        // A reader without delete sharing makes the rename fail with one of these
        // two until it lets go. A read-only report or a folder in its place also
        // gives access denied; it costs the whole second of tries, then the same failure.
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? RenameOutcome::busy
                                                                                : RenameOutcome::failed;
    };
    // The tries hold up whichever thread writes: the worker (error report), which
    // keeps the progress window up that much longer, or the main thread (result
    // report) just before the engine starts. Either way about one second at most.
    if (!rename_with_retries(rename, [](unsigned milliseconds) { Sleep(milliseconds); })) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
