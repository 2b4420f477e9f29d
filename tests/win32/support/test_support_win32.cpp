#include "test_support.hpp"

#include "common/text_conversion.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

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

std::wstring environment_value(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

std::string environment_text(const char* name)
{
    // Read wide and converted to UTF-8: the C library's copy is in the ANSI
    // code page, which cannot hold a non-ASCII value.
    return wide_to_utf8(environment_value(std::wstring(name, name + std::char_traits<char>::length(name)).c_str()));
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

std::wstring unique_name(const wchar_t* stem)
{
    static unsigned counter = 0;
    return std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
}

std::wstring scratch_directory()
{
    static const std::wstring directory = [] {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        return std::wstring(base) + unique_name(L"orvalis-test");
    }();
    CreateDirectoryW(directory.c_str(), nullptr);
    return directory;
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

std::wstring beside_this_program(const std::wstring& name)
{
    wchar_t self[MAX_PATH] = {};
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

namespace {

// The process of `line`, or nullptr.
HANDLE start_process(const std::wstring& program, const std::wstring& line)
{
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No handle inherited: what a program started here tells, it tells through files.
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << wide_to_utf8(program) << " did not start: error " << GetLastError();
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

} // namespace

DWORD run_process(const std::wstring& program, const std::wstring& line, DWORD timeout_ms)
{
    const HANDLE process = start_process(program, line);
    if (process == nullptr) return 0;
    // One still running (a crash handler that waits) is ended, so it does not outlive the test.
    if (WaitForSingleObject(process, timeout_ms) != WAIT_OBJECT_0) {
        ADD_FAILURE() << wide_to_utf8(line) << " did not end";
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    DWORD exit_code = 0;
    GetExitCodeProcess(process, &exit_code);
    CloseHandle(process);
    return exit_code;
}

HeldFile::HeldFile(const std::wstring& file, const wchar_t* share, DWORD let_go_ms)
{
    const std::wstring ready = scratch_directory() + L"\\" + unique_name(L"held");
    trigger = ready + L"-release";
    const std::wstring holder = windows_path_of(HOLD_FILE_EXE);
    process = start_process(holder, L"\"" + holder + L"\" \"" + file + L"\" " + share + L" \"" + ready +
                                        L"\" 60000 \"" + trigger + L"\" " + std::to_wstring(let_go_ms));
    // The holder either opens the file and says so, or exits.
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (process != nullptr && !file_exists(ready) && WaitForSingleObject(process, 5) == WAIT_TIMEOUT &&
           GetTickCount64() < deadline) {
    }
}

bool HeldFile::holding() const
{
    return process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

void HeldFile::release() const
{
    write_whole_file(trigger, "");
}

HeldFile::~HeldFile()
{
    release();
    if (process != nullptr) {
        WaitForSingleObject(process, 30000);
        CloseHandle(process);
    }
}
