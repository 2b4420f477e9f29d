#include "profile/removal_handles_win32.hpp"

#include "profile/removal_entry.hpp"
#include "profile/removal_plan.hpp"
#include "profile/removal_status.hpp"

#include <winternl.h>

namespace {

// Information classes that MinGW's headers lack or declare only for newer
// targets than the launcher's; the values are fixed by the system.
constexpr auto file_disposition_information = static_cast<FILE_INFORMATION_CLASS>(13);
constexpr auto file_disposition_information_ex = static_cast<FILE_INFORMATION_CLASS>(64);

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

// What the handle says: its attributes, its reparse tag and its name on the volume. False when it says nothing.
bool describe(OpenEntry& entry)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(entry.handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    entry.attributes = tag.FileAttributes;
    entry.reparse_tag = tag.ReparseTag;
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

// Waits before another try of a call refused for a moment; false once the deadline has come.
// Sleep ends on a tick of the system's timer (about 15.6 ms apart unless a program asked for
// finer ones), so a wait may last up to a tick longer than asked: the deadline charges that too.
bool wait_to_retry(RetryBudget& budget, unsigned& retries)
{
    const std::uint32_t wait = take_retry_wait(budget, retries++, GetTickCount64());
    if (wait == 0) return false;
    Sleep(wait);
    return true;
}

// Opens `name` relative to the open folder `parent` (the same object again
// for an empty name) with `access`, never following a link in its place,
// and tries again while the budget lasts if it is refused for a moment.
// The status of the last try.
std::uint32_t open_relative(const OpenEntry& parent, const std::wstring& name, ACCESS_MASK access,
                            ULONG options, RetryBudget& budget, HANDLE& handle)
{
    UNICODE_STRING object_name{};
    object_name.Buffer = const_cast<wchar_t*>(name.data());
    object_name.Length = object_name.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes{};
    // Relative to the parent's handle, so no path is looked up again; names
    // compare without case, as everywhere in Win32. The parent's handle needs
    // no access of its own for this: NtCreateFile takes as RootDirectory any
    // handle to a folder from an earlier open, and states no access for it
    // (learn.microsoft.com, "NtCreateFile function (winternl.h)",
    // ObjectAttributes); the way to the entry is checked against each folder's
    // own security as traverse access, which every user is granted by default
    // through SeChangeNotifyPrivilege (Windows Driver Kit, "Checking for
    // Traverse Privilege on IRP_MJ_CREATE"), and sharing modes are checked
    // against the opened entry alone (MS-FSA 2.1.5.1.2.2).
    InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, parent.handle, nullptr);
    NTSTATUS result = 0;
    unsigned retries = 0;
    do {
        IO_STATUS_BLOCK status{};
        handle = nullptr;
        // FILE_OPEN_REPARSE_POINT: a link is opened itself, never followed;
        // FILE_OPEN_NO_RECALL: a cloud placeholder is not downloaded to be
        // deleted. No FILE_OPEN_FOR_BACKUP_INTENT: a process with the backup
        // and restore privileges enabled may remove no more than its user.
        // Synchronous I/O for the listing.
        result = NtCreateFile(&handle, access, &attributes, &status, nullptr, 0, share_all, FILE_OPEN,
                              options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_NO_RECALL | FILE_SYNCHRONOUS_IO_NONALERT,
                              nullptr, 0);
    } while (status_meaning(static_cast<std::uint32_t>(result)) == StatusMeaning::for_now &&
             wait_to_retry(budget, retries));
    return static_cast<std::uint32_t>(result);
}

// One step of a delete through the handle, answered with the file system's own status, which
// tells "unsupported" from "read-only" and "pending" where Win32 errors merge them. Wine
// answers POSIX semantics with "not implemented" and so always takes the classic delete:
// the other roads show on Windows alone (docs/windows-checklist.md).
std::uint32_t try_delete(HANDLE handle, DeleteStep step)
{
    IO_STATUS_BLOCK io{};
    if (step == DeleteStep::classic || step == DeleteStep::classic_read_only_cleared) {
        FILE_DISPOSITION_INFO classic{};
        classic.DeleteFile = TRUE;
        return static_cast<std::uint32_t>(
            NtSetInformationFile(handle, &io, &classic, sizeof classic, file_disposition_information));
    }
    // POSIX semantics: the name goes at once, even while another program
    // holds the entry open with delete sharing, so its folder can go next.
    // Ignoring read-only rather than clearing it changes nothing that stays.
    FILE_DISPOSITION_INFO_EX posix{};
    posix.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS;
    if (step == DeleteStep::posix_over_read_only) posix.Flags |= FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
    return static_cast<std::uint32_t>(
        NtSetInformationFile(handle, &io, &posix, sizeof posix, file_disposition_information_ex));
}

} // namespace

ProfileFolderCheck open_profile_folder(const std::wstring& extended_path, OpenEntry& folder)
{
    // FILE_FLAG_BACKUP_SEMANTICS is how CreateFileW opens a folder at all; this
    // handle can only say what the folder is and stand for it in the opens
    // below, each checked on its own without backup intent. Without
    // FILE_FLAG_OPEN_REPARSE_POINT a junction in place of the profile folder
    // leads to the folder it names. FILE_FLAG_OPEN_NO_RECALL: a cloud
    // placeholder is not fetched for this.
    folder.handle = CreateFileW(extended_path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, share_all, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_NO_RECALL, nullptr);
    if (folder.handle == INVALID_HANDLE_VALUE) return ProfileFolderCheck::unopened;
    if (!describe(folder)) return ProfileFolderCheck::no_final_path;
    folder.final_name = reported_folder_name(folder.final_name, extended_path);
    // A volume's root reached through a link: VOLUME_NAME_NONE gives "\" for
    // the root of a local volume, one without a drive letter included. A
    // share's root comes back through the redirector as "\server\share",
    // like a folder of that path on a drive; VOLUME_NAME_DOS names it
    // "\\?\UNC\server\share", and a drive's root "\\?\C:\". A name that does
    // not fit the buffer is longer than any root (a server's name takes
    // at most 255 characters, a share's 80). Where either call fails, nothing
    // tells the folder from a root ("\\?\GLOBALROOT\Device\Mup\server\share"
    // and "\\?\UNC\server\share\." have no other guard), so nothing is
    // maintained: Wine gives neither name past about 270 characters, where
    // Windows gives both. Wine shows no share through a link
    // (docs/windows-checklist.md, the share's root).
    wchar_t on_volume[4] = {};
    const DWORD length = GetFinalPathNameByHandleW(folder.handle, on_volume, 4, VOLUME_NAME_NONE);
    if (length == 0) return ProfileFolderCheck::no_final_path;
    if (length < 4 && !has_removable_profile(on_volume)) return ProfileFolderCheck::root;
    std::vector<wchar_t> dos_name(512);
    const DWORD dos_length = GetFinalPathNameByHandleW(folder.handle, dos_name.data(),
                                                       static_cast<DWORD>(dos_name.size()), VOLUME_NAME_DOS);
    if (dos_length == 0) return ProfileFolderCheck::no_final_path;
    if (dos_length < dos_name.size() && !has_removable_profile(std::wstring(dos_name.data(), dos_length)))
        return ProfileFolderCheck::root;
    return ProfileFolderCheck::opened;
}

OpenStatus open_child(const OpenEntry& parent, const std::wstring& name, EntryUse use, RetryBudget& budget,
                      OpenEntry& child)
{
    // A folder on the way: its attributes and tag, and its name. To remove an
    // entry, DELETE, and FILE_WRITE_ATTRIBUTES for a read-only one where the
    // file system lacks a delete that ignores the attribute. Neither asks to
    // read: FILE_LIST_DIRECTORY is FILE_READ_DATA's bit, which a program that
    // holds the entry without read sharing refuses (MS-FSA 2.1.5.1.2.2); a
    // folder to be emptied is listed through a handle of its own.
    const ACCESS_MASK access =
        FILE_READ_ATTRIBUTES | SYNCHRONIZE | (use == EntryUse::remove ? DELETE | FILE_WRITE_ATTRIBUTES : 0);
    HANDLE handle = nullptr;
    const std::uint32_t status = open_relative(parent, name, access, 0, budget, handle);
    switch (status_meaning(status)) {
    case StatusMeaning::done:
        break;
    case StatusMeaning::gone:
        return {OpenResult::absent, status};
    default:
        return {OpenResult::failed, status};
    }
    child.handle = handle;
    if (!describe(child)) {
        close_entry(child);
        return {OpenResult::failed, status};
    }
    return {OpenResult::opened, status};
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

FolderListing list_folder(const OpenEntry& folder, RetryBudget& budget)
{
    FolderListing listing;
    OpenEntry lister;
    // The folder itself again (no name), for listing only; it must still be a folder.
    listing.status = open_relative(folder, L"", FILE_LIST_DIRECTORY | SYNCHRONIZE, FILE_DIRECTORY_FILE, budget,
                                   lister.handle);
    if (status_meaning(listing.status) != StatusMeaning::done) return listing;
    listing.status = 0;
    // 64 KiB, aligned for the records; the listing goes on until the system has no more.
    std::vector<std::uint64_t> buffer(8192);
    FILE_INFO_BY_HANDLE_CLASS next = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(lister.handle, next, buffer.data(),
                                        static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)))) {
        next = FileIdBothDirectoryInfo;
        const char* record = reinterpret_cast<const char*>(buffer.data());
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
            std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            // A reparse point has no extended attributes: its record holds its tag in their size's place,
            // where FindFirstFileW takes dwReserved0 from. Zero where a file system gives none (Wine).
            if (name != L"." && name != L"..") listing.entries.push_back({std::move(name), info->FileAttributes,
                                                                          info->EaSize});
            if (info->NextEntryOffset == 0) break;
            record += info->NextEntryOffset;
        }
    }
    listing.complete = listing_complete(GetLastError(), next == FileIdBothDirectoryRestartInfo);
    close_entry(lister);
    return listing;
}

DeleteResult delete_entry(const OpenEntry& entry, bool over_read_only, RetryBudget& budget)
{
    const DeleteRefusal refusal{over_read_only, (entry.attributes & file_attribute::readonly) != 0};
    DeleteStep step = DeleteStep::posix;
    std::uint32_t status = 0;
    bool cleared = false;
    unsigned retries = 0;
    while (step != DeleteStep::removed && step != DeleteStep::stayed) {
        if (clears_read_only(step) && !cleared) {
            if (!set_attributes(entry.handle, attributes_for_delete(entry.attributes))) break;
            cleared = true;
        }
        status = try_delete(entry.handle, step);
        const DeleteStep next = next_delete_step(step, status, refusal);
        if (next == step && !wait_to_retry(budget, retries)) break;
        step = next;
    }
    // Put back whatever happened: an entry that stays keeps its attributes,
    // and so do a hard link's other names, which share them.
    if (cleared) set_attributes(entry.handle, attributes_to_restore(entry.attributes));
    return {step == DeleteStep::removed, status};
}

void close_entry(OpenEntry& entry)
{
    if (entry.handle != INVALID_HANDLE_VALUE) CloseHandle(entry.handle);
    entry.handle = INVALID_HANDLE_VALUE;
}
