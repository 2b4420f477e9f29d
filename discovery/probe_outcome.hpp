#pragma once

// Turning a proxy probe into its DiscoveryResult: the reasons a probe stops
// before curl has run, and the judgement of a finished curl run.

#include "common/records.hpp"

#include <cstdint>
#include <string>

enum class ProbeStop {
    proxy_not_socks5,
    no_system_directory,
    curl_missing,
    pipe_not_created,
    curl_not_started,
    proxy_not_handed_over,
    job_not_created,
    deadline_not_created,
    curl_not_resumed,
};

// curl is told --max-time 10, which bounds its whole transfer. One still
// running this long after it was started is ended from outside with the status
// curl gives its own time-out, so the probe fails as a time-out either way.
constexpr unsigned curl_deadline_ms = 12000;
constexpr std::int32_t curl_timeout_status = 28;

// The failure for a probe that ended before curl ran: curl_exit_code -1, elapsed_ms 0.
DiscoveryResult probe_stopped(ProbeStop reason);
// The same for a proxy value curl is not to get, with the rule it breaks
// (CurlProxy::refusal) in the message.
DiscoveryResult proxy_refused(const std::string& refusal);

// Curl's exit status and everything it wrote (standard output and error, in
// arrival order) judged into the result. The URL and the proxy value as
// configured only go into failure messages.
DiscoveryResult classify_curl_run(std::int32_t exit_status, std::int64_t elapsed_ms, const std::string& output,
                                  const std::string& discovery_url, const std::string& proxy_server);
