#pragma once

// The one walk of profile maintenance. It removes, or in a preview finds what
// removal would do, with the same opens and the same access, the same
// decisions and the same order; a preview deletes nothing, sets no delete
// disposition, changes no attribute and never waits.

#include "profile/maintenance_preview.hpp"
#include "profile/removal_plan.hpp"
#include "profile/removal_retry.hpp"

#include <cstdint>
#include <string>
#include <vector>

enum class WalkMode { remove, preview };

// What became, or would become, of one item of a plan.
struct ItemFinding {
    PreviewAction action = PreviewAction::absent;
    bool present = false;     // something of that name is there, in the profile folder's own tree
    std::uint32_t status = 0; // for the stays_* actions and partly: the status that keeps it, where one was seen
};

struct PlanWalk {
    bool maintained = false;        // the profile folder was opened and found fit to maintain
    std::string reason;             // why not, when not
    std::vector<ItemFinding> items; // one for each item of the plan, in its order, when maintained
};

PlanWalk walk_plan(const std::wstring& profile_directory, const RemovalPlan& plan, WalkMode mode,
                   RetryBudget& budget);
