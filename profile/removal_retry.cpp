#include "profile/removal_retry.hpp"

#include <algorithm>

RetryBudget retry_budget_from(std::uint64_t now_ms)
{
    return {now_ms + retry_budget_ms, 0};
}

std::uint32_t take_retry_wait(RetryBudget& budget, unsigned retries, std::uint64_t now_ms)
{
    if (now_ms >= budget.deadline_ms) return 0;
    // Past 2^16 times the first wait, the deadline has come anyway.
    const std::uint64_t doubled = std::uint64_t{first_retry_wait_ms} << std::min(retries, 16u);
    const auto wait = static_cast<std::uint32_t>(std::min(doubled, budget.deadline_ms - now_ms));
    ++budget.waits;
    return wait;
}
