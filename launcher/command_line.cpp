#include "launcher/command_line.hpp"

namespace {

bool is_blank_or_control(wchar_t c)
{
    return static_cast<unsigned long>(c) <= 32;
}

} // namespace

std::wstring passthrough_arguments_from(const std::wstring& command_line)
{
    std::size_t i = 0;
    bool quoted = false;
    for (; i < command_line.size(); ++i) {
        const wchar_t c = command_line[i];
        if (c == L'"') quoted = !quoted;
        else if (!quoted && is_blank_or_control(c)) break;
    }
    while (i < command_line.size() && is_blank_or_control(command_line[i])) ++i;
    return command_line.substr(i);
}

std::wstring user_data_dir_from(const std::vector<std::wstring>& arguments)
{
    static const std::wstring prefix = L"--user-data-dir=";
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        // A bare switch with no value does not count; the search goes on.
        if (argument.size() > prefix.size() && argument.compare(0, prefix.size(), prefix) == 0)
            return argument.substr(prefix.size());
    }
    return {};
}
