#pragma once

#include <string>

// True only for a proxy value that begins with exactly "socks5://" (byte-wise,
// case-sensitive); discovery runs for nothing else.
bool is_socks5_proxy(const std::string& proxy_server);
