#pragma once

// The reads of the flat JSON reader as the ECMAScript regular-expression
// searches they stand for, run by std::regex. Only for short texts: libstdc++
// matches by recursion and overflows the stack on long values.

#include "common/records.hpp"

#include <regex>
#include <string>

struct Reference {
    std::regex string_field, scalar_field, key, object;
};

inline Reference reference_for(const std::string& key)
{
    const std::string head = "\"" + key;
    return {std::regex(head + R"re("\s*:\s*"((?:\\.|[^"\\])*)")re"),
            std::regex(head + R"re("\s*:\s*(?:"([^"]*)"|([^\s,}\]]+)))re"), std::regex(head + R"re("\s*:)re"),
            std::regex(head + R"re("\s*:\s*\{([^}]*)\})re")};
}

inline std::string reference_unescape(const std::string& run)
{
    const std::string from = "\"/\\bfnrt", to = "\"/\\\b\f\n\r\t";
    std::string out;
    for (std::size_t i = 0; i < run.size(); ++i) {
        const auto escape = i + 1 < run.size() && run[i] == '\\' ? from.find(run[i + 1]) : std::string::npos;
        out += escape == std::string::npos ? run[i] : to[escape];
        if (escape != std::string::npos) ++i;
    }
    return out;
}

inline std::string reference_string_field(const std::string& text, const Reference& reference)
{
    std::smatch match;
    return std::regex_search(text, match, reference.string_field) ? reference_unescape(match[1].str()) : "";
}

inline std::string reference_scalar_field(const std::string& text, const Reference& reference)
{
    std::smatch match;
    if (!std::regex_search(text, match, reference.scalar_field)) return {};
    return match[match[1].matched ? 1 : 2].str();
}

inline FlagMap reference_flag_object(const std::string& text, const std::regex& object)
{
    static const std::regex member(R"re("([a-zA-Z_][a-zA-Z_0-9]*)"\s*:\s*(true|false))re");
    FlagMap flags;
    std::smatch match;
    if (!std::regex_search(text, match, object)) return flags;
    const std::string body = match[1].str();
    for (std::sregex_iterator it(body.begin(), body.end(), member), end; it != end; ++it)
        flags[(*it)[1].str()] = (*it)[2] == "true";
    return flags;
}
