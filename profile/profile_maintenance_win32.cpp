#include "profile/profile_maintenance.hpp"

#include "profile/maintenance_walk_win32.hpp"
#include "profile/previous_session.hpp"
#include "profile/storage_reset.hpp"

// The launch's two maintenance calls, alone in this file so that a test
// program can put a faulty maintenance in their place and see the self-test
// catch it.

void RemovePreviousSession(const std::wstring& profile_directory, RetryBudget& budget)
{
    walk_plan(profile_directory, previous_session_plan(), WalkMode::remove, budget);
}

void ResetGranularStorage(const std::wstring& profile_directory, const FlagMap& storage_reset, RetryBudget& budget)
{
    walk_plan(profile_directory, storage_reset_plan(storage_reset), WalkMode::remove, budget);
}
