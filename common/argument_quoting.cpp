#include "common/argument_quoting.hpp"

std::wstring quote_argument(const std::wstring& argument, bool always_quote)
{
    const bool plain = !argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos;
    if (plain && !always_quote) return argument;

    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each must be doubled.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    // The closing quote is a quote too.
    quoted.append(2 * backslashes, L'\\');
    quoted.push_back(L'"');
    return quoted;
}
