#pragma once

// What profile maintenance removes, decided apart from the calls that remove it.

#include <string>
#include <vector>

enum class RemovalMethod {
    file, // one file delete, no existence test; a missing or busy file is simply left
    tree, // the silent shell delete: a directory with everything below it, or a single file
};

struct PathRemoval {
    std::wstring path;
    RemovalMethod method;
};

// The removals in the order they are tried; a failed one never stops the next.
using RemovalPlan = std::vector<PathRemoval>;

// Whether anything may be removed under this profile directory. An empty one
// names no profile. A lone root separator does not either: with the backslash
// that always follows the directory, "\" would turn every item into a network
// path ("\\Default\Sessions" is the share "Sessions" on a host "Default").
bool has_removable_profile(const std::wstring& profile_directory);

// The engine's default profile inside the profile directory. The backslash is
// inserted even after a trailing one; Win32 path handling folds the doubled
// separator (a "\\?\" path, which is taken literally, does not).
std::wstring default_profile_folder(const std::wstring& profile_directory);
