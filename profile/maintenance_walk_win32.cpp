#include "profile/maintenance_walk_win32.hpp"

#include "profile/preview_decisions.hpp"
#include "profile/profile_maintenance.hpp"
#include "profile/removal_entry.hpp"
#include "profile/removal_handles_win32.hpp"
#include "profile/removal_status.hpp"

#include <windows.h>

#include <utility>

namespace {

struct Walk {
    WalkMode mode;
    RetryBudget& budget;
};

// Deletes the entry, or in a preview foresees what the delete would meet.
DeleteResult settle(const OpenEntry& entry, bool over_read_only, const Walk& walk)
{
    if (walk.mode == WalkMode::remove) return delete_entry(entry, over_read_only, walk.budget);
    const std::uint32_t status =
        foreseen_delete_status({over_read_only, (entry.attributes & file_attribute::readonly) != 0});
    return {status == 0, status};
}

struct FolderFinding {
    bool gone = false;
    bool listed = false;       // the folder itself could be listed to the end
    bool entries_kept = false; // some entry below it stays
    std::uint32_t status = 0;  // the first status that kept something
};

// Removes a checked folder with everything below it, deepest first. Folders
// wait on an explicit list of open handles rather than in recursion, so no
// depth of tree can overflow the stack. Takes over the folder's handle and
// closes it.
FolderFinding remove_folder(OpenEntry& folder, const Walk& walk)
{
    struct Level {
        OpenEntry folder;
        std::vector<ListedEntry> entries;
        std::size_t next = 0;
        // Whether every entry went so far: a folder whose listing broke off
        // part-way, or that keeps an entry, is not tried.
        bool emptied = false;
    };
    FolderFinding finding;
    const auto keep = [&finding](std::uint32_t status) {
        finding.entries_kept = true;
        if (finding.status == 0) finding.status = status;
    };
    std::vector<Level> levels;
    const auto enter = [&levels, &walk](OpenEntry& entered) {
        FolderListing listing = list_folder(entered, walk.budget);
        // Only the entries of a complete listing go, so that none of the rest is lost to a part of the folder.
        if (!listing.complete) listing.entries.clear();
        levels.push_back({std::exchange(entered, OpenEntry{}), std::move(listing.entries), 0, listing.complete});
        return listing;
    };
    const FolderListing top = enter(folder);
    finding.listed = top.complete;
    if (!top.complete) finding.status = top.status;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            bool removed = false;
            if (level.emptied) {
                const DeleteResult deleted = settle(level.folder, true, walk);
                removed = deleted.removed;
                if (!removed && finding.status == 0) finding.status = deleted.status;
            }
            close_entry(level.folder);
            levels.pop_back();
            if (!levels.empty() && !removed) {
                levels.back().emptied = false;
                keep(0);
            }
            finding.gone = removed;
            continue;
        }
        const ListedEntry listed = level.entries[level.next++];
        OpenEntry child;
        // One that cannot be opened (held, protected) stays, and so does its folder; one gone meanwhile is gone.
        const OpenStatus opened = open_child(level.folder, listed.name, EntryUse::remove, walk.budget, child);
        if (opened.result != OpenResult::opened) {
            if (opened.result == OpenResult::failed) {
                level.emptied = false;
                keep(opened.status);
            }
            continue;
        }
        const EntryFacts facts{at_own_name(level.folder, listed.name, child), child.attributes, true,
                               listed.attributes, child.reparse_tag, listed.reparse_tag};
        switch (entry_action(facts)) {
        case EntryAction::enter:
            enter(child);
            continue;
        case EntryAction::remove: {
            // A failure leaves the entry, and its folder then stays too.
            const DeleteResult deleted = settle(child, true, walk);
            if (!deleted.removed) {
                level.emptied = false;
                keep(deleted.status);
            }
            break;
        }
        case EntryAction::leave:
            level.emptied = false;
            keep(0);
            break;
        }
        close_entry(child);
    }
    return finding;
}

ItemFinding folder_item(FolderFinding folder)
{
    if (folder.gone) return {PreviewAction::goes, true, 0};
    // Nothing of it could be listed, or all of it would go but the folder itself.
    if (!folder.listed || !folder.entries_kept) return {staying_action(folder.status), true, folder.status};
    return {PreviewAction::partly, true, folder.status};
}

// Removes one item of a plan below the open profile folder, or finds what
// removing it would do. Every folder on the way must be a folder at its own
// name, not a link: an item reached through a link lies outside the profile
// and stays. `look_only` only finds whether it is there.
ItemFinding walk_item(const OpenEntry& profile, const PathRemoval& removal, const Walk& walk, bool look_only)
{
    const std::vector<std::wstring> components = path_components(removal.path);
    std::vector<OpenEntry> opened;
    ItemFinding finding;
    for (std::size_t i = 0; i < components.size(); ++i) {
        const OpenEntry& parent = opened.empty() ? profile : opened.back();
        const bool last = i + 1 == components.size();
        OpenEntry entry;
        const OpenStatus result = open_child(parent, components[i],
                                             last && !look_only ? EntryUse::remove : EntryUse::walk, walk.budget,
                                             entry);
        if (result.result == OpenResult::absent) break;
        if (result.result == OpenResult::failed) {
            // Only the item itself is known to be there; a folder on the way that refuses hides it.
            finding = {staying_action(result.status), last, result.status};
            break;
        }
        const EntryAction action =
            entry_action({at_own_name(parent, components[i], entry), entry.attributes, false, 0, entry.reparse_tag});
        if (!last) {
            opened.push_back(std::move(entry));
            if (action == EntryAction::enter) continue;
            finding = {PreviewAction::stays_outside, false, 0};
            break;
        }
        finding = {PreviewAction::stays_outside, true, 0};
        if (look_only) {
            // Nothing more is asked of it.
        } else if (action == EntryAction::remove) {
            const DeleteResult deleted = settle(entry, removal.method == RemovalMethod::tree, walk);
            const bool link = is_link(entry.attributes, entry.reparse_tag);
            finding = deleted.removed ? ItemFinding{link ? PreviewAction::link_goes : PreviewAction::goes, true, 0}
                                      : ItemFinding{staying_action(deleted.status), true, deleted.status};
        } else if (action == EntryAction::enter && removal.method == RemovalMethod::tree) {
            finding = folder_item(remove_folder(entry, walk));
        }
        // Otherwise a folder where a file was meant, or not what it seemed: it stays.
        close_entry(entry);
    }
    for (OpenEntry& entry : opened) close_entry(entry);
    return finding;
}

// Why a profile folder is not maintained, or empty when it is.
std::string refusal(ProfileFolderCheck check, const OpenEntry& folder)
{
    switch (check) {
    case ProfileFolderCheck::opened:
        return (folder.attributes & file_attribute::directory) ? "" : "the profile folder is not a folder";
    case ProfileFolderCheck::unopened:
        return "the profile folder cannot be opened (error " + std::to_string(GetLastError()) + ")";
    case ProfileFolderCheck::root:
        return "the profile folder is a volume's or a share's root";
    case ProfileFolderCheck::no_final_path:
        return "the system gives no final path for the profile folder, so it cannot be told from a root";
    }
    return "the profile folder cannot be checked";
}

} // namespace

std::wstring profile_folder(const std::wstring& profile_directory)
{
    // GetFullPathNameW reads up to the first NUL; a path holding one names something else.
    if (profile_directory.empty() || profile_directory.find(L'\0') != std::wstring::npos) return {};
    const std::wstring directory = profile_directory + L"\\";
    const DWORD size = GetFullPathNameW(directory.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(directory.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return profile_folder_path(profile_directory, full);
}

PlanWalk walk_plan(const std::wstring& profile_directory, const RemovalPlan& plan, WalkMode mode,
                   RetryBudget& budget)
{
    PlanWalk result;
    if (plan.empty()) {
        result.reason = "the settings ask for no maintenance";
        return result;
    }
    const std::wstring path = profile_folder(profile_directory);
    if (path.empty()) {
        result.reason = profile_directory.empty() ? "no profile directory"
                                                  : "the profile directory names no folder below a root";
        return result;
    }
    OpenEntry profile;
    result.reason = refusal(open_profile_folder(path, profile), profile);
    if (result.reason.empty()) {
        result.maintained = true;
        const Walk walk{mode, budget};
        RemovalOutcome previous = RemovalOutcome::absent;
        for (const PathRemoval& removal : plan) {
            // Results are ignored beyond this: a failed removal never stops the next.
            ItemFinding finding;
            if (removal.method == RemovalMethod::journal && !journal_may_go(previous)) {
                finding = walk_item(profile, removal, walk, true);
                if (finding.present) finding = {PreviewAction::journal_kept, true, 0};
                previous = RemovalOutcome::stayed;
            } else {
                finding = walk_item(profile, removal, walk, false);
                previous = outcome_of(finding.action);
            }
            result.items.push_back(finding);
        }
    }
    close_entry(profile);
    return result;
}
