#pragma once

// Windows: what profile maintenance would do to a profile right now, found by
// the same walk and the same decisions that remove, with nothing removed,
// renamed or changed. The launch check shows it before a launch.

#include "common/records.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What maintenance would make of one item of its plan.
enum class PreviewAction {
    absent,       // nothing of that name: nothing to do
    goes,         // it would go, with everything below it
    link_goes,    // a link (symbolic link, junction, mount point) in its place would go itself, not entered
    journal_kept, // a journal that stays with its database, which stays
    partly,       // a folder of which some entries would stay (held or refused), and so would the folder
    stays_held,   // it would stay: another program holds it without delete sharing
    stays_refused, // it would stay: the system refuses (access denied, a protected entry, a device error)
    stays_outside, // it would stay: reached through a link, or not what the item names (a folder for a file)
};

// The action's name in the check's output ("goes", "link_goes", ...).
std::string_view preview_action_name(PreviewAction action);

struct MaintenancePreviewItem {
    std::string setting;  // the settings key that asks for it: "close-previous-tabs" or a storage kind ("cookies")
    std::string path;     // relative to the profile folder, UTF-8, components joined by a backslash
    bool present = false; // something of that name is there
    PreviewAction action = PreviewAction::absent;
    std::uint32_t status = 0; // for the stays_* actions and partly: the system's status that keeps it (NT status)
};

struct MaintenancePreview {
    // False when maintenance would touch nothing at all: settings that ask
    // for none, no profile directory, no folder below a root, a folder that
    // cannot be opened, a root reached through a link, or a folder whose
    // final path cannot be had; `reason` then says which.
    bool maintained = false;
    std::string reason;
    // The plan's items in the order maintenance tries them; empty when the
    // settings ask for no maintenance, or when nothing would be maintained.
    std::vector<MaintenancePreviewItem> items;
};

MaintenancePreview preview_maintenance(const std::wstring& profile_directory, const LaunchSettings& settings);
