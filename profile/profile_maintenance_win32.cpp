#include "profile/profile_maintenance.hpp"

#include "profile/previous_session.hpp"
#include "profile/storage_reset.hpp"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

namespace {

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
    // Ignored: whatever the shell could not delete stays, and the launch goes on.
    SHFileOperationW(&operation);
}

void RemovePreviousSession(const std::wstring& profile_directory)
{
    carry_out(previous_session_plan(profile_directory));
}

void ResetGranularStorage(const std::wstring& profile_directory, const FlagMap& storage_reset)
{
    carry_out(storage_reset_plan(profile_directory, storage_reset));
}
