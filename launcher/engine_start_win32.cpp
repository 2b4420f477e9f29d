#include "launcher/engine_switches.hpp"

#include <windows.h>

#include <vector>

std::wstring device_memory_value()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return {};
    return std::to_wstring(device_memory_class(status.ullTotalPhys));
}

std::wstring hardware_concurrency_value()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    if (info.dwNumberOfProcessors == 0) return {};
    return std::to_wstring(info.dwNumberOfProcessors);
}

EngineStart start_engine(const std::wstring& engine_path, const std::wstring& passthrough_arguments,
                         const std::wstring& switch_text)
{
    const std::wstring line = engine_command_line(engine_path, passthrough_arguments, switch_text);
    // CreateProcessW may write into its command line, so it gets a copy.
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No handle inheritance: the engine must not keep any of the launcher's handles.
    if (!CreateProcessW(engine_path.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return {false, GetLastError()};
    // The launcher never waits for the engine.
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return {true, 0};
}

std::wstring system_message(std::uint32_t error)
{
    wchar_t* text = nullptr;
    // From the system's message table, in the user's language; IGNORE_INSERTS
    // because no arguments are given for a "%1" in it.
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    // The table's texts end in a line break.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? L"No message for this error" : message;
}
