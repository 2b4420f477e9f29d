#pragma once

// How long profile maintenance may wait, in all, for entries that are
// refused for a moment (a scanner, an indexer or a sync client reading a
// file; a folder whose child's delete is still pending). One deadline serves
// the whole maintenance of a launch, taken when it starts and charged with
// all the time that passes, the calls' own included, so an entry held for
// good costs at most the rest of it once, however many entries are held.

#include <cstdint>

// Waits double from the first, as long as the deadline allows: 10, 20, 40,
// 80, 160 and then what is left of the 400 ms, so an entry let go within
// about 300 ms of maintenance starting still goes.
constexpr std::uint32_t retry_budget_ms = 400;
constexpr std::uint32_t first_retry_wait_ms = 10;

// The tick count (milliseconds) past which no call is tried again. The
// default is spent already: nothing waits (a preview, which must not).
struct RetryBudget {
    std::uint64_t deadline_ms = 0;
    unsigned waits = 0; // pauses taken so far, for whoever wants to know that nothing waited
};

// The budget of a maintenance that starts at the tick count `now_ms`.
RetryBudget retry_budget_from(std::uint64_t now_ms);

// The pause before another try of one call, after `retries` tries of it
// have been refused already, at the tick count `now_ms`: the doubled wait,
// cut to end at the deadline; 0 when the deadline has come and the call is
// to be given up.
std::uint32_t take_retry_wait(RetryBudget& budget, unsigned retries, std::uint64_t now_ms);
