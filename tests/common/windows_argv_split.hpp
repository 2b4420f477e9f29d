#pragma once

// A test oracle: splits a Windows command line the way CommandLineToArgvW
// does, from its documented rules (program name up to the closing quote or
// the first blank; then 2n backslashes + quote give n backslashes and toggle
// quoting, 2n+1 give n backslashes and a literal quote, a run of quotes counts
// in threes), so native tests can check that what goes in comes back out.

#include <string>
#include <vector>

inline std::vector<std::wstring> split_windows_command_line(const std::wstring& line)
{
    std::vector<std::wstring> arguments;
    std::size_t i = 0;
    const std::size_t n = line.size();
    std::wstring program;
    if (i < n && line[i] == L'"') {
        for (++i; i < n && line[i] != L'"'; ++i) program.push_back(line[i]);
        if (i < n) ++i;
    } else {
        for (; i < n && line[i] != L' ' && line[i] != L'\t'; ++i) program.push_back(line[i]);
    }
    arguments.push_back(program);

    while (true) {
        while (i < n && (line[i] == L' ' || line[i] == L'\t')) ++i;
        if (i >= n) break;
        std::wstring argument;
        int quotes = 0;
        std::size_t backslashes = 0;
        while (i < n && !(quotes == 0 && (line[i] == L' ' || line[i] == L'\t'))) {
            const wchar_t c = line[i];
            if (c == L'\\') {
                argument.push_back(c);
                ++backslashes;
                ++i;
                continue;
            }
            if (c != L'"') {
                argument.push_back(c);
                backslashes = 0;
                ++i;
                continue;
            }
            argument.resize(argument.size() - backslashes / 2);
            if (backslashes % 2 == 0) {
                ++quotes;
            } else {
                argument.back() = L'"';
            }
            ++i;
            backslashes = 0;
            while (i < n && line[i] == L'"') {
                if (++quotes == 3) {
                    argument.push_back(L'"');
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
        }
        arguments.push_back(argument);
    }
    return arguments;
}
