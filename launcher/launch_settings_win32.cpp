#include "launcher/launch_settings.hpp"

#include "profile/profile_maintenance.hpp"

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
        // Past 260 characters (a profile path of 242 or more) Windows finds the
        // file only by its "\\?\" name, unless long paths are enabled for both
        // the machine and the program. Without it the launcher would take the
        // fallback file's settings for this profile, its maintenance included.
        // Wine has no such limit (docs/windows-checklist.md, the long profile path).
        const std::wstring folder = profile_folder(profile_directory);
        if (!folder.empty()) {
            const std::wstring long_candidate = folder + L"\\command-line.json";
            if (GetFileAttributesW(long_candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return long_candidate;
        }
    }
    // Taken even when it does not exist: the defaults then apply.
    return fallback_settings_path();
}

bool read_settings_text(const std::wstring& path, std::string& text)
{
    if (path.empty()) return false;
    // The C runtime opens files shared for reading and writing, so a profile
    // manager that holds the file open does not keep the launcher from it.
    std::ifstream file{std::filesystem::path(path)};
    if (!file) return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

LaunchSettings read_launch_settings(const std::wstring& path)
{
    std::string text;
    if (!read_settings_text(path, text)) return {};
    return parse_launch_settings(text);
}
