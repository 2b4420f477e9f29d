#include "profile/maintenance_preview.hpp"

#include "profile/preview_decisions.hpp"
#include "profile/removal_status.hpp"

std::string_view preview_action_name(PreviewAction action)
{
    switch (action) {
    case PreviewAction::absent:
        return "absent";
    case PreviewAction::goes:
        return "goes";
    case PreviewAction::link_goes:
        return "link_goes";
    case PreviewAction::journal_kept:
        return "journal_kept";
    case PreviewAction::partly:
        return "partly";
    case PreviewAction::stays_held:
        return "stays_held";
    case PreviewAction::stays_refused:
        return "stays_refused";
    case PreviewAction::stays_outside:
        return "stays_outside";
    }
    return "unknown";
}

PreviewAction staying_action(std::uint32_t status)
{
    return status == nt_status::sharing_violation ? PreviewAction::stays_held : PreviewAction::stays_refused;
}

RemovalOutcome outcome_of(PreviewAction action)
{
    switch (action) {
    case PreviewAction::goes:
    case PreviewAction::link_goes:
        return RemovalOutcome::removed;
    case PreviewAction::absent:
        return RemovalOutcome::absent;
    default:
        return RemovalOutcome::stayed;
    }
}

std::string previous_session_setting(const LaunchSettings& settings)
{
    return settings.start_page.empty() ? "close-previous-tabs" : "start-page";
}
