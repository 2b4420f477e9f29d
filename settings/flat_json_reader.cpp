#include "settings/flat_json_reader.hpp"

#include <string_view>

// Each read walks the text by hand and returns what an ECMAScript search for
// its pattern returns. std::regex is not used: libstdc++ matches by recursion,
// one frame per repeated character, so a start page of a few thousand
// characters can overflow the stack and end the process. Every pattern below
// has at most one way to match from a given place, which keeps the walk
// linear in the length of the text.

namespace {

constexpr std::size_t none = std::string_view::npos;

// \s of the regular-expression grammar, independent of the C++ locale.
bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_spaces(std::string_view text, std::size_t at) {
    while (at < text.size() && is_space(text[at])) ++at;
    return at;
}

bool holds_at(std::string_view text, std::size_t at, std::string_view word) {
    return text.compare(at, word.size(), word) == 0;
}

// Where the value of the next occurrence of `"key"`, white space and a colon
// begins (past the white space after the colon), searching at and after
// `from`; none when there is no further occurrence. `from` moves one byte past
// the occurrence, since occurrences may share a quote ("k"k":).
std::size_t next_value(std::string_view text, std::string_view quoted_key, std::size_t& from) {
    for (std::size_t at = text.find(quoted_key, from); at != none; at = text.find(quoted_key, at + 1)) {
        const std::size_t colon = skip_spaces(text, at + quoted_key.size());
        if (colon < text.size() && text[colon] == ':') {
            from = at + 1;
            return skip_spaces(text, colon + 1);
        }
    }
    from = text.size();
    return none;
}

std::string quoted(const std::string& key) { return '"' + key + '"'; }

// (\\.|[^"\\])* then '"': the position of the closing quote, or none. A
// backslash before a line break or at the end cannot pair up, and no shorter
// run can end on a quote, so the value at this occurrence does not match.
std::size_t string_end(std::string_view text, std::size_t at) {
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') return at;
        if (c == '\\') {
            if (at + 1 == text.size() || text[at + 1] == '\n' || text[at + 1] == '\r') return none;
            at += 2;
        } else {
            ++at;
        }
    }
    return none;
}

// The byte a JSON escape stands for; -1 for the escapes that are kept as written (\u among them).
int escaped_byte(char after_backslash) {
    switch (after_backslash) {
    case '"': return '"';
    case '/': return '/';
    case '\\': return '\\';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return -1;
    }
}

std::string unescape(std::string_view run) {
    std::string out;
    out.reserve(run.size());
    for (std::size_t at = 0; at < run.size(); ++at) {
        if (run[at] == '\\' && at + 1 < run.size()) {
            const int byte = escaped_byte(run[at + 1]);
            if (byte >= 0) {
                out += static_cast<char>(byte);
                ++at;
                continue;
            }
        }
        out += run[at];
    }
    return out;
}

// [^\s,}\]]+ : where the bare value starting at `at` ends (== at when there is none).
std::size_t bare_end(std::string_view text, std::size_t at) {
    while (at < text.size() && !is_space(text[at]) && text[at] != ',' && text[at] != '}' && text[at] != ']') ++at;
    return at;
}

// "([a-zA-Z_][a-zA-Z_0-9]*)"\s*:\s*(true|false) at the quote `at`; returns the
// end of the member, or none when it does not match there.
std::size_t match_member(std::string_view body, std::size_t at, FlagMap& flags) {
    const std::size_t name_begin = at + 1;
    if (name_begin >= body.size() || !(is_ascii_letter(body[name_begin]) || body[name_begin] == '_')) return none;
    std::size_t name_end = name_begin + 1;
    while (name_end < body.size() &&
           (is_ascii_letter(body[name_end]) || is_digit(body[name_end]) || body[name_end] == '_'))
        ++name_end;
    if (name_end == body.size() || body[name_end] != '"') return none;
    const std::size_t colon = skip_spaces(body, name_end + 1);
    if (colon == body.size() || body[colon] != ':') return none;
    const std::size_t value = skip_spaces(body, colon + 1);
    const std::string name(body.substr(name_begin, name_end - name_begin));
    // Replace semantics: a member written again later wins.
    if (holds_at(body, value, "true")) {
        flags[name] = true;
        return value + 4;
    }
    if (holds_at(body, value, "false")) {
        flags[name] = false;
        return value + 5;
    }
    return none;
}

} // namespace

std::string read_string_field(const std::string& text, const std::string& key) {
    const std::string quoted_key = quoted(key);
    for (std::size_t from = 0, value; (value = next_value(text, quoted_key, from)) != none;) {
        const std::size_t open = value;
        if (open == text.size() || text[open] != '"') continue;
        const std::size_t close = string_end(text, open + 1);
        if (close != none) return unescape(std::string_view(text).substr(open + 1, close - open - 1));
    }
    return {};
}

std::string read_scalar_field(const std::string& text, const std::string& key) {
    const std::string quoted_key = quoted(key);
    for (std::size_t from = 0, value; (value = next_value(text, quoted_key, from)) != none;) {
        if (value < text.size() && text[value] == '"') {
            const std::size_t close = text.find('"', value + 1);
            if (close != none) return text.substr(value + 1, close - value - 1);
            // An unclosed quote is taken up by the bare form, quote and all.
        }
        const std::size_t end = bare_end(text, value);
        if (end > value) return text.substr(value, end - value);
    }
    return {};
}

bool has_field(const std::string& text, const std::string& key) {
    std::size_t from = 0;
    return next_value(text, quoted(key), from) != none;
}

bool read_flag_field(const std::string& text, const std::string& key) {
    const std::string value = read_scalar_field(text, key);
    return value == "true" || value == "1";
}

FlagMap read_flag_object(const std::string& text, const std::string& key) {
    const std::string quoted_key = quoted(key);
    for (std::size_t from = 0, value; (value = next_value(text, quoted_key, from)) != none;) {
        const std::size_t open = value;
        if (open == text.size() || text[open] != '{') continue;
        const std::size_t close = text.find('}', open + 1);
        // No '}' after this brace means none after any later one either:
        // stopping here keeps a text full of unclosed objects linear.
        if (close == none) return {};
        // The object ends at its first '}', nested or quoted or not.
        const std::string_view body = std::string_view(text).substr(open + 1, close - open - 1);
        FlagMap flags;
        for (std::size_t quote = body.find('"'); quote != none;) {
            const std::size_t end = match_member(body, quote, flags);
            quote = body.find('"', end == none ? quote + 1 : end);
        }
        return flags;
    }
    return {};
}
