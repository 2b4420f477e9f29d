// The conversions for the native (non-Windows) build, where the portable logic
// is unit-tested. wchar_t holds whole code points there; invalid input is
// replaced with U+FFFD the way the Windows conversion does it.
#include "common/text_conversion.hpp"

#include <cstdint>

namespace {

constexpr wchar_t replacement = 0xFFFD;

// Length of a well-formed sequence starting with lead byte `b`, or 0.
std::size_t sequence_length(unsigned char b)
{
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return 2;
    if (b >= 0xE0 && b <= 0xEF) return 3;
    if (b >= 0xF0 && b <= 0xF4) return 4;
    return 0;
}

// The allowed range of the second byte, which rules out overlong forms,
// surrogates and code points above U+10FFFF.
bool second_byte_ok(unsigned char lead, unsigned char b)
{
    if (lead == 0xE0) return b >= 0xA0 && b <= 0xBF;
    if (lead == 0xED) return b >= 0x80 && b <= 0x9F;
    if (lead == 0xF0) return b >= 0x90 && b <= 0xBF;
    if (lead == 0xF4) return b >= 0x80 && b <= 0x8F;
    return b >= 0x80 && b <= 0xBF;
}

} // namespace

std::wstring utf8_to_wide(const std::string& text)
{
    std::wstring wide;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = sequence_length(lead);
        if (length == 1) {
            wide.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        if (length == 0) {
            wide.push_back(replacement);
            ++i;
            continue;
        }
        std::uint32_t code = lead & (0xFF >> (length + 1));
        std::size_t taken = 1;
        while (taken < length && i + taken < text.size()) {
            const auto b = static_cast<unsigned char>(text[i + taken]);
            const bool ok = taken == 1 ? second_byte_ok(lead, b) : (b >= 0x80 && b <= 0xBF);
            if (!ok) break;
            code = (code << 6) | (b & 0x3F);
            ++taken;
        }
        // A truncated or broken sequence is replaced once, as a whole.
        wide.push_back(taken == length ? static_cast<wchar_t>(code) : replacement);
        i += taken;
    }
    return wide;
}

std::string wide_to_utf8(const std::wstring& text)
{
    std::string narrow;
    for (const wchar_t c : text) {
        auto code = static_cast<std::uint32_t>(c);
        if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
        if (code < 0x80) {
            narrow.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            narrow.push_back(static_cast<char>(0xC0 | (code >> 6)));
            narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            narrow.push_back(static_cast<char>(0xE0 | (code >> 12)));
            narrow.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            narrow.push_back(static_cast<char>(0xF0 | (code >> 18)));
            narrow.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return narrow;
}
