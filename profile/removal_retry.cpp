#include "profile/removal_retry.hpp"

#include <algorithm>

std::uint32_t take_retry_wait(RetryBudget& budget, unsigned retries)
{
    // Past 2^16 times the first wait, any budget is spent anyway.
    const std::uint32_t doubled = first_retry_wait_ms << std::min(retries, 16u);
    const std::uint32_t wait = std::min(doubled, budget.left_ms);
    budget.left_ms -= wait;
    return wait;
}
