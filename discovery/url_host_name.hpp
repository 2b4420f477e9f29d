#pragma once

#include <string>

// The host of a URL as written in it ("https://user@geoip.example.com:443/x"
// gives "geoip.example.com", an IPv6 host keeps its brackets); empty for a
// text without "://" or without a host.
std::string url_host_name(const std::string& url);
