#pragma once

#include "common/records.hpp"

#include <string>

// Windows: asks the discovery URL through the SOCKS5 proxy by running the
// system's curl.exe, and tells the exit address or the failure. Blocks until
// curl has ended (its own limit is 10 seconds).
DiscoveryResult discover_proxy_ip(const std::string& proxy_server, const std::string& discovery_url);

// Ends the curl of a probe still running, when it runs outside the probe's
// job (discovery/curl_job_plan.hpp); the launcher calls it when it leaves
// without waiting for the probe. A curl in the probe's job needs nothing: the
// launcher's exit closes the job, which ends it.
void end_curl_outside_job();
