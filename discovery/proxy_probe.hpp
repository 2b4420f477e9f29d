#pragma once

#include "common/records.hpp"
#include "discovery/curl_job_plan.hpp"
#include "discovery/probe_outcome.hpp"

#include <cstdint>
#include <string>
#include <vector>

// Windows: asks the discovery URL through the SOCKS5 proxy by running the
// system's curl.exe, and tells the exit address or the failure. Blocks until
// curl has ended (its own limit is 10 seconds).
DiscoveryResult discover_proxy_ip(const std::string& proxy_server, const std::string& discovery_url);

// Ends the curl of a probe still running, when it runs outside the probe's
// job (discovery/curl_job_plan.hpp); the launcher calls it when it leaves
// without waiting for the probe. A curl in the probe's job needs nothing: the
// launcher's exit closes the job, which ends it.
void end_curl_outside_job();

// Windows: the system's curl.exe (the system directory's, never the search
// path's), or false with the reason a probe stops without it.
bool find_system_curl(std::wstring& curl_path, ProbeStop& missing);

// One run of curl as the probe runs it: hidden, in the probe's job (or held
// by its handle where that job cannot take it), ended at the probe's
// deadline and with the launcher, `input` on its standard input, and
// everything it writes to its output and errors captured.
struct CurlRun {
    // curl did not run to its end: `stop` says why. proxy_not_handed_over is
    // a curl that ran but did not get its whole input, and was ended.
    bool stopped = false;
    ProbeStop stop{};
    std::int32_t exit_status = 1;
    std::int64_t elapsed_ms = 0;
    std::string output;
    std::vector<CurlJobAttempt> attempts;
};
CurlRun run_system_curl(const std::wstring& command_line, const std::string& input);
