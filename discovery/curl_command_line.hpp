#pragma once

// The command line that runs the system's curl through the SOCKS5 proxy.

#include <string>

// "socks5h://" and everything after the proxy value's "socks5://": the proxy,
// not curl, resolves the geo-IP host name. Bytes from 0x80 up are written as
// %XX (upper-case hex), so the argument is pure ASCII; other bytes stay as
// they are.
std::string curl_proxy_argument(const std::string& proxy_server);

// The quoted curl path, curl's options, the proxy argument and the URL. The
// proxy argument and the URL each stay one argument whatever they hold; a value
// without blank, tab or double quote stands in the line byte for byte.
std::wstring curl_command_line(const std::wstring& curl_path, const std::string& proxy_server,
                               const std::string& discovery_url);
