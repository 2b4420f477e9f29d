#include "profile/maintenance_preview.hpp"

#include "common/text_conversion.hpp"
#include "profile/maintenance_walk_win32.hpp"
#include "profile/preview_decisions.hpp"
#include "profile/previous_session.hpp"
#include "profile/storage_reset.hpp"

// The plans in the launch's order, each walked as the launch walks it: the
// previous session when the settings ask for it, then the storage kinds. A
// preview opens what removal opens, with the same access: only an open that
// asks for the right to delete meets a program that holds the entry without
// delete sharing, and that sharing violation is what keeps an entry from the
// launch (it is `stays_held`). A spent budget: it never waits.
MaintenancePreview preview_maintenance(const std::wstring& profile_directory, const LaunchSettings& settings)
{
    MaintenancePreview preview;
    const RemovalPlan plans[] = {settings.close_previous_tabs ? previous_session_plan() : RemovalPlan{},
                                 storage_reset_plan(settings.storage_reset)};
    preview.reason = "the settings ask for no maintenance";
    for (const RemovalPlan& plan : plans) {
        if (plan.empty()) continue;
        RetryBudget no_waits;
        const PlanWalk walk = walk_plan(profile_directory, plan, WalkMode::preview, no_waits);
        preview.maintained = walk.maintained;
        preview.reason = walk.reason;
        for (std::size_t i = 0; i < walk.items.size(); ++i) {
            const PathRemoval& removal = plan[i];
            const bool previous_session = &plan == &plans[0];
            preview.items.push_back({previous_session ? previous_session_setting(settings) : removal.setting,
                                     wide_to_utf8(removal.path), walk.items[i].present, walk.items[i].action,
                                     walk.items[i].status});
        }
    }
    return preview;
}
