#pragma once

#include <string>

// True only for a proxy value that begins with exactly "socks5://" (byte-wise,
// case-sensitive); discovery runs for nothing else.
bool is_socks5_proxy(const std::string& proxy_server);

// The proxy as curl is to get it: "socks5h://", the user information (when the
// value holds any) percent-encoded so that every curl Windows has shipped
// reads the same user and password from it, "@", and the host and port as
// written. Empty when the value after "socks5://" is not
// [user[:password]@]host[:port]: a host that is a name of at most 253
// letters, digits, '-', '.' and '_', or an IPv6 address in brackets; a port of 1 to 65535; user
// information that means no byte below 0x20, written or as %XX, whose user and
// password are each at most 255 characters once encoded. The host starts
// after the last '@'.
std::string curl_proxy_url(const std::string& proxy_server);
