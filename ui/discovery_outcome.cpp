#include "ui/discovery_outcome.hpp"

#include "common/on_proxy_fail.hpp"
#include "discovery/discovery_endpoints.hpp"
#include "ui/persona_values.hpp"

namespace {

// The fallback endpoint answers with the address alone, so it can stand in
// for the primary only when no automatic persona value is wanted.
bool may_try_fallback(const LaunchSettings& settings)
{
    return !settings.auto_geo && !settings.auto_lang && !settings.auto_timezone;
}

} // namespace

DiscoveryOutcome probe_discovery_endpoints(const LaunchSettings& settings, const ProxyProbe& probe,
                                           const std::function<void()>& before_fallback)
{
    DiscoveryOutcome outcome;
    outcome.last_url = primary_discovery_url();
    outcome.result = probe(settings.proxy_server, outcome.last_url);
    outcome.attempts.push_back({outcome.last_url, outcome.result});

    if (!outcome.result.error_code.empty() && may_try_fallback(settings)) {
        before_fallback();
        const std::int64_t primary_elapsed_ms = outcome.result.elapsed_ms;
        outcome.last_url = fallback_discovery_url();
        outcome.result = probe(settings.proxy_server, outcome.last_url);
        outcome.attempts.push_back({outcome.last_url, outcome.result});
        outcome.result.elapsed_ms += primary_elapsed_ms;
    }
    outcome.blocks = !outcome.result.error_code.empty() && blocks_failed_launch(settings);
    return outcome;
}

void store_discovery_outcome(const LaunchSettings& settings, const DiscoveryOutcome& outcome, LaunchState& state)
{
    store_report_values(outcome.result, outcome.last_url, state);
    if (outcome.result.error_code.empty()) derive_persona_values(settings, outcome.result, state);
}
