#include "profile/previous_session.hpp"

RemovalPlan previous_session_plan(const std::wstring& profile_directory)
{
    if (!has_removable_profile(profile_directory)) return {};
    const std::wstring folder = default_profile_folder(profile_directory);
    return {
        {folder + L"\\Current Tabs", RemovalMethod::file},
        {folder + L"\\Current Session", RemovalMethod::file},
        {folder + L"\\Last Tabs", RemovalMethod::file},
        {folder + L"\\Last Session", RemovalMethod::file},
        {folder + L"\\Sessions", RemovalMethod::tree},
    };
}
