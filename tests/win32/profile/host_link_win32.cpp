#include "tests/win32/profile/host_link_win32.hpp"

#include <windows.h>

namespace {

// Wine's own export: the host's path of a Windows path, allocated on the process heap.
std::string host_path(const std::wstring& path)
{
    using to_unix = char*(__cdecl*)(const wchar_t*);
    const auto convert = reinterpret_cast<to_unix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* converted = convert != nullptr ? convert(path.c_str()) : nullptr;
    if (converted == nullptr) return {};
    std::string result(converted);
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

// Linux's symlink(2), called directly: under Wine the process is a Linux
// process, and Wine does not stand between its code and the kernel.
long linux_symlink(const char* target, const char* link)
{
    long result = 0;
    asm volatile("syscall" : "=a"(result) : "a"(88L), "D"(target), "S"(link) : "rcx", "r11", "memory");
    return result;
}

// Linux's unlink(2), likewise.
long linux_unlink(const char* path)
{
    long result = 0;
    asm volatile("syscall" : "=a"(result) : "a"(87L), "D"(path) : "rcx", "r11", "memory");
    return result;
}

} // namespace

bool remove_host_link(const std::wstring& link)
{
    const std::string host_link = host_path(link);
    return !host_link.empty() && linux_unlink(host_link.c_str()) == 0;
}

bool make_host_symbolic_link(const std::wstring& link, const std::wstring& target)
{
    const std::string host_link = host_path(link);
    const std::string host_target = host_path(target);
    return !host_link.empty() && !host_target.empty() &&
           linux_symlink(host_target.c_str(), host_link.c_str()) == 0;
}
