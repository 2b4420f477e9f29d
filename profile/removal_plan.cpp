#include "profile/removal_plan.hpp"

#include <algorithm>

namespace {

bool is_separator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The end of the path component that starts at or after `position` (leading separators skipped).
std::size_t end_of_component(const std::wstring& path, std::size_t position)
{
    while (position < path.size() && is_separator(path[position])) ++position;
    while (position < path.size() && !is_separator(path[position])) ++position;
    return position;
}

wchar_t ascii_upper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - (L'a' - L'A')) : c;
}

// Whether the component that ends at `end` is `word`, compared as the object
// manager compares these names: ASCII letters in any case.
bool component_is(const std::wstring& path, std::size_t end, const std::wstring& word)
{
    std::size_t start = end;
    while (start > 0 && !is_separator(path[start - 1])) --start;
    if (end - start != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (ascii_upper(path[start + i]) != word[i]) return false;
    }
    return true;
}

// "\\?\" and "\\.\", which name an object of the system's namespace rather than a Win32 path.
bool is_device_path(const std::wstring& path)
{
    return path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
           is_separator(path[3]);
}

bool has_drive(const std::wstring& path, std::size_t position)
{
    return path.size() >= position + 2 && path[position + 1] == L':';
}

// How much of a device path names a volume rather than a folder on it.
// "Global" leads back to the same namespace and may come any number of times;
// "GLOBALROOT" opens the whole object namespace, where a volume takes two
// components ("Device\HarddiskVolume1", "??\C:").
std::size_t device_root_length(const std::wstring& path)
{
    std::size_t end = end_of_component(path, 4);
    while (component_is(path, end, L"GLOBAL")) end = end_of_component(path, end);
    if (component_is(path, end, L"UNC")) return end_of_component(path, end_of_component(path, end));
    if (component_is(path, end, L"GLOBALROOT")) return end_of_component(path, end_of_component(path, end));
    return end;
}

// How much of the path names a drive or share rather than a folder on it:
// "C:", "\\server\share", "\\?\C:", "\\?\UNC\server\share", "\\?\Volume{…}";
// nothing for a relative path or one rooted on the current drive.
std::size_t root_length(const std::wstring& path)
{
    if (is_device_path(path)) return device_root_length(path);
    const bool two_separators = path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
    if (two_separators) return end_of_component(path, end_of_component(path, 2));
    return has_drive(path, 0) ? 2 : 0;
}

// The "\\?\" form of a path the system has already resolved, or empty when it has none.
std::wstring prefixed(const std::wstring& full_path)
{
    if (full_path.compare(0, 4, L"\\\\?\\") == 0) return full_path;
    if (is_device_path(full_path)) return L"\\\\?\\" + full_path.substr(4);
    if (full_path.size() >= 2 && is_separator(full_path[0]) && is_separator(full_path[1]))
        return L"\\\\?\\UNC\\" + full_path.substr(2);
    if (has_drive(full_path, 0) && full_path.size() >= 3 && is_separator(full_path[2])) return L"\\\\?\\" + full_path;
    return {};
}

} // namespace

bool journal_may_go(RemovalOutcome database)
{
    return database != RemovalOutcome::stayed;
}

bool has_removable_profile(const std::wstring& path)
{
    for (std::size_t i = root_length(path); i < path.size(); ++i) {
        if (!is_separator(path[i])) return true;
    }
    return false;
}

std::wstring profile_folder_path(const std::wstring& profile_directory, const std::wstring& full_path_with_separator)
{
    const bool literal = profile_directory.compare(0, 4, L"\\\\?\\") == 0;
    const std::wstring full = literal ? profile_directory + L"\\" : full_path_with_separator;
    if (full.empty() || !is_separator(full.back())) return {};
    const std::wstring folder = prefixed(full.substr(0, full.size() - 1));
    if (folder.empty() || !has_removable_profile(folder)) return {};
    // After the prefix only single backslashes: the system resolved the
    // Win32 forms, and a "\\?\" path with an empty component or a forward
    // slash names nothing that the settings could have been read from.
    for (std::size_t i = 4; i < folder.size(); ++i) {
        if (folder[i] == L'/' || (folder[i] == L'\\' && (i + 1 == folder.size() || folder[i + 1] == L'\\')))
            return {};
    }
    return folder;
}

std::wstring reported_folder_name(const std::wstring& reported, const std::wstring& opened_path)
{
    const std::size_t reported_start = reported.find_last_of(L"\\/") + 1;
    const std::size_t opened_start = opened_path.find_last_of(L"\\/") + 1;
    const std::wstring opened_last = opened_path.substr(opened_start);
    const std::size_t kept = opened_last.find_last_not_of(L" .") + 1;
    if (kept == 0 || kept == opened_last.size() || reported.size() - reported_start != kept) return reported;
    if (reported.compare(reported_start, kept, opened_last, 0, kept) != 0) return reported;
    return reported.substr(0, reported_start) + opened_last;
}

bool is_entry_of(const std::wstring& folder_name, const std::wstring& name, const std::wstring& entry_name)
{
    if (entry_name.size() != folder_name.size() + 1 + name.size()) return false;
    const std::wstring expected = folder_name + L"\\" + name;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (ascii_upper(expected[i]) != ascii_upper(entry_name[i])) return false;
    }
    return true;
}

std::vector<std::wstring> path_components(const std::wstring& relative_path)
{
    std::vector<std::wstring> components;
    std::size_t start = 0;
    while (start <= relative_path.size()) {
        const std::size_t end = std::min(relative_path.find(L'\\', start), relative_path.size());
        components.push_back(relative_path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}
