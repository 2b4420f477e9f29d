#include "profile/removal_plan.hpp"

bool has_removable_profile(const std::wstring& profile_directory)
{
    if (profile_directory.empty()) return false;
    const bool lone_separator =
        profile_directory.size() == 1 && (profile_directory[0] == L'\\' || profile_directory[0] == L'/');
    return !lone_separator;
}

std::wstring default_profile_folder(const std::wstring& profile_directory)
{
    return profile_directory + L"\\Default";
}
