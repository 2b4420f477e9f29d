#include "profile/removal_handles_win32.hpp"

#include "profile/removal_entry.hpp"
#include "profile/removal_plan.hpp"

#include <winternl.h>

namespace {

constexpr NTSTATUS status_object_name_not_found = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS status_object_path_not_found = static_cast<NTSTATUS>(0xC000003A);

// FileDispositionInfoEx, which MinGW's headers declare only for newer targets
// than the launcher's; the value is fixed by the system.
constexpr auto file_disposition_info_ex = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

// Others may go on reading, writing and deleting while an entry is open here:
// nothing held by the launcher blocks the user's programs.
constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FileNormalizedNameInfo, which MinGW's headers number after the two classes
// they leave out for the launcher's target; the value is fixed by the system.
constexpr auto file_normalized_name_info = static_cast<FILE_INFO_BY_HANDLE_CLASS>(24);

// The path of the handle's object on its volume, in the form of `kind`
// (FileNameInfo: as opened; FileNormalizedNameInfo: long names, the case on
// disk), or empty where the file system does not give it. Rather than
// GetFinalPathNameByHandleW, which Wine limits to 260 characters. Room for a
// usual path first, and for the longest there is only when that is too small.
std::wstring final_name_of(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind)
{
    for (const std::size_t characters : {std::size_t{MAX_PATH}, std::size_t{32768}}) {
        // Aligned for the record.
        std::vector<std::uint32_t> buffer((sizeof(FILE_NAME_INFO) + characters * sizeof(wchar_t)) / 4 + 1);
        auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
        if (GetFileInformationByHandleEx(handle, kind, info, static_cast<DWORD>(buffer.size() * 4)))
            return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
        if (GetLastError() != ERROR_MORE_DATA) break;
    }
    return {};
}

// What the handle says: its attributes and its name on the volume. False when it says nothing.
bool describe(OpenEntry& entry)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(entry.handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    entry.attributes = tag.FileAttributes;
    entry.final_name = final_name_of(entry.handle, FileNameInfo);
    return !entry.final_name.empty();
}

bool set_attributes(HANDLE handle, std::uint32_t attributes)
{
    // Zero times leave the time stamps as they are.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
}

bool mark_for_delete(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

} // namespace

bool open_profile_folder(const std::wstring& extended_path, OpenEntry& folder)
{
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder; without FILE_FLAG_OPEN_REPARSE_POINT
    // a junction in place of the profile folder leads to the folder it names.
    // FILE_FLAG_OPEN_NO_RECALL: a cloud placeholder is not fetched for this.
    folder.handle = CreateFileW(extended_path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                share_all, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_NO_RECALL, nullptr);
    if (folder.handle == INVALID_HANDLE_VALUE) return false;
    if (!describe(folder)) return false;
    folder.final_name = reported_folder_name(folder.final_name, extended_path);
    // A volume's root reached through a link: VOLUME_NAME_NONE gives "\" for
    // the root of a local volume, one without a drive letter included. A
    // share's root comes back through the redirector as "\server\share",
    // like a folder of that path on a drive; VOLUME_NAME_DOS names it
    // "\\?\UNC\server\share", and a drive's root "\\?\C:\". A name that does
    // not fit the buffer is longer than any root (a server's name takes
    // at most 255 characters, a share's 80). Where neither answers
    // (Wine past 260 characters) the name above stands alone. Wine shows no
    // share through a link (docs/windows-checklist.md, the share's root).
    wchar_t on_volume[4] = {};
    const DWORD length = GetFinalPathNameByHandleW(folder.handle, on_volume, 4, VOLUME_NAME_NONE);
    if (length > 0 && length < 4 && !has_removable_profile(on_volume)) return false;
    std::vector<wchar_t> dos_name(512);
    const DWORD dos_length = GetFinalPathNameByHandleW(folder.handle, dos_name.data(),
                                                       static_cast<DWORD>(dos_name.size()), VOLUME_NAME_DOS);
    return !(dos_length > 0 && dos_length < dos_name.size() &&
             !has_removable_profile(std::wstring(dos_name.data(), dos_length)));
}

OpenResult open_child(const OpenEntry& parent, const std::wstring& name, OpenEntry& child)
{
    UNICODE_STRING object_name{};
    object_name.Buffer = const_cast<wchar_t*>(name.data());
    object_name.Length = object_name.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes{};
    // Relative to the parent's handle, so no path is looked up again; names
    // compare without case, as everywhere in Win32.
    InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, parent.handle, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    // DELETE to remove it, FILE_LIST_DIRECTORY to list a folder,
    // FILE_WRITE_ATTRIBUTES for a read-only entry where the file system lacks
    // a delete that ignores the attribute. FILE_OPEN_REPARSE_POINT: a link
    // is opened itself, never followed; FILE_OPEN_NO_RECALL: a cloud
    // placeholder is not downloaded to be deleted. Synchronous I/O for the listing.
    const NTSTATUS result = NtCreateFile(
        &handle, DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, &attributes,
        &status, nullptr, 0, share_all, FILE_OPEN,
        FILE_OPEN_REPARSE_POINT | FILE_OPEN_NO_RECALL | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT,
        nullptr, 0);
    if (result == status_object_name_not_found || result == status_object_path_not_found) return OpenResult::absent;
    if (result < 0) return OpenResult::failed;
    child.handle = handle;
    if (!describe(child)) {
        close_entry(child);
        return OpenResult::failed;
    }
    return OpenResult::opened;
}

bool at_own_name(const OpenEntry& parent, const std::wstring& name, const OpenEntry& child)
{
    if (is_entry_of(parent.final_name, name, child.final_name)) return true;
    // FAT reports a folder opened by its short name (8.3) by that name, and
    // the entries below it by its long one; their normalized names agree.
    // Asked only here, so a walk whose names agree costs no call more. Windows
    // 8 and later give them on NTFS and FAT; elsewhere (Wine 8 answers
    // ERROR_CALL_NOT_IMPLEMENTED) the names as opened decide alone. Wine
    // reports long names for a folder opened by its short one, so only
    // Windows shows this (docs/windows-checklist.md, the 8.3 profile path).
    const std::wstring parent_name = final_name_of(parent.handle, file_normalized_name_info);
    return !parent_name.empty() &&
           is_entry_of(parent_name, name, final_name_of(child.handle, file_normalized_name_info));
}

std::vector<ListedEntry> list_folder(const OpenEntry& folder)
{
    std::vector<ListedEntry> entries;
    // 64 KiB, aligned for the records; the listing goes on until the system has no more.
    std::vector<std::uint64_t> buffer(8192);
    FILE_INFO_BY_HANDLE_CLASS next = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(folder.handle, next, buffer.data(),
                                        static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)))) {
        next = FileIdBothDirectoryInfo;
        const char* record = reinterpret_cast<const char*>(buffer.data());
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
            std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") entries.push_back({std::move(name), info->FileAttributes});
            if (info->NextEntryOffset == 0) break;
            record += info->NextEntryOffset;
        }
    }
    return entries;
}

bool delete_entry(const OpenEntry& entry, bool over_read_only)
{
    // POSIX semantics: the name goes at once, even while another program
    // holds the entry open with delete sharing, so its folder can go next.
    // The read-only attribute is ignored rather than cleared, so nothing that
    // stays is changed. Windows 10 1809 and later on NTFS.
    FILE_DISPOSITION_INFO_EX posix{};
    posix.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS;
    if (over_read_only) posix.Flags |= FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
    if (SetFileInformationByHandle(entry.handle, file_disposition_info_ex, &posix, sizeof posix)) return true;
    // Elsewhere (FAT, network shares, older Windows, Wine) the classic
    // delete: the name goes when the last handle closes, and a read-only
    // entry refuses it.
    if (mark_for_delete(entry.handle)) return true;
    const std::uint32_t writable = over_read_only ? attributes_for_delete(entry.attributes) : 0;
    if (writable == 0 || !set_attributes(entry.handle, writable)) return false;
    const bool marked = mark_for_delete(entry.handle);
    // Put back whatever happened: an entry that stays keeps its attributes,
    // and so do a hard link's other names, which share them.
    set_attributes(entry.handle, attributes_to_restore(entry.attributes));
    return marked;
}

void close_entry(OpenEntry& entry)
{
    if (entry.handle != INVALID_HANDLE_VALUE) CloseHandle(entry.handle);
    entry.handle = INVALID_HANDLE_VALUE;
}
