#pragma once

// The two geo-IP endpoints are deployment values, set when the launcher is built.

#include <string>

// The primary endpoint answers JSON (path and query "/geoip?format=json").
const std::string& primary_discovery_url();
// The fallback endpoint answers the bare address as text (path "/myip").
const std::string& fallback_discovery_url();
// The host names shown in the progress window; the fallback's is also its provider label.
const std::string& primary_host_name();
const std::string& fallback_host_name();
