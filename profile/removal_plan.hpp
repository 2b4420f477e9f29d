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

// Whether anything may be removed under this profile directory: it must name
// a folder, not just a root. An empty one names no profile. A lone root
// separator does not either: with the backslash that always follows the
// directory, "\" would turn every item into a network path ("\\Default\Sessions"
// is the share "Sessions" on a host "Default"), and fully resolved it is the
// root of the current drive. A drive ("C:", "C:\") or share root
// ("\\server\share\", also in the "\\?\" forms) would have the launcher delete
// folders at the top of a whole volume.
bool has_removable_profile(const std::wstring& profile_directory);

// The engine's default profile inside the profile directory. The backslash is
// inserted even after a trailing one; Win32 path handling folds the doubled
// separator (a "\\?\" path, which is taken literally, does not).
std::wstring default_profile_folder(const std::wstring& profile_directory);

// The "\\?\" form of a fully qualified path, which the file calls take past 260
// characters: "C:\a" gives "\\?\C:\a", "\\server\share\a" gives
// "\\?\UNC\server\share\a", and a "\\.\" path takes the "\\?\" prefix. Such a
// path is taken literally, so every run of separators after the prefix becomes
// one backslash. Empty for a path that is not fully qualified.
std::wstring extended_length_path(const std::wstring& full_path);
