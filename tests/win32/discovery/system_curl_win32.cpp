#include "system_curl.hpp"

#include "common/text_conversion.hpp"

#include <windows.h>

#include <fstream>
#include <iterator>

std::wstring system_curl_path()
{
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    return std::wstring(directory, length) + L"\\curl.exe";
}

bool install_curl_double()
{
    const std::string double_path = environment_text("ORVALIS_CURL_DOUBLE");
    return !double_path.empty() &&
           CopyFileW(windows_path_of(double_path).c_str(), system_curl_path().c_str(), FALSE) != 0;
}

bool remove_system_curl()
{
    return DeleteFileW(system_curl_path().c_str()) != 0;
}

std::wstring windows_path_of(const std::string& linux_path)
{
    std::wstring path = L"Z:" + utf8_to_wide(linux_path);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::string environment_text(const char* name)
{
    // Read wide and converted to UTF-8: the C library's copy is in the ANSI
    // code page, which cannot hold the rig's non-ASCII password.
    const std::wstring wide_name(name, name + std::char_traits<char>::length(name));
    const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(wide_name.c_str(), value.data(), size));
    return wide_to_utf8(value);
}

void set_environment(const std::wstring& name, const std::wstring& value)
{
    SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
}

bool curl_ended_by_itself(const std::function<void()>& run)
{
    const std::wstring ended = temporary_file(L"end");
    DeleteFileW(ended.c_str());
    set_environment(L"ORVALIS_CURL_ENDED", ended);
    run();
    // A curl ended from outside writes nothing, not even a moment later.
    Sleep(200);
    set_environment(L"ORVALIS_CURL_ENDED", L"");
    const bool marked = file_exists(ended);
    DeleteFileW(ended.c_str());
    return marked;
}

std::wstring temporary_file(const wchar_t* prefix)
{
    wchar_t directory[MAX_PATH];
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, prefix, 0, path);
    return path;
}

bool file_exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string read_whole_file(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_whole_file(const std::wstring& path, const std::string& bytes)
{
    std::ofstream(path.c_str(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

long long counter_now()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double counter_ms(long long counter)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter) / static_cast<double>(frequency.QuadPart);
}
