#pragma once

// What discovery decides, apart from what it shows and writes: the endpoints
// asked, by the fallback rule, and what their answer makes of the launch.
// The discovery worker and the launch check both run it.

#include "common/records.hpp"

#include <functional>
#include <string>
#include <vector>

// One probe through the proxy; blocks until it has an outcome.
using ProxyProbe = std::function<DiscoveryResult(const std::string& proxy_server, const std::string& discovery_url)>;

// One endpoint asked and its own answer (its elapsed_ms its own).
struct DiscoveryAttempt {
    std::string discovery_url;
    DiscoveryResult result;
};

struct DiscoveryOutcome {
    std::vector<DiscoveryAttempt> attempts; // in the order asked
    // The final answer: the last attempt's, its elapsed_ms covering every attempt.
    DiscoveryResult result;
    std::string last_url;
    // Discovery failed and on-proxy-fail blocks the launch.
    bool blocks = false;
};

// Asks the primary endpoint, and the fallback one when the primary failed and
// nothing but the address is wanted; `before_fallback` runs just before the
// fallback is asked.
DiscoveryOutcome probe_discovery_endpoints(const LaunchSettings& settings, const ProxyProbe& probe,
                                           const std::function<void()>& before_fallback);

// The report values, and after a success the persona values, into `state`.
// The blocked flag is the caller's to set.
void store_discovery_outcome(const LaunchSettings& settings, const DiscoveryOutcome& outcome, LaunchState& state);
