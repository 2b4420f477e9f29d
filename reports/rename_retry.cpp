#include "reports/rename_retry.hpp"

bool rename_with_retries(const std::function<RenameOutcome()>& rename, const std::function<void(unsigned)>& pause)
{
    for (int attempt = 1;; ++attempt) {
        const RenameOutcome outcome = rename();
        if (outcome != RenameOutcome::busy) return outcome == RenameOutcome::done;
        // No pause after the last refusal: nothing would follow it.
        if (attempt == rename_tries) return false;
        pause(rename_pause_ms);
    }
}
