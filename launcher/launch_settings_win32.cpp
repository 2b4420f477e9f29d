#include "launcher/launch_settings.hpp"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <filesystem>
#include <fstream>
#include <iterator>

std::wstring fallback_settings_path()
{
    wchar_t folder[MAX_PATH] = {};
    // SHGFP_TYPE_CURRENT: the folder where it is now, not its default place.
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
    return std::wstring(folder) + L"\\Orvalis\\command-line.json";
}

std::wstring settings_file_path(const std::wstring& profile_directory)
{
    if (!profile_directory.empty()) {
        const std::wstring candidate = profile_directory + L"\\command-line.json";
        if (PathFileExistsW(candidate.c_str())) return candidate;
    }
    // Taken even when it does not exist: the defaults then apply.
    return fallback_settings_path();
}

LaunchSettings read_launch_settings(const std::wstring& path)
{
    if (path.empty()) return {};
    // The C runtime opens files shared for reading and writing, so a profile
    // manager that holds the file open does not keep the launcher from it.
    std::ifstream file{std::filesystem::path(path)};
    if (!file) return {};
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return parse_launch_settings(text);
}
