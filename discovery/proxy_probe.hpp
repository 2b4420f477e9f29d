#pragma once

#include "common/records.hpp"

#include <string>

// Windows: asks the discovery URL through the SOCKS5 proxy by running the
// system's curl.exe, and tells the exit address or the failure. Blocks until
// curl has ended (its own limit is 10 seconds).
DiscoveryResult discover_proxy_ip(const std::string& proxy_server, const std::string& discovery_url);
