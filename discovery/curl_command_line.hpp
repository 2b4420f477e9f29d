#pragma once

// How the system's curl is told what to do: the proxy and the URL through its
// standard input, the options that hold no secret and no address on its
// command line.

#include <string>

// curl's config text: one line `proxy = "<proxy url>"`, then one line
// `url = "<discovery url>"`, each value in double quotes with backslash,
// double quote, tab, line feed, carriage return and vertical tab written as
// curl's escapes, so that each stays one value of one option whatever it
// holds. The URL comes last: a curl that got only part of the text has no
// URL, or one it asks through the proxy.
std::string curl_config_text(const std::string& proxy_url, const std::string& discovery_url);

// The quoted curl path and curl's options; no URL, so a curl that reads no
// config fetches nothing.
std::wstring curl_command_line(const std::wstring& curl_path);

// The quoted curl path and "-q -V": curl's version and features, without
// reading a config file of the user's.
std::wstring curl_version_command_line(const std::wstring& curl_path);
