#include "discovery/ip_address.hpp"

#include <cstddef>

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_hex_digit(char c)
{
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_ipv4(const std::string& text, std::size_t from)
{
    int parts = 0;
    std::size_t at = from;
    while (true) {
        const std::size_t start = at;
        int value = 0;
        while (at < text.size() && is_digit(text[at]) && at - start < 3) value = value * 10 + (text[at++] - '0');
        const std::size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return false;
        ++parts;
        if (at == text.size()) return parts == 4;
        if (text[at] != '.' || parts == 4) return false;
        ++at;
    }
}

// Groups of 1-4 hex digits separated by single colons over [from, to), the
// last of which may be a dotted quad (counted as two groups) when
// `dotted_tail` allows it; an empty range holds no group. -1 when malformed.
int count_groups(const std::string& text, std::size_t from, std::size_t to, bool dotted_tail)
{
    if (from == to) return 0;
    int groups = 0;
    std::size_t at = from;
    while (true) {
        const std::size_t start = at;
        while (at < to && is_hex_digit(text[at]) && at - start < 4) ++at;
        if (at < to && text[at] == '.' && dotted_tail)
            return is_ipv4(text.substr(0, to), start) ? groups + 2 : -1;
        if (at == start) return -1;
        ++groups;
        if (at == to) return groups;
        if (text[at] != ':') return -1;
        if (++at == to) return -1;
    }
}

bool is_ipv6(const std::string& text)
{
    const std::size_t gap = text.find("::");
    if (gap == std::string::npos) return count_groups(text, 0, text.size(), true) == 8;
    if (text.find("::", gap + 1) != std::string::npos) return false;
    const int head = count_groups(text, 0, gap, false);
    const int tail = count_groups(text, gap + 2, text.size(), true);
    // "::" stands for at least one group of zeros.
    return head >= 0 && tail >= 0 && head + tail <= 7;
}

} // namespace

bool is_ip_address(const std::string& text)
{
    return is_ipv4(text, 0) || is_ipv6(text);
}
