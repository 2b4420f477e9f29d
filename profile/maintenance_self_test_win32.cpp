#include "profile/maintenance_self_test.hpp"

#include "common/text_conversion.hpp"
#include "profile/maintenance_walk_win32.hpp"
#include "profile/profile_maintenance.hpp"
#include "profile/self_test_links_win32.hpp"
#include "profile/self_test_verdicts.hpp"

#include <windows.h>
#include <winternl.h>

#include <string>
#include <vector>

namespace {

// FileDispositionInformationEx, which MinGW's headers lack for the launcher's
// target; the value is fixed by the system.
constexpr auto file_disposition_information_ex = static_cast<FILE_INFORMATION_CLASS>(64);

// What maintenance must remove from the scratch profile, and what beside it must stay.
const std::vector<std::wstring> removed_items = {
    L"Default\\Current Tabs", L"Default\\Current Session", L"Default\\Last Tabs", L"Default\\Last Session",
    L"Default\\Sessions",     L"Default\\Network\\Cookies", L"Default\\Network\\Cookies-journal",
};
const std::vector<std::wstring> kept_items = {L"Default\\Preferences", L"Default\\Sessions2\\keep", L"Local State"};
// The files of the removed items and of the held cookie database.
const std::vector<std::wstring> made_files = {
    L"Default\\Current Tabs",        L"Default\\Current Session",    L"Default\\Last Tabs",
    L"Default\\Last Session",        L"Default\\Sessions\\Session_1", L"Default\\Sessions\\nested\\Tabs_1",
    L"Default\\Network\\Cookies",    L"Default\\Network\\Cookies-journal", L"Default\\Cookies",
    L"Default\\Cookies-journal",
};

// A handle closed when it goes out of scope, on every way out.
struct OwnedHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE owned) : handle(owned) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle()
    {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_reparse_point(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool write_file(const std::wstring& path, const std::string& text)
{
    OwnedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.valid() && WriteFile(file.handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::string read_file(const std::wstring& path)
{
    OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[64] = {};
    DWORD read = 0;
    if (!file.valid() || !ReadFile(file.handle, buffer, sizeof buffer, &read, nullptr)) return {};
    return std::string(buffer, read);
}

// Folders (a trailing backslash) and files (their own path as contents) below `root`; false on the first failure.
bool make_entries(const std::wstring& root, const std::vector<std::wstring>& entries)
{
    for (const std::wstring& entry : entries) {
        const bool folder = entry.back() == L'\\';
        const std::wstring path = root + L"\\" + (folder ? entry.substr(0, entry.size() - 1) : entry);
        if (!(folder ? CreateDirectoryW(path.c_str(), nullptr) != 0 : write_file(path, wide_to_utf8(entry))))
            return false;
    }
    return true;
}

std::vector<std::string> present(const std::wstring& root, const std::vector<std::wstring>& items, bool wanted)
{
    std::vector<std::string> found;
    for (const std::wstring& item : items) {
        if (exists(root + L"\\" + item) == wanted) found.push_back(wide_to_utf8(item));
    }
    return found;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The path as a person writes it, without the "\\?\" prefix.
std::string shown(const std::wstring& extended)
{
    if (extended.compare(0, 8, L"\\\\?\\UNC\\") == 0) return wide_to_utf8(L"\\\\" + extended.substr(8));
    return wide_to_utf8(extended.compare(0, 4, L"\\\\?\\") == 0 ? extended.substr(4) : extended);
}

// The promise that a link in Sessions goes itself and its target, outside
// the profile, loses nothing. The system may refuse to make the link, or (Wine)
// say it made one and make nothing: then the promise is not checked.
struct LinkCase {
    std::string promise;
    std::wstring link;
    std::wstring target_file;
    std::string setup_failure;
};

LinkCase make_link(const std::string& promise, const std::wstring& scratch, const std::wstring& name,
                   std::string (*make)(const std::wstring&, const std::wstring&))
{
    const std::wstring target = scratch + L"\\outside\\" + name;
    LinkCase link{promise, scratch + L"\\profile\\Default\\Sessions\\" + name, target + L"\\keep", ""};
    if (!CreateDirectoryW(target.c_str(), nullptr) || !write_file(link.target_file, "keep")) {
        link.setup_failure = "the link's target could not be made";
        return link;
    }
    link.setup_failure = make(link.link, target);
    if (link.setup_failure.empty() && !is_reparse_point(link.link))
        link.setup_failure = "the system said it made the link, but there is none";
    return link;
}

SelfTestPromise judge_link(const LinkCase& link)
{
    std::vector<std::string> wrongs;
    if (read_file(link.target_file) != "keep") wrongs.push_back("its target lost a file: the link was followed");
    if (exists(link.link)) wrongs.push_back("the link stayed");
    return judge_promise(link.promise, link.setup_failure, wrongs, "the link went, its target is whole");
}

// A chain of 40-character folders in `folder`, a file in each, until the path passes 300 characters.
bool make_deep_tree(const std::wstring& folder)
{
    std::wstring path = folder;
    if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
    while (path.size() - 4 <= 300) {
        path += L"\\0123456789abcdef0123456789abcdef01234567";
        if (!CreateDirectoryW(path.c_str(), nullptr) || !write_file(path + L"\\index", "x")) return false;
    }
    return true;
}

// Deletes a new scratch file the POSIX way, which only asks and changes
// nothing else: the status tells which semantics the file system offers.
std::uint32_t probe_delete(const std::wstring& scratch)
{
    const std::wstring probe = scratch + L"\\probe";
    OwnedHandle file(CreateFileW(probe.c_str(), DELETE | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return 0xC0000001; // STATUS_UNSUCCESSFUL: nothing to probe with
    FILE_DISPOSITION_INFO_EX posix{};
    posix.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS;
    IO_STATUS_BLOCK io{};
    return static_cast<std::uint32_t>(
        NtSetInformationFile(file.handle, &io, &posix, sizeof posix, file_disposition_information_ex));
}

std::uint32_t volume_flags(const std::wstring& scratch)
{
    OwnedHandle folder(CreateFileW(scratch.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                   FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    DWORD flags = 0;
    if (!folder.valid() || !GetVolumeInformationByHandleW(folder.handle, nullptr, 0, nullptr, nullptr, &flags,
                                                          nullptr, 0))
        return 0;
    return flags;
}

// Builds the scratch profile, runs the launcher's maintenance on it and judges each promise.
void run_promises(const std::wstring& scratch, SelfTestOutcome& outcome)
{
    const std::wstring profile = scratch + L"\\profile";
    const bool made = make_entries(scratch, {L"profile\\", L"outside\\", L"profile\\Default\\",
                                             L"profile\\Default\\Sessions\\", L"profile\\Default\\Sessions\\nested\\",
                                             L"profile\\Default\\Network\\", L"profile\\Default\\Sessions2\\"}) &&
                      make_entries(profile, made_files) &&
                      make_entries(profile, kept_items);
    if (!made) {
        outcome.error_code = "SCRATCH_NOT_BUILT";
        outcome.message = "the scratch profile could not be built (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    const std::wstring read_only = profile + L"\\Default\\Sessions\\nested\\Tabs_1";
    const std::string read_only_failure =
        SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY) ? "" : "the file could not be made read-only";
    const std::string deep_failure =
        make_deep_tree(profile + L"\\Default\\IndexedDB") ? "" : "the system would not make a tree that deep here";
    const LinkCase junction = make_link("junction_not_followed", scratch, L"junction", make_junction);
    const LinkCase symbolic_link = make_link("symbolic_link_not_followed", scratch, L"symbolic link",
                                             make_symbolic_link);
    // Held by this process as a running browser holds its cookie database: without delete sharing.
    const std::wstring cookies = profile + L"\\Default\\Cookies";
    OwnedHandle held(CreateFileW(cookies.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

    const std::uint32_t probe = probe_delete(scratch);
    outcome.delete_semantics = delete_semantics(probe);

    RetryBudget budget = retry_budget_from(GetTickCount64());
    RemovePreviousSession(profile, budget);
    ResetGranularStorage(profile, {{"cookies", true}, {"indexeddb", true}}, budget);

    std::vector<std::string> wrongs;
    if (const std::string stayed = joined(present(profile, removed_items, true)); !stayed.empty())
        wrongs.push_back("stayed: " + stayed);
    if (const std::string lost = joined(present(profile, kept_items, false)); !lost.empty())
        wrongs.push_back("went though not asked for: " + lost);
    outcome.promises.push_back(
        judge_promise("items_removed", "", wrongs, "every item asked for went, and nothing beside them"));
    outcome.promises.push_back(judge_link(junction));
    outcome.promises.push_back(judge_link(symbolic_link));
    wrongs.clear();
    if (!exists(cookies)) wrongs.push_back("the held database went");
    if (!exists(cookies + L"-journal")) wrongs.push_back("the journal of the held database went");
    outcome.promises.push_back(judge_promise("held_database_keeps_journal",
                                             held.valid() ? "" : "the database could not be held", wrongs,
                                             "the held database and its journal stayed"));
    wrongs.clear();
    if (exists(read_only)) wrongs.push_back("the read-only file stayed");
    outcome.promises.push_back(judge_promise("read_only_file_in_removed_folder", read_only_failure, wrongs,
                                             "the read-only file went with its folder"));
    wrongs.clear();
    if (exists(profile + L"\\Default\\IndexedDB")) wrongs.push_back("the tree deeper than 260 characters stayed");
    outcome.promises.push_back(judge_promise("tree_deeper_than_260_characters", deep_failure, wrongs,
                                             "the tree went whole"));
    outcome.promises.push_back(judge_delete_semantics(probe, volume_flags(scratch)));
}

// Removes everything the test made below the scratch folder, with the same
// careful walk as maintenance (links go themselves, never entered), then the
// folder itself. True when it is gone.
bool remove_scratch(const std::wstring& scratch)
{
    RetryBudget budget = retry_budget_from(GetTickCount64());
    walk_plan(scratch,
              {{L"profile", RemovalMethod::tree, ""}, {L"outside", RemovalMethod::tree, ""},
               {L"probe", RemovalMethod::tree, ""}},
              WalkMode::remove, budget);
    return RemoveDirectoryW(scratch.c_str()) != 0;
}

} // namespace

SelfTestOutcome run_maintenance_self_test(const std::wstring& folder)
{
    SelfTestOutcome outcome;
    const std::wstring stem = L"orvalis-self-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64());
    std::wstring scratch;
    for (int attempt = 0; attempt < 10 && scratch.empty(); ++attempt) {
        // The "\\?\" form, which reaches past 260 characters; empty for a folder that names none.
        const std::wstring candidate =
            folder.empty() ? L"" : profile_folder(folder + L"\\" + stem + L"-" + std::to_wstring(attempt));
        if (candidate.empty()) {
            outcome.error_code = "FOLDER_INVALID";
            outcome.message = "no scratch folder can be named in \"" + wide_to_utf8(folder) + "\"";
            return outcome;
        }
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            scratch = candidate;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            outcome.error_code = "SCRATCH_NOT_CREATED";
            outcome.message = "the scratch folder " + shown(candidate) + " could not be created (error " +
                              std::to_string(GetLastError()) + ")";
            return outcome;
        }
    }
    if (scratch.empty()) {
        outcome.error_code = "SCRATCH_NOT_CREATED";
        outcome.message = "every scratch folder name tried was taken";
        return outcome;
    }
    outcome.scratch_folder = shown(scratch);
    run_promises(scratch, outcome);
    outcome.scratch_removed = remove_scratch(scratch);
    return outcome;
}
