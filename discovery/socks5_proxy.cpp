#include "discovery/socks5_proxy.hpp"

#include "discovery/ip_address.hpp"

namespace {

bool is_hex_digit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hex_value(char c)
{
    if (c <= '9') return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool is_letter_or_digit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether a '%' at this place is an escape curl decodes: two hex digits follow.
bool is_escape_at(const std::string& text, std::size_t at)
{
    return text[at] == '%' && at + 2 < text.size() && is_hex_digit(text[at + 1]) && is_hex_digit(text[at + 2]);
}

// Every curl reads a host of these characters alike and needs none of them
// escaped; a name outside them (an international one, say) is refused rather
// than guessed at. No name in the DNS is longer than 253 characters.
bool is_host_name(const std::string& host)
{
    if (host.empty() || host.size() > 253) return false;
    for (const char c : host) {
        if (!is_letter_or_digit(c) && c != '-' && c != '.' && c != '_') return false;
    }
    return true;
}

bool is_port(const std::string& port)
{
    if (port.empty() || port.size() > 5) return false;
    long value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

// host[:port], the host a name or a bracketed IPv6 address.
bool is_host_and_port(const std::string& text)
{
    std::size_t host_end = 0;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) return false;
        const std::string address = text.substr(1, close - 1);
        // An IPv4 address in brackets is no IPv6 address to curl.
        if (address.find(':') == std::string::npos || canonical_ip_address(address).empty()) return false;
        host_end = close + 1;
    } else {
        host_end = text.find(':');
        if (host_end == std::string::npos) host_end = text.size();
        if (!is_host_name(text.substr(0, host_end))) return false;
    }
    if (host_end == text.size()) return true;
    return text[host_end] == ':' && is_port(text.substr(host_end + 1));
}

// curl 8 refuses a user or password holding a byte below 0x20, raw or
// decoded from %XX, while 7.55.1 takes it (and a %00 cuts the password short
// there): no curl reading of such a value can be relied on.
bool means_a_control_byte(const std::string& user_information)
{
    for (std::size_t i = 0; i < user_information.size(); ++i) {
        if (static_cast<unsigned char>(user_information[i]) < 0x20) return true;
        if (is_escape_at(user_information, i) &&
            hex_value(user_information[i + 1]) * 16 + hex_value(user_information[i + 2]) < 0x20)
            return true;
    }
    return false;
}

// Letters, digits, "-._~" and the %XX escapes already written stay; every
// other byte becomes %XX (upper-case hex). Both curls decode %XX in a proxy's
// user and password and take a '%' before anything else as itself, so what
// was written keeps its meaning, while no '@', ':', '/', '?', '#', blank,
// quote, backslash or byte from 0x7F up is left for either to split at or
// for a code page to change.
std::string encoded(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (is_letter_or_digit(c) || c == '-' || c == '.' || c == '_' || c == '~' || is_escape_at(text, i)) {
            out.push_back(c);
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out.push_back('%');
        out.push_back(hex[byte >> 4]);
        out.push_back(hex[byte & 0x0F]);
    }
    return out;
}

// curl 7.55.1 drops a proxy password of 256 characters or more as written
// in the URL and sends an empty one instead; SOCKS5 carries at most 255 bytes
// of either, which curl 8 enforces.
const std::size_t longest_user_or_password = 255;

} // namespace

bool is_socks5_proxy(const std::string& proxy_server)
{
    return proxy_server.compare(0, 9, "socks5://") == 0;
}

std::string curl_proxy_url(const std::string& proxy_server)
{
    if (!is_socks5_proxy(proxy_server)) return {};
    const std::string rest = proxy_server.substr(9);
    // A host holds no '@', so the last one ends the user information, whatever
    // '@' the password holds. curl itself splits at the first '@' (7.55.1 and
    // 8.x alike); the encoding below leaves it only this one.
    const std::size_t at = rest.rfind('@');
    const std::string host_and_port = at == std::string::npos ? rest : rest.substr(at + 1);
    if (!is_host_and_port(host_and_port)) return {};

    std::string url = "socks5h://";
    if (at != std::string::npos) {
        const std::string user_information = rest.substr(0, at);
        if (means_a_control_byte(user_information)) return {};
        // The first ':' parts user and password for both curls; any later one
        // is the password's own and is encoded with it.
        const std::size_t colon = user_information.find(':');
        const std::string user = encoded(user_information.substr(0, colon));
        const std::string password = colon == std::string::npos ? "" : encoded(user_information.substr(colon + 1));
        if (user.size() > longest_user_or_password || password.size() > longest_user_or_password) return {};
        url += user;
        if (colon != std::string::npos) url += ":" + password;
        url.push_back('@');
    }
    return url + host_and_port;
}
