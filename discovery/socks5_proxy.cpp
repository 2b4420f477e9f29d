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

const char* const shape_refusal = "is not socks5://[user[:password]@]host[:port]";

// A zone index after the '%' of a bracketed address, "25" included when it
// is written as %25 (RFC 6874): letters, digits and "-._~".
bool is_zone_index(const std::string& zone)
{
    if (zone.empty()) return false;
    for (const char c : zone) {
        if (!is_letter_or_digit(c) && c != '-' && c != '.' && c != '_' && c != '~') return false;
    }
    return true;
}

// Why host[:port] cannot be handed to curl, or nothing when it can. Each rule
// is one that some Windows curl breaks otherwise (tried with 7.55.1, 8.4.0
// and 8.21.0): 7.55.1 takes an empty port for port 0, a %XX in a name as
// itself; none of them has an IDN library, so a non-ASCII name reaches the
// resolver as raw bytes. A zone index, as %25<zone> or %<zone>, reached the
// proxy with all three, and goes to curl as written.
const char* host_and_port_refusal(const std::string& text)
{
    std::size_t host_end = 0;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) return shape_refusal;
        const std::string address_and_zone = text.substr(1, close - 1);
        // The zone keeps the host within a name's length, and the config text small.
        if (address_and_zone.size() > 253) return "host name is longer than 253 characters";
        const std::size_t percent = address_and_zone.find('%');
        if (percent != std::string::npos && !is_zone_index(address_and_zone.substr(percent + 1)))
            return "IPv6 zone index is not letters, digits, '-', '.', '_' and '~'";
        const std::string address = address_and_zone.substr(0, percent);
        // An IPv4 address in brackets is no IPv6 address to curl.
        if (address.find(':') == std::string::npos || canonical_ip_address(address).empty()) return shape_refusal;
        host_end = close + 1;
    } else {
        host_end = text.find(':');
        if (host_end == std::string::npos) host_end = text.size();
        const std::string host = text.substr(0, host_end);
        if (host.empty()) return shape_refusal;
        if (host.size() > 253) return "host name is longer than 253 characters";
        if (!is_host_name(host))
            return "host is not a name of ASCII letters, digits, '-', '.' and '_' (an international name goes "
                   "in its xn-- form) or a bracketed IPv6 address";
    }
    if (host_end == text.size()) return nullptr;
    if (text[host_end] != ':') return shape_refusal;
    return is_port(text.substr(host_end + 1)) ? nullptr : "port is not 1 to 65535";
}

// curl 8 refuses a user or password holding a byte below 0x20, raw or
// decoded from %XX, and 8.4.0 then asks the URL without the proxy, while
// 7.55.1 takes it (and a %00 cuts the password short there): no curl
// reading of such a value can be relied on.
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
// other byte becomes %XX (upper-case hex). Every curl decodes %XX in a proxy's
// user and password and takes a '%' before anything else as itself, so what
// was written keeps its meaning, while no '@', ':', '/', '?', '#', blank,
// quote, backslash or byte from 0x7F up is left for any to split at or
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

// The bytes an encoded text stands for: each %XX is one.
std::size_t decoded_size(const std::string& encoded_text)
{
    std::size_t size = 0;
    for (std::size_t i = 0; i < encoded_text.size(); i += encoded_text[i] == '%' ? 3 : 1) ++size;
    return size;
}

// SOCKS5 carries at most 255 bytes of either, which curl 8 enforces on the
// decoded bytes; 7.55.1 garbles its request for a longer user, and sends an
// empty password for one of 256 characters or more as written in the URL.
const std::size_t longest_user_or_password = 255;

CurlProxy refused(const char* rule)
{
    return {std::string(), rule};
}

} // namespace

bool is_socks5_proxy(const std::string& proxy_server)
{
    return proxy_server.compare(0, 9, "socks5://") == 0;
}

CurlProxy curl_proxy(const std::string& proxy_server)
{
    if (!is_socks5_proxy(proxy_server)) return refused(shape_refusal);
    const std::string rest = proxy_server.substr(9);
    // A host holds no '@', so the last one ends the user information, whatever
    // '@' the password holds. curl itself splits at the first '@' (7.55.1 and
    // 8.x alike); the encoding below leaves it only this one.
    const std::size_t at = rest.rfind('@');
    std::string host_and_port = at == std::string::npos ? rest : rest.substr(at + 1);
    // A path means nothing to a SOCKS5 proxy: every curl goes through the
    // proxy with it, and none sees it once it is left out.
    host_and_port = host_and_port.substr(0, host_and_port.find('/'));
    if (const char* rule = host_and_port_refusal(host_and_port)) return refused(rule);

    std::string url = "socks5h://";
    if (at != std::string::npos) {
        const std::string user_information = rest.substr(0, at);
        // Where an earlier '@' is followed by the end of an authority, curl
        // and the browser read the host before it, at the first '@': the
        // probe would ask through another proxy than the browser's.
        const std::size_t first_at = user_information.find('@');
        if (first_at != std::string::npos && user_information.find_first_of("/?#", first_at) != std::string::npos)
            return refused("user or password holds an '@' followed by '/', '?' or '#'");
        if (means_a_control_byte(user_information))
            return refused("user or password holds a byte below 0x20, written or as %XX");
        // The first ':' parts user and password for every curl; any later one
        // is the password's own and is encoded with it.
        const std::size_t colon = user_information.find(':');
        const std::string user = encoded(user_information.substr(0, colon));
        const std::string password = colon == std::string::npos ? "" : encoded(user_information.substr(colon + 1));
        // 7.55.1 sends no credentials at all for an empty user, 8.x an empty
        // user and the password.
        if (user.empty() && !password.empty()) return refused("has a password but no user");
        if (decoded_size(user) > longest_user_or_password) return refused("user is longer than 255 bytes");
        if (password.size() > longest_user_or_password)
            return refused("password is longer than 255 bytes once encoded");
        // Neither user nor password: nothing to send, and the curls disagree
        // on whether to send it.
        if (!user.empty()) {
            url += user;
            if (colon != std::string::npos) url += ":" + password;
            url.push_back('@');
        }
    }
    return {url + host_and_port, std::string()};
}
