#pragma once

// Test oracles: what the two curls that Windows has shipped make of a proxy
// URL, from their sources' rules (7.55.1: url.c parse_proxy; 8.x: urlapi.c and
// url.c parse_proxy, socks.c) as the real 7.55.1, 8.4.0 and 8.21.0 builds
// showed them through a recording SOCKS5 listener (tests/e2e test_windows_curl
// runs the same questions against them), and what the launcher means by a
// proxy-server value. Only user information, host and port are modelled: the
// launcher hands curl nothing else.

#include <string>

struct ProxyReading {
    bool usable = false;
    bool has_user = false;
    std::string user;
    std::string password;
    std::string host_and_port;

    bool operator==(const ProxyReading& other) const
    {
        return usable == other.usable && has_user == other.has_user && user == other.user &&
               password == other.password && host_and_port == other.host_and_port;
    }
};

inline bool is_hex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Both curls' URL decoding: "%" and two hex digits give that byte; any other
// '%' is itself.
inline std::string curl_unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && is_hex(text[i + 1]) && is_hex(text[i + 2])) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

inline std::string after_scheme(const std::string& url)
{
    const std::size_t scheme_end = url.find("://");
    return scheme_end == std::string::npos ? url : url.substr(scheme_end + 3);
}

// User and password split at the first ':' of the user information.
inline void split_user_information(const std::string& user_information, ProxyReading& reading)
{
    const std::size_t colon = user_information.find(':');
    reading.has_user = true;
    reading.user = user_information.substr(0, colon);
    reading.password = colon == std::string::npos ? "" : user_information.substr(colon + 1);
}

// 7.55.1: the user information ends at the first '@' anywhere after "://",
// the host and port at the first '/' after it; user and password are decoded
// into C strings (a decoded NUL ends them); a password of 256 characters or
// more as written is replaced by an empty one; an empty user sends no
// credentials at all, password or not; a user of more than 255 bytes garbles
// the SOCKS5 request.
inline ProxyReading read_proxy_as_curl_7_55_1(const std::string& url)
{
    ProxyReading reading;
    reading.usable = true;
    const std::string rest = after_scheme(url);
    const std::size_t at = rest.find('@');
    reading.host_and_port = at == std::string::npos ? rest : rest.substr(at + 1);
    reading.host_and_port = reading.host_and_port.substr(0, reading.host_and_port.find('/'));
    if (at == std::string::npos) return reading;
    split_user_information(rest.substr(0, at), reading);
    if (reading.password.size() >= 256) reading.password.clear();
    reading.user = curl_unescape(reading.user).c_str();
    reading.password = curl_unescape(reading.password).c_str();
    if (reading.user.empty()) {
        reading.has_user = false;
        reading.password.clear();
    }
    if (reading.user.size() > 255) reading.usable = false;
    return reading;
}

// 8.x: a URL holding a byte up to 0x20 (a blank included) or 0x7F is refused;
// the authority ends at the first '/', '?' or '#'; the user information at its
// first '@', and a host that still holds '@' is refused; a decoded user or
// password holding a byte below 0x20 is refused (8.4.0 then goes without the
// proxy, 8.21.0 stops with exit 3: either is no use), and SOCKS5 takes neither
// longer than 255 bytes. An empty user is sent, with the password.
inline ProxyReading read_proxy_as_curl_8(const std::string& url)
{
    ProxyReading reading;
    for (const char c : url) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return reading;
    }
    std::string authority = after_scheme(url);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const std::size_t at = authority.find('@');
    reading.host_and_port = at == std::string::npos ? authority : authority.substr(at + 1);
    if (reading.host_and_port.find('@') != std::string::npos) return reading;
    if (at != std::string::npos) {
        split_user_information(authority.substr(0, at), reading);
        reading.user = curl_unescape(reading.user);
        reading.password = curl_unescape(reading.password);
        for (const char c : reading.user + reading.password) {
            if (static_cast<unsigned char>(c) < 0x20) return ProxyReading{};
        }
        if (reading.user.size() > 255 || reading.password.size() > 255) return ProxyReading{};
    }
    reading.usable = true;
    return reading;
}

// The launcher's meaning of a proxy-server value "socks5://...": the host and
// port after the last '@' up to a '/', the user information before it, split
// at its first ':', each part decoded; no user and no password are no
// credentials.
inline ProxyReading meaning_of_proxy_value(const std::string& proxy_server)
{
    ProxyReading reading;
    reading.usable = true;
    const std::string rest = proxy_server.substr(9);
    const std::size_t at = rest.rfind('@');
    reading.host_and_port = at == std::string::npos ? rest : rest.substr(at + 1);
    reading.host_and_port = reading.host_and_port.substr(0, reading.host_and_port.find('/'));
    if (at == std::string::npos) return reading;
    split_user_information(rest.substr(0, at), reading);
    reading.user = curl_unescape(reading.user);
    reading.password = curl_unescape(reading.password);
    if (reading.user.empty() && reading.password.empty()) reading.has_user = false;
    return reading;
}
