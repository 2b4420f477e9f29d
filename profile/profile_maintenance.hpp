#pragma once

// Windows: what the launcher removes from the profile before the engine starts.
// Nothing here fails visibly: an item that cannot be removed stays as it was,
// and the rest are still tried.
//
// Both take the profile directory as given and work in exactly the folder
// that the settings file and the reports name (a relative one is the current
// directory's, as for the engine); a root, in any spelling or reached through
// a link, removes nothing. Items are removed for good (no recycle bin, no
// dialog), paths longer than 260 characters included. A link (symbolic link,
// junction, mount point) inside or in place of an item goes itself, or stays,
// and is never entered: nothing outside the profile folder is deleted or
// changed. Folders that some driver keeps (cloud files, ProjFS) are entered
// like plain ones, without fetching anything. An entry refused for a moment
// is tried again while the launch's retry budget lasts.

#include "common/records.hpp"
#include "profile/removal_retry.hpp"

#include <string>

// The profile folder as the settings file and the reports name it (the
// profile directory with a backslash and their file name), resolved by the
// system against the current directory, which the engine inherits too, in the
// "\\?\" form that the file calls take past 260 characters. Empty when it
// names no folder below a root, which removes nothing.
std::wstring profile_folder(const std::wstring& profile_directory);

// The engine's previous session, so that no tabs are restored.
void RemovePreviousSession(const std::wstring& profile_directory, RetryBudget& budget);

// The kinds of site storage selected in `storage_reset`. A journal goes only
// when its database went or was never there.
void ResetGranularStorage(const std::wstring& profile_directory, const FlagMap& storage_reset, RetryBudget& budget);
