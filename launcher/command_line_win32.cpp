#include "launcher/command_line.hpp"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

std::wstring passthrough_arguments()
{
    return passthrough_arguments_from(GetCommandLineW());
}

std::wstring find_user_data_dir()
{
    int count = 0;
    // The system's own splitting rules, the same the engine will apply.
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) return {};
    const std::vector<std::wstring> arguments(split, split + count);
    LocalFree(split);
    return user_data_dir_from(arguments);
}

std::wstring engine_path()
{
    wchar_t directory[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, directory, MAX_PATH);
    PathRemoveFileSpecW(directory);
    return std::wstring(directory) + L"\\orvalis-browser-engine.exe";
}
