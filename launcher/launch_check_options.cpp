#include "launcher/launch_check_options.hpp"

#include "common/text_conversion.hpp"

#include <vector>

namespace {

struct RawArgument {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::wstring value;
};

bool is_separator(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// Each argument's place in the raw text and its value after unquoting.
std::vector<RawArgument> split_arguments(const std::wstring& text)
{
    std::vector<RawArgument> arguments;
    std::size_t i = 0;
    while (true) {
        while (i < text.size() && is_separator(text[i])) ++i;
        if (i >= text.size()) break;
        RawArgument argument;
        argument.begin = i;
        bool quoted = false;
        std::size_t backslashes = 0;
        for (; i < text.size() && (quoted || !is_separator(text[i])); ++i) {
            const wchar_t c = text[i];
            if (c == L'\\') {
                ++backslashes;
                argument.value.push_back(c);
                continue;
            }
            if (c == L'"') {
                argument.value.resize(argument.value.size() - backslashes / 2);
                if (backslashes % 2 == 1) argument.value.back() = L'"';
                else if (quoted && i + 1 < text.size() && text[i + 1] == L'"') argument.value.push_back(text[++i]);
                else quoted = !quoted;
            } else {
                argument.value.push_back(c);
            }
            backslashes = 0;
        }
        argument.end = i;
        arguments.push_back(argument);
    }
    return arguments;
}

bool starts_with(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

LaunchCheckOptions parse_launch_check_options(const std::wstring& arguments)
{
    static const std::wstring check_prefix = L"--check-";
    static const std::wstring self_test_prefix = L"--check-self-test=";
    LaunchCheckOptions options;
    const std::vector<RawArgument> split = split_arguments(arguments);
    // The kept arguments with the blanks before each as they stood, so that a
    // line without options of the check stays exactly as it was.
    std::size_t last_kept = split.size();
    for (std::size_t n = 0; n < split.size(); ++n) {
        const RawArgument& argument = split[n];
        if (!starts_with(argument.value, check_prefix)) {
            const std::size_t blanks_from =
                last_kept == split.size() ? (n == 0 ? 0 : argument.begin) : split[n - 1].end;
            options.launcher_arguments += arguments.substr(blanks_from, argument.end - blanks_from);
            last_kept = n;
            continue;
        }
        if (argument.value == L"--check-json") {
            options.json = true;
        } else if (starts_with(argument.value, self_test_prefix) && argument.value.size() > self_test_prefix.size() &&
                   options.self_test_folder.empty()) {
            options.self_test_folder = argument.value.substr(self_test_prefix.size());
        } else if (options.bad_option.empty()) {
            options.bad_option = argument.value;
        }
    }
    // Whatever followed the last argument stays when that argument does.
    if (!split.empty() && last_kept == split.size() - 1) options.launcher_arguments += arguments.substr(split.back().end);
    return options;
}

std::string launch_check_usage(const std::wstring& bad_option)
{
    return "orvalis-browser-check: " + wide_to_utf8(bad_option) +
           " is not an option of the check; usage: orvalis-browser-check.exe [--check-json] "
           "[--check-self-test=<folder>] [the launcher's arguments]\n";
}
