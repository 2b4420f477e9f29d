#pragma once

// Windows: what the launcher removes from the profile before the engine starts.
// Nothing here fails visibly: an item that cannot be removed stays, and the
// rest are still tried.

#include "common/records.hpp"

#include <string>

// Deletes one file or one directory tree for good (no recycle bin, no dialog),
// paths longer than 260 characters included; a link inside the tree goes
// itself, never what it points to. A path that does not exist is skipped.
void DeletePathSilently(const std::wstring& path);

// Both take the profile directory as given and resolve it as the engine does;
// a drive or share root removes nothing.

// The engine's previous session, so that no tabs are restored.
void RemovePreviousSession(const std::wstring& profile_directory);

// The kinds of site storage selected in `storage_reset`.
void ResetGranularStorage(const std::wstring& profile_directory, const FlagMap& storage_reset);
