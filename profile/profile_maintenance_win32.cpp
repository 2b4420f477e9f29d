#include "profile/profile_maintenance.hpp"

#include "profile/previous_session.hpp"
#include "profile/removal_plan.hpp"
#include "profile/storage_reset.hpp"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>
#include <vector>

namespace {

// A path as the engine will see it: a relative one resolved against the
// current directory, which the engine inherits. The shell delete wants fully
// qualified names, and the root check must see "\" as the drive root it is.
// Empty when it cannot be resolved, which removes nothing.
std::wstring full_path(const std::wstring& path)
{
    // GetFullPathNameW reads up to the first NUL; a path holding one names something else.
    if (path.empty() || path.find(L'\0') != std::wstring::npos) return {};
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

// An item that is not a folder to go into: a file, or a link of either kind
// (FILE_ATTRIBUTE_REPARSE_POINT: a junction, a symbolic link), which goes
// itself and never takes what it points to. Wine cannot make such links, so
// only Windows shows this (docs/windows-checklist.md, the junction check).
void unlink_item(const std::wstring& path, DWORD attributes)
{
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // A read-only file refuses deletion. A link's attributes are left alone,
    // so nothing is ever changed on its target.
    if (!link && (attributes & FILE_ATTRIBUTE_READONLY)) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A link to a folder is removed as a folder: RemoveDirectoryW takes the
    // link, not the target's contents. Failures are ignored: the item stays.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
    } else {
        DeleteFileW(path.c_str());
    }
}

// Removes whatever the shell delete left of one item. Site storage holds paths
// longer than 260 characters, which the shell cannot reach; this goes through
// "\\?\" paths, which can. Folders are collected on an explicit list rather
// than by recursion, so no depth of tree can overflow the stack. What is held
// open or protected stays, as with the shell.
void remove_remains(const std::wstring& path)
{
    const std::wstring full = full_path(path);
    // Never a whole drive or share, whatever the caller passed.
    if (!has_removable_profile(full)) return;
    const std::wstring item = extended_length_path(full);
    if (item.empty()) return;
    const DWORD attributes = GetFileAttributesW(item.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return; // the shell took it all: the usual case
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        unlink_item(item, attributes);
        return;
    }
    std::vector<std::wstring> pending{item};
    // Each folder comes before every folder below it, so they are removed from the back.
    std::vector<std::wstring> folders;
    while (!pending.empty()) {
        std::wstring folder = std::move(pending.back());
        pending.pop_back();
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = folder + L"\\" + name;
                const DWORD kind = found.dwFileAttributes;
                if ((kind & FILE_ATTRIBUTE_DIRECTORY) && !(kind & FILE_ATTRIBUTE_REPARSE_POINT)) {
                    pending.push_back(child);
                } else {
                    unlink_item(child, kind);
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        folders.push_back(std::move(folder));
    }
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        // A read-only folder refuses removal like a read-only file.
        SetFileAttributesW(folder->c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW(folder->c_str());
    }
}

void carry_out(const RemovalPlan& plan)
{
    for (const PathRemoval& removal : plan) {
        if (removal.method == RemovalMethod::file) {
            // No existence test: a missing, busy or protected file makes this fail, and it is left.
            DeleteFileW(removal.path.c_str());
        } else {
            DeletePathSilently(removal.path);
        }
    }
}

} // namespace

void DeletePathSilently(const std::wstring& path)
{
    // The shell takes a list of names each ended by a NUL; a NUL inside the
    // path would split it into two names and delete a second, unintended item.
    if (path.find(L'\0') != std::wstring::npos) return;
    // A missing item is normal (a fresh profile) and needs no shell operation.
    // The test also keeps wildcard names from the shell, which would expand
    // them to every match: PathFileExistsW refuses names holding '*' or '?'.
    if (!PathFileExistsW(path.c_str())) return;
    std::vector<wchar_t> names(path.begin(), path.end());
    names.push_back(L'\0');
    names.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = names.data();
    // No FOF_ALLOWUNDO: the data is gone for good rather than kept in the
    // recycle bin. No progress, no confirmation (not even for the tree or a
    // read-only file) and no error box, so nothing ever waits for the user.
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    // Ignored: what it leaves is looked at next.
    SHFileOperationW(&operation);
    // The shell gives up on a tree with a path longer than 260 characters and
    // leaves it (under Wine, all of it), and a reset left half done would keep
    // the very data the user asked to be wiped.
    remove_remains(path);
}

// Both resolve the profile directory first, for the removal alone: the
// settings and the reports keep the directory as it was given.
void RemovePreviousSession(const std::wstring& profile_directory)
{
    carry_out(previous_session_plan(full_path(profile_directory)));
}

void ResetGranularStorage(const std::wstring& profile_directory, const FlagMap& storage_reset)
{
    carry_out(storage_reset_plan(full_path(profile_directory), storage_reset));
}
