// json_escape on arbitrary bytes. For any input the output is safe between
// quotes (no byte below 0x20, no quote or backslash outside an escape) and,
// quoted, a JSON string that a strict decoder accepts; for valid UTF-8 it
// decodes back into exactly the input. The same decoder also reads the input
// as a JSON string of its own; what it decodes must survive escaping and
// decoding again.

#include "reports/report_record.hpp"
#include "tests/fuzz/fuzz_check.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace {

// The code point of the UTF-8 sequence at `at` (advancing past it), or
// nothing for an overlong form, a surrogate, a value above U+10FFFF, a stray
// continuation byte or a truncated sequence.
std::optional<std::uint32_t> next_code_point(const std::string& text, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0) return std::nullopt;
    // The lead byte's payload: everything after its length marker.
    std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    if (text.size() - at < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[at + i]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        code = (code << 6) | (b & 0x3F);
    }
    static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return std::nullopt;
    at += length;
    return code;
}

bool is_valid_utf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();)
        if (!next_code_point(text, at)) return false;
    return true;
}

void append_utf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Four hexadecimal digits at `at` (advancing past them).
std::optional<std::uint32_t> hex4(const std::string& text, std::size_t& at)
{
    if (text.size() - at < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = text[at + i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else return std::nullopt;
        value = value * 16 + digit;
    }
    at += 4;
    return value;
}

// A whole JSON string literal, quotes included, decoded to UTF-8; nothing when
// the text is anything else. Strict: raw bytes must be valid UTF-8 of U+0020
// and above, escapes only the JSON ones, and a \u surrogate only as a high
// surrogate followed by a \u low surrogate.
std::optional<std::string> decode_json_string(const std::string& literal)
{
    if (literal.size() < 2 || literal.front() != '"') return std::nullopt;
    std::string out;
    std::size_t at = 1;
    while (at < literal.size()) {
        const char c = literal[at];
        if (c == '"') {
            if (at + 1 != literal.size()) return std::nullopt;
            return out;
        }
        if (c != '\\') {
            const auto code = next_code_point(literal, at);
            if (!code || *code < 0x20) return std::nullopt;
            append_utf8(out, *code);
            continue;
        }
        if (++at == literal.size()) return std::nullopt;
        const char escape = literal[at++];
        switch (escape) {
        case '"': out += '"'; continue;
        case '\\': out += '\\'; continue;
        case '/': out += '/'; continue;
        case 'b': out += '\b'; continue;
        case 'f': out += '\f'; continue;
        case 'n': out += '\n'; continue;
        case 'r': out += '\r'; continue;
        case 't': out += '\t'; continue;
        case 'u': break;
        default: return std::nullopt;
        }
        auto code = hex4(literal, at);
        if (!code || (*code >= 0xDC00 && *code <= 0xDFFF)) return std::nullopt;
        if (*code >= 0xD800 && *code <= 0xDBFF) {
            if (literal.compare(at, 2, "\\u") != 0) return std::nullopt;
            at += 2;
            const auto low = hex4(literal, at);
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
            code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
        }
        append_utf8(out, *code);
    }
    return std::nullopt;
}

// Every quote and backslash in the escaped text belongs to one of the escapes
// json_escape writes, and no byte is a control character.
bool safe_between_quotes(const std::string& escaped)
{
    for (std::size_t at = 0; at < escaped.size(); ++at) {
        const auto c = static_cast<unsigned char>(escaped[at]);
        if (c < 0x20 || c == '"') return false;
        if (c != '\\') continue;
        if (++at == escaped.size()) return false;
        const char escape = escaped[at];
        if (escape == 'u') {
            ++at;
            if (!hex4(escaped, at)) return false;
            --at;
        } else if (escape != '"' && escape != '\\' && escape != 't' && escape != 'n' && escape != 'r') {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string escaped = json_escape(input);
    require(safe_between_quotes(escaped), "an unescaped control character, quote or backslash");

    // Ill-formed input too: a report must stay readable to a strict reader.
    const auto decoded = decode_json_string('"' + escaped + '"');
    require(decoded.has_value(), "escaped into an invalid JSON string");
    if (is_valid_utf8(input)) require(*decoded == input, "valid UTF-8 does not decode back to itself");

    if (const auto literal = decode_json_string(input)) {
        const auto again = decode_json_string('"' + json_escape(*literal) + '"');
        require(again.has_value() && *again == *literal, "a decoded JSON string does not survive escaping");
    }
    return 0;
}
