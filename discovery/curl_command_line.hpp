#pragma once

// How the system's curl is told what to do: the proxy through its standard
// input, everything else on its command line.

#include <string>

// curl's config text that names the proxy: one line `proxy = "<url>"`, the
// value in double quotes with backslash, double quote, tab, line feed,
// carriage return and vertical tab written as curl's escapes, so that it stays
// one value of one option whatever it holds.
std::string curl_config_text(const std::string& proxy_url);

// The quoted curl path, curl's options (the proxy read from standard input)
// and the URL, which stays one argument whatever it holds; a URL without
// blank, tab or double quote stands in the line byte for byte.
std::wstring curl_command_line(const std::wstring& curl_path, const std::string& discovery_url);
