#pragma once

#include <string>

// True only for a proxy value that begins with exactly "socks5://" (byte-wise,
// case-sensitive); discovery runs for nothing else.
bool is_socks5_proxy(const std::string& proxy_server);

// The proxy as curl is to get it, or the rule the value breaks.
struct CurlProxy {
    // "socks5h://", the user information (when the value holds any) percent-
    // encoded so that every curl Windows has shipped reads the same user and
    // password from it, "@", and the host and port as written; empty when
    // the value is refused.
    std::string url;
    // Why curl is not to get the value (e.g. "port is not 1 to 65535"), to
    // follow "proxy-server " in a message; empty when url is set.
    std::string refusal;
};

// The value after "socks5://" is [user[:password]@]host[:port][/path]: the
// host after the last '@', a name of at most 253 ASCII letters, digits, '-',
// '.' and '_', or an IPv6 address in brackets, with or without a zone index;
// a port of 1 to 65535; a path, which curl does not get. The user information
// holds no '@' followed by '/', '?' or '#' (the host would be in doubt) and
// means no byte below 0x20, written or as %XX; a password needs a user; the user is
// at most 255 bytes, the password at most 255 characters once encoded. User
// information that is empty on both sides of its ':' is left out.
CurlProxy curl_proxy(const std::string& proxy_server);
