#pragma once

// The two geo-IP endpoints are deployment values, set when the launcher is built.
//
// Views over constants: a worker still inside a probe when the launcher exits
// reads them after the runtime has run its destructors, so they have none.

#include <string_view>

// The primary endpoint answers JSON (path and query "/geoip?format=json").
std::string_view primary_discovery_url();
// The fallback endpoint answers the bare address as text (path "/myip").
std::string_view fallback_discovery_url();
// The host names shown in the progress window; the fallback's is also its provider label.
std::string_view primary_host_name();
std::string_view fallback_host_name();
