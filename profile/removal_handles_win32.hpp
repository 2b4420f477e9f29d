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
};

enum class OpenResult { opened, absent, failed };

// What an entry is opened for: a folder on the way to an item is only listed
// and asked about, so a program whose current folder it is (a console, an
// editor), holding it without delete sharing, keeps nothing below it; what
// is to be removed is opened with the right to delete it.
enum class EntryUse { walk, remove };

// Opens the profile folder for everything below it. A link in its place is
// followed: people move profiles to another drive with a junction. False, with
// the handle to close, when the system says the folder is a volume's or a
// share's root.
bool open_profile_folder(const std::wstring& extended_path, OpenEntry& folder);

// Opens one entry of an open folder by name, never following a link in its
// place. An entry held for a moment is tried again while the budget lasts;
// one whose delete is pending counts as absent.
OpenResult open_child(const OpenEntry& parent, const std::wstring& name, EntryUse use, RetryBudget& budget,
                      OpenEntry& child);

// Whether the child's handle is its parent's handle and its own name, not
// something elsewhere that the file system opened instead.
bool at_own_name(const OpenEntry& parent, const std::wstring& name, const OpenEntry& child);

// The folder's entries ("." and ".." left out).
FolderListing list_folder(const OpenEntry& folder);

// Deletes the entry through its handle (opened for removal); the name is
// gone at once where the file system offers that, else once the last handle
// to it closes. A read-only entry goes only with `over_read_only`, as a
// silent tree delete takes one and a single file delete does not. A folder
// whose emptied entries are still pending is tried again while the budget lasts.
bool delete_entry(const OpenEntry& entry, bool over_read_only, RetryBudget& budget);

void close_entry(OpenEntry& entry);
