#pragma once

// What one finished discovery leaves in the launch state.

#include "common/records.hpp"

#include <string>

// The values the result report takes, stored whether discovery succeeded or
// not. `last_url` is the URL of the final attempt; it tells which endpoint
// answered and so names the provider.
void store_report_values(const DiscoveryResult& result, const std::string& last_url, LaunchState& state);

// The persona switches that a successful discovery supplies. A value that the
// settings file sets itself is never derived, and coordinates come only as a pair.
void derive_persona_values(const LaunchSettings& settings, const DiscoveryResult& result, LaunchState& state);

// The derived values as "ip=… tz=… lang=… lat=… lng=…", leaving out the empty
// ones; empty when nothing was derived.
std::wstring override_summary(const LaunchState& state);
