#include "launcher/launch_check.hpp"

#include "common/text_conversion.hpp"

#include <windows.h>

#include <memory>

// ntdll's, which every process has loaded: GetVersionEx tells a program
// without a manifest naming Windows 10 that it runs on 8.
extern "C" LONG WINAPI RtlGetVersion(OSVERSIONINFOW* version);

namespace {

// Absent from older SDK headers.
constexpr DWORD supports_posix_unlink_rename = 0x00000400;
// A cloud provider's placeholder or sync root: IO_REPARSE_TAG_CLOUD and its
// sixteen variants, which differ in bits 12 to 15 only.
constexpr DWORD cloud_tag_mask = 0xFFFF0FFF;
// The attributes only the cloud files filter sets (pinned, unpinned, fetched on open or on read).
constexpr DWORD cloud_attributes = 0x00080000 | 0x00100000 | 0x00040000 | 0x00400000;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The folder itself, for its attributes only: shared every way, so that no
// holder of it is disturbed; backup semantics, which a folder's handle needs.
Handle open_for_attributes(const std::wstring& path, DWORD flags)
{
    const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::string error_text(const char* call, DWORD error)
{
    return std::string(call) + " failed with error " + std::to_string(error);
}

// Where the walk up from a final path stops: after "\\?\C:" or after
// "\\?\UNC\server\share".
std::size_t root_length(const std::wstring& path)
{
    static const std::wstring unc = L"\\\\?\\UNC\\";
    if (path.compare(0, unc.size(), unc) != 0) return path.find(L'\\', 4);
    const std::size_t server_end = path.find(L'\\', unc.size());
    if (server_end == std::wstring::npos) return path.size();
    const std::size_t share_end = path.find(L'\\', server_end + 1);
    return share_end == std::wstring::npos ? path.size() : share_end;
}

// The first folder from `final_path` up to its volume's root that a cloud
// provider keeps: its reparse tag is a cloud one, or it carries the cloud
// attributes. The link itself is looked at, never followed.
bool cloud_folder(const std::wstring& final_path, std::string& reason)
{
    const std::size_t root = root_length(final_path);
    for (std::wstring path = final_path; path.size() > root; path.resize(path.rfind(L'\\'))) {
        const Handle folder = open_for_attributes(path, FILE_FLAG_OPEN_REPARSE_POINT);
        FILE_ATTRIBUTE_TAG_INFO info{};
        if (!folder || !GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &info, sizeof info))
            continue;
        const bool cloud_tag = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                               (info.ReparseTag & cloud_tag_mask) == IO_REPARSE_TAG_CLOUD;
        if (cloud_tag || (info.FileAttributes & cloud_attributes)) {
            reason = wide_to_utf8(path) + (cloud_tag ? " has the reparse tag " + hex_word(info.ReparseTag)
                                                     : " has the attributes " + hex_word(info.FileAttributes));
            return true;
        }
    }
    return false;
}

std::wstring final_path_of(HANDLE handle)
{
    wchar_t buffer[32768];
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer, 32768, FILE_NAME_NORMALIZED);
    return length == 0 || length >= 32768 ? std::wstring() : std::wstring(buffer, length);
}

} // namespace

SystemCheck system_check(const std::wstring& folder)
{
    SystemCheck system;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (RtlGetVersion(&version) == 0) {
        system.windows_major = version.dwMajorVersion;
        system.windows_minor = version.dwMinorVersion;
        system.windows_build = version.dwBuildNumber;
    }

    if (folder.empty()) {
        system.problem = "no profile folder: the launch has none, or it names a root";
        return system;
    }
    system.folder = wide_to_utf8(folder);
    // Links are followed: maintenance works where the profile folder leads.
    const Handle handle = open_for_attributes(folder, 0);
    if (!handle) {
        system.problem = error_text("opening the folder", GetLastError());
        return system;
    }
    wchar_t file_system[MAX_PATH + 1] = {};
    DWORD flags = 0;
    if (!GetVolumeInformationByHandleW(handle.get(), nullptr, 0, nullptr, nullptr, &flags, file_system,
                                       MAX_PATH + 1)) {
        system.problem = error_text("GetVolumeInformationByHandleW", GetLastError());
        return system;
    }
    system.file_system = wide_to_utf8(file_system);
    system.posix_delete = (flags & supports_posix_unlink_rename) != 0;
    const std::wstring final_path = final_path_of(handle.get());
    system.cloud = !final_path.empty() && cloud_folder(final_path, system.cloud_reason);
    return system;
}

ReportsFolderCheck reports_folder_check(const std::wstring& report_path)
{
    ReportsFolderCheck check;
    if (report_path.empty()) {
        check.reason = "no place for reports: no profile directory and no local application-data folder";
        return check;
    }
    const std::wstring folder = report_path.substr(0, report_path.rfind(L'\\'));
    check.path = wide_to_utf8(folder);
    // The right to add a file is what the report's ".tmp" file needs; asked
    // for alone, and shared every way, the open creates and changes nothing.
    // Backup semantics only because a folder's handle needs them: with the
    // backup privilege enabled (it is not, by default) the open would pass
    // where the folder's rules refuse the user.
    const HANDLE opened = CreateFileW(folder.c_str(), FILE_ADD_FILE | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        check.reason = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                           ? "the folder does not exist (the launcher creates none)"
                           : error_text("opening the folder to add a file", error);
        return check;
    }
    const Handle folder_handle(opened);
    DWORD flags = 0;
    if (GetVolumeInformationByHandleW(folder_handle.get(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
        (flags & FILE_READ_ONLY_VOLUME)) {
        check.reason = "the volume is read-only";
        return check;
    }
    // The report replaces the old one by a rename, which a read-only old report refuses.
    for (const std::wstring& name : {report_path, folder + L"\\.orvalis-launcher-error.json"}) {
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            check.reason = wide_to_utf8(name.substr(folder.size() + 1)) + " is read-only: no report can replace it";
            return check;
        }
    }
    check.writable = true;
    return check;
}
