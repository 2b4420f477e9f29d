#include "discovery/ip_address.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

int hex_value(char c)
{
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The four parts of a dotted quad over [from, to), appended to `parts`.
bool read_ipv4(const std::string& text, std::size_t from, std::size_t to, std::vector<unsigned>& parts)
{
    std::size_t at = from;
    for (int count = 1;; ++count) {
        const std::size_t start = at;
        unsigned value = 0;
        while (at < to && is_digit(text[at]) && at - start < 3) value = value * 10 + (text[at++] - '0');
        const std::size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return false;
        parts.push_back(value);
        if (at == to) return count == 4;
        if (text[at] != '.' || count == 4) return false;
        ++at;
    }
}

// Groups of 1-4 hex digits separated by single colons over [from, to),
// appended to `groups`; the last may be a dotted quad (two groups) when
// `dotted_tail` allows it. An empty range holds no group.
bool read_groups(const std::string& text, std::size_t from, std::size_t to, bool dotted_tail,
                 std::vector<std::uint16_t>& groups)
{
    if (from == to) return true;
    std::size_t at = from;
    while (true) {
        const std::size_t start = at;
        unsigned value = 0;
        while (at < to && hex_value(text[at]) >= 0 && at - start < 4) value = value * 16 + hex_value(text[at++]);
        if (at < to && text[at] == '.' && dotted_tail) {
            std::vector<unsigned> parts;
            if (!read_ipv4(text, start, to, parts)) return false;
            groups.push_back(static_cast<std::uint16_t>(parts[0] << 8 | parts[1]));
            groups.push_back(static_cast<std::uint16_t>(parts[2] << 8 | parts[3]));
            return true;
        }
        if (at == start) return false;
        groups.push_back(static_cast<std::uint16_t>(value));
        if (at == to) return true;
        if (text[at] != ':') return false;
        if (++at == to) return false;
    }
}

// The eight groups of an IPv6 address, or false.
bool read_ipv6(const std::string& text, std::vector<std::uint16_t>& groups)
{
    const std::size_t gap = text.find("::");
    if (gap == std::string::npos) return read_groups(text, 0, text.size(), true, groups) && groups.size() == 8;
    if (text.find("::", gap + 1) != std::string::npos) return false;
    std::vector<std::uint16_t> tail;
    if (!read_groups(text, 0, gap, false, groups) || !read_groups(text, gap + 2, text.size(), true, tail))
        return false;
    // "::" stands for at least one group of zeros.
    if (groups.size() + tail.size() > 7) return false;
    groups.resize(8 - tail.size(), 0);
    groups.insert(groups.end(), tail.begin(), tail.end());
    return true;
}

std::string dotted_quad(std::uint16_t high, std::uint16_t low)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", high >> 8u, high & 0xFFu, low >> 8u, low & 0xFFu);
    return buffer;
}

// RFC 5952, section 4.
std::string rfc5952_text(const std::vector<std::uint16_t>& groups)
{
    std::size_t run_start = groups.size();
    std::size_t run_length = 1;
    for (std::size_t at = 0; at < groups.size();) {
        std::size_t length = 0;
        while (at + length < groups.size() && groups[at + length] == 0) ++length;
        // Strictly longer: on a tie the first run keeps the "::".
        if (length > run_length) {
            run_start = at;
            run_length = length;
        }
        at += length > 0 ? length : 1;
    }
    std::string text;
    for (std::size_t at = 0; at < groups.size();) {
        if (at == run_start) {
            text += "::";
            at += run_length;
            continue;
        }
        if (!text.empty() && text.back() != ':') text += ':';
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(groups[at]));
        text += buffer;
        ++at;
    }
    return text;
}

} // namespace

std::string canonical_ip_address(const std::string& text)
{
    std::vector<unsigned> parts;
    if (read_ipv4(text, 0, text.size(), parts)) return text;
    std::vector<std::uint16_t> groups;
    if (!read_ipv6(text, groups)) return {};
    const bool ipv4_mapped = groups[0] == 0 && groups[1] == 0 && groups[2] == 0 && groups[3] == 0 &&
                             groups[4] == 0 && groups[5] == 0xFFFF;
    return ipv4_mapped ? dotted_quad(groups[6], groups[7]) : rfc5952_text(groups);
}
