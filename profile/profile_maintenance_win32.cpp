#include "profile/profile_maintenance.hpp"

#include "profile/previous_session.hpp"
#include "profile/removal_entry.hpp"
#include "profile/removal_handles_win32.hpp"
#include "profile/removal_plan.hpp"
#include "profile/storage_reset.hpp"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Removes a checked folder with everything below it, deepest first. Folders
// wait on an explicit list of open handles rather than in recursion, so no
// depth of tree can overflow the stack. Takes over the folder's handle and
// closes it. True when the folder itself went.
bool remove_folder(OpenEntry& folder, RetryBudget& budget)
{
    struct Level {
        OpenEntry folder;
        std::vector<ListedEntry> entries;
        std::size_t next = 0;
        // Whether every entry went so far: a folder whose listing broke off
        // part-way, or that keeps an entry, is not tried.
        bool emptied = false;
    };
    std::vector<Level> levels;
    const auto enter = [&levels](OpenEntry& entered) {
        FolderListing listing = list_folder(entered);
        // Only the entries of a complete listing go, so that none of the rest is lost to a part of the folder.
        if (!listing.complete) listing.entries.clear();
        levels.push_back({std::exchange(entered, OpenEntry{}), std::move(listing.entries), 0, listing.complete});
    };
    enter(folder);
    bool removed = false;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            removed = level.emptied && delete_entry(level.folder, true, budget);
            close_entry(level.folder);
            levels.pop_back();
            if (!levels.empty() && !removed) levels.back().emptied = false;
            continue;
        }
        const ListedEntry listed = level.entries[level.next++];
        OpenEntry child;
        // One that cannot be opened (held, protected) stays, and so does its folder; one gone meanwhile is gone.
        const OpenResult opened = open_child(level.folder, listed.name, EntryUse::remove, budget, child);
        if (opened != OpenResult::opened) {
            if (opened == OpenResult::failed) level.emptied = false;
            continue;
        }
        const EntryFacts facts{at_own_name(level.folder, listed.name, child), child.attributes, true,
                               listed.attributes, child.reparse_tag, listed.reparse_tag};
        switch (entry_action(facts)) {
        case EntryAction::enter:
            enter(child);
            continue;
        case EntryAction::remove:
            // A failure leaves the entry, and its folder then stays too.
            if (!delete_entry(child, true, budget)) level.emptied = false;
            break;
        case EntryAction::leave:
            level.emptied = false;
            break;
        }
        close_entry(child);
    }
    return removed;
}

// Removes one item of a plan below the open profile folder. Every folder on
// the way must be a folder at its own name, not a link: an item reached
// through a link lies outside the profile and stays.
RemovalOutcome remove_item(const OpenEntry& profile, const PathRemoval& removal, RetryBudget& budget)
{
    const std::vector<std::wstring> components = path_components(removal.path);
    std::vector<OpenEntry> opened;
    RemovalOutcome outcome = RemovalOutcome::stayed;
    for (std::size_t i = 0; i < components.size(); ++i) {
        const OpenEntry& parent = opened.empty() ? profile : opened.back();
        const bool last = i + 1 == components.size();
        OpenEntry entry;
        const OpenResult result =
            open_child(parent, components[i], last ? EntryUse::remove : EntryUse::walk, budget, entry);
        if (result != OpenResult::opened) {
            outcome = result == OpenResult::absent ? RemovalOutcome::absent : RemovalOutcome::stayed;
            break;
        }
        const EntryAction action =
            entry_action({at_own_name(parent, components[i], entry), entry.attributes, false, 0, entry.reparse_tag});
        if (!last) {
            opened.push_back(std::move(entry));
            if (action != EntryAction::enter) break;
            continue;
        }
        if (action == EntryAction::remove) {
            outcome = delete_entry(entry, removal.method == RemovalMethod::tree, budget) ? RemovalOutcome::removed
                                                                                         : RemovalOutcome::stayed;
        } else if (action == EntryAction::enter && removal.method == RemovalMethod::tree) {
            outcome = remove_folder(entry, budget) ? RemovalOutcome::removed : RemovalOutcome::stayed;
        }
        // Otherwise a folder where a file was meant, or not what it seemed: it stays.
        close_entry(entry);
    }
    for (OpenEntry& entry : opened) close_entry(entry);
    return outcome;
}

void carry_out(const std::wstring& profile_directory, const RemovalPlan& plan, RetryBudget& budget)
{
    if (plan.empty()) return;
    const std::wstring path = profile_folder(profile_directory);
    if (path.empty()) return;
    OpenEntry profile;
    // The folder itself must be a folder, and not a volume's root reached through a link.
    if (open_profile_folder(path, profile) && (profile.attributes & file_attribute::directory) &&
        has_removable_profile(profile.final_name)) {
        RemovalOutcome previous = RemovalOutcome::absent;
        for (const PathRemoval& removal : plan) {
            // Results are ignored beyond this: a failed removal never stops the next.
            if (removal.method == RemovalMethod::journal && !journal_may_go(previous)) {
                previous = RemovalOutcome::stayed;
                continue;
            }
            previous = remove_item(profile, removal, budget);
        }
    }
    close_entry(profile);
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

void RemovePreviousSession(const std::wstring& profile_directory, RetryBudget& budget)
{
    carry_out(profile_directory, previous_session_plan(), budget);
}

void ResetGranularStorage(const std::wstring& profile_directory, const FlagMap& storage_reset, RetryBudget& budget)
{
    carry_out(profile_directory, storage_reset_plan(storage_reset), budget);
}
