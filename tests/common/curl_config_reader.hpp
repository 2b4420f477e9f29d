#pragma once

// A test oracle: reads curl's config text (what "-K" takes) by curl's
// documented rules, the same in 7.55.1 and 8.x: one option per line; blanks
// first are skipped; a line whose first other character is '#' is a comment;
// the option's name ends at white space, or, for a name without leading
// dashes, at ':' or '='; white space (and for such a name ':' and '=') comes
// before the value; a value in double quotes ends at the next unescaped
// double quote, with \t \n \r \v giving those characters and a backslash
// before anything else giving that character; an unquoted value ends at white
// space. "--" before a long name is dropped.

#include <string>
#include <vector>

struct CurlConfigOption {
    std::string name;
    std::string value;
};

inline bool is_curl_config_space(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

inline std::vector<CurlConfigOption> read_curl_config(const std::string& text)
{
    std::vector<CurlConfigOption> options;
    std::size_t line_start = 0;
    while (line_start < text.size()) {
        std::size_t line_end = text.find('\n', line_start);
        if (line_end == std::string::npos) line_end = text.size();
        const std::string line = text.substr(line_start, line_end - line_start);
        line_start = line_end + 1;

        std::size_t i = 0;
        while (i < line.size() && is_curl_config_space(line[i])) ++i;
        if (i == line.size() || line[i] == '#') continue;
        const bool dashed = line[i] == '-';
        const auto separates = [&](char c) { return is_curl_config_space(c) || (!dashed && (c == ':' || c == '=')); };
        CurlConfigOption option;
        while (i < line.size() && !separates(line[i])) option.name.push_back(line[i++]);
        if (option.name.compare(0, 2, "--") == 0) option.name.erase(0, 2);
        while (i < line.size() && separates(line[i])) ++i;
        if (i < line.size() && line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] != '\\') {
                    option.value.push_back(line[i]);
                    continue;
                }
                if (++i == line.size()) break;
                const char c = line[i];
                option.value.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c == 'v' ? '\v' : c);
            }
        } else {
            while (i < line.size() && !is_curl_config_space(line[i])) option.value.push_back(line[i++]);
        }
        options.push_back(option);
    }
    return options;
}

// Every value the config gives the option `name`, in order; the name as read,
// so "url" and "--url" count alike.
inline std::vector<std::string> curl_config_values(const std::vector<CurlConfigOption>& options,
                                                   const std::string& name)
{
    std::vector<std::string> values;
    for (const CurlConfigOption& option : options) {
        if (option.name == name) values.push_back(option.value);
    }
    return values;
}
