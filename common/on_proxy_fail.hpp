#pragma once

// What the setting on-proxy-fail makes of a failed discovery, for the worker
// that meets the failure and for the launcher that waits for it.

#include "common/records.hpp"

// Whether a failed discovery blocks the launch: only on-proxy-fail "block"
// does; any other value carries on without the derived values.
bool blocks_failed_launch(const LaunchSettings& settings);
