#include "profile/removal_plan.hpp"

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

// Whether the device path's first component is "UNC", which the system matches in any case.
bool is_unc_device(const std::wstring& path, std::size_t start, std::size_t end)
{
    const wchar_t unc[] = L"UNC";
    if (end - start != 3) return false;
    for (std::size_t i = 0; i < 3; ++i) {
        const wchar_t c = path[start + i];
        if (c != unc[i] && c != unc[i] + (L'a' - L'A')) return false;
    }
    return true;
}

bool is_device_path(const std::wstring& path)
{
    return path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
           is_separator(path[3]);
}

bool has_drive(const std::wstring& path, std::size_t position)
{
    return path.size() >= position + 2 && path[position + 1] == L':';
}

// How much of the path names a drive or share rather than a folder on it:
// "C:", "\\server\share", "\\?\C:", "\\?\UNC\server\share", "\\?\Volume{…}";
// nothing for a relative path or one rooted on the current drive.
std::size_t root_length(const std::wstring& path)
{
    if (is_device_path(path)) {
        if (has_drive(path, 4)) return 6;
        const std::size_t device = end_of_component(path, 4);
        if (is_unc_device(path, 4, device)) return end_of_component(path, end_of_component(path, device));
        return device;
    }
    const bool two_separators = path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
    if (two_separators) return end_of_component(path, end_of_component(path, 2));
    return has_drive(path, 0) ? 2 : 0;
}

} // namespace

bool has_removable_profile(const std::wstring& profile_directory)
{
    for (std::size_t i = root_length(profile_directory); i < profile_directory.size(); ++i) {
        if (!is_separator(profile_directory[i])) return true;
    }
    return false;
}

std::wstring default_profile_folder(const std::wstring& profile_directory)
{
    return profile_directory + L"\\Default";
}

std::wstring extended_length_path(const std::wstring& full_path)
{
    std::wstring result;
    std::size_t rest = 0;
    if (is_device_path(full_path)) {
        result = L"\\\\?\\";
        rest = 4;
    } else if (full_path.size() >= 2 && is_separator(full_path[0]) && is_separator(full_path[1])) {
        result = L"\\\\?\\UNC\\";
        rest = 2;
    } else if (has_drive(full_path, 0) && full_path.size() >= 3 && is_separator(full_path[2])) {
        result = L"\\\\?\\";
    } else {
        return {};
    }
    for (std::size_t i = rest; i < full_path.size(); ++i) {
        if (!is_separator(full_path[i])) {
            result += full_path[i];
        } else if (result.back() != L'\\') {
            result += L'\\';
        }
    }
    return result;
}
