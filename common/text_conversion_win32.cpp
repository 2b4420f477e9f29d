#include "common/text_conversion.hpp"

#include <windows.h>

#include <climits>

std::wstring utf8_to_wide(const std::string& text)
{
    if (text.empty() || text.size() > INT_MAX) return {};
    const int size = static_cast<int>(text.size());
    // Flags 0: invalid sequences become U+FFFD instead of failing the call.
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), needed) != needed) return {};
    return wide;
}

std::string wide_to_utf8(const std::wstring& text)
{
    if (text.empty() || text.size() > INT_MAX) return {};
    const int size = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string narrow(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), needed, nullptr, nullptr) != needed) return {};
    return narrow;
}
