#pragma once

// The handle calls of profile maintenance: open by handle without following
// links, ask the handle what it is, list a folder through its handle, delete
// through the handle. Every child is opened relative to its parent's handle,
// so a link swapped in after a check cannot redirect anything.

#include "profile/removal_retry.hpp"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// An open file or folder, with what its own handle says about it.
struct OpenEntry {
    HANDLE handle = INVALID_HANDLE_VALUE;
    // Its path relative to its volume, as the system names the handle's
    // object ("\Profiles\P\Default"); a volume's root is "\".
    std::wstring final_name;
    std::uint32_t attributes = 0;
    std::uint32_t reparse_tag = 0; // with the reparse point attribute
};

struct ListedEntry {
    std::wstring name;
    std::uint32_t attributes = 0;
    std::uint32_t reparse_tag = 0; // with the reparse point attribute
};

// A folder's entries, and whether they are all of them: a listing that the
// system broke off part-way leaves the folder's other entries unknown.
struct FolderListing {
    std::vector<ListedEntry> entries;
    bool complete = false;
    std::uint32_t status = 0; // the open for listing's status (NT status), where that failed
};

enum class OpenResult { opened, absent, failed };

// How an open ended, with the system's status (NT status) that ended it.
struct OpenStatus {
    OpenResult result = OpenResult::failed;
    std::uint32_t status = 0;
};

// What an entry is opened for: a folder on the way to an item is only asked
// what it is, so a program that holds it without read or delete sharing (a
// console or an editor whose current folder it is) keeps nothing below it;
// what is to be removed is opened with the right to delete it and to change
// its attributes, and nothing more, so a program that holds it without read
// sharing does not keep it either.
enum class EntryUse { walk, remove };

// What became of the profile folder's open.
enum class ProfileFolderCheck {
    opened,
    unopened,  // the system would not open it (missing, refused)
    root,      // the system says it is a volume's or a share's root
    no_final_path, // the system gives no final path for it, so that it cannot be told from a root
};

// Opens the profile folder for everything below it. A link in its place is
// followed: people move profiles to another drive with a junction. Only
// `opened` leaves a handle that is worth anything (close it in every case).
ProfileFolderCheck open_profile_folder(const std::wstring& extended_path, OpenEntry& folder);

// Opens one entry of an open folder by name, never following a link in its
// place. An entry held for a moment is tried again while the budget lasts;
// one whose delete is pending counts as absent.
OpenStatus open_child(const OpenEntry& parent, const std::wstring& name, EntryUse use, RetryBudget& budget,
                      OpenEntry& child);

// Whether the child's handle is its parent's handle and its own name, not
// something elsewhere that the file system opened instead.
bool at_own_name(const OpenEntry& parent, const std::wstring& name, const OpenEntry& child);

// The folder's entries ("." and ".." left out), read through a handle of
// their own that asks for listing only, opened from the folder's handle
// (which stays the same folder) and tried again while the budget lasts.
FolderListing list_folder(const OpenEntry& folder, RetryBudget& budget);

// How a delete through a handle ended, with the last status the file system answered.
struct DeleteResult {
    bool removed = false;
    std::uint32_t status = 0;
};

// Deletes the entry through its handle (opened for removal); the name is
// gone at once where the file system offers that, else once the last handle
// to it closes. A read-only entry goes only with `over_read_only`, as a
// silent tree delete takes one and a single file delete does not. A folder
// whose emptied entries are still pending is tried again while the budget lasts.
DeleteResult delete_entry(const OpenEntry& entry, bool over_read_only, RetryBudget& budget);

void close_entry(OpenEntry& entry);
