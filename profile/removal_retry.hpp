#pragma once

// How long profile maintenance may wait, in all, for entries that are
// refused for a moment (a scanner, an indexer or a sync client reading a
// file; a folder whose child's delete is still pending). One budget serves
// the whole maintenance of a launch, so an entry held for good costs at most
// the budget once, however many entries are held.

#include <cstdint>

// Waits double from the first, as long as the budget lasts: 10, 20, 40, 80,
// 160 and then the 90 ms left, so an entry let go within about 300 ms of its
// first refusal still goes.
constexpr std::uint32_t retry_budget_ms = 400;
constexpr std::uint32_t first_retry_wait_ms = 10;

struct RetryBudget {
    std::uint32_t left_ms = retry_budget_ms;
};

// The pause before another try of one call, after `retries` tries of it
// have been refused already, taken from the budget; 0 when the budget is
// spent and the call is to be given up.
std::uint32_t take_retry_wait(RetryBudget& budget, unsigned retries);
