#pragma once

// UTF-8 bytes <-> UTF-16 text. An empty input and a failed conversion both give
// an empty output; invalid sequences are replaced, never reported.

#include <string>

std::wstring utf8_to_wide(const std::string& text);
std::string wide_to_utf8(const std::wstring& text);
