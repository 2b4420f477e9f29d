#pragma once

// What profile maintenance removes, decided apart from the calls that remove it.

#include <string>
#include <vector>

enum class RemovalMethod {
    file,    // one file, or a link in its place; a folder of that name stays
    journal, // a database's journal: a file, and only when the item before it, its database, went or was never there
    tree,    // a folder with everything below it, or a single file or link
};

// One item, named relative to the profile folder: its components joined by a
// backslash ("Default\Sessions"). Everything is removed relative to that one
// folder, so that no item can land in another.
struct PathRemoval {
    std::wstring path;
    RemovalMethod method;
    // The settings name that asks for it: "close-previous-tabs", or the name
    // of a storage kind of "granular-storage-reset" ("cookies").
    std::string setting;
};

// The removals in the order they are tried; a failed one never stops the next.
using RemovalPlan = std::vector<PathRemoval>;

// What became of one item.
enum class RemovalOutcome {
    removed, // it went (or goes when the last handle to it closes)
    absent,  // there was nothing of that name
    stayed,  // it is there and stays: held, protected, a folder where a file was meant, reached through a link
};

// A SQLite journal without its database is harmless, but a database whose
// hot journal went is corrupt: the journal goes only after its database.
bool journal_may_go(RemovalOutcome database);

// Whether anything may be removed under this path: it must name a folder on a
// volume, not just a root. An empty one names no profile. A lone separator
// does not either: it is the root of the current drive. Nor does a drive
// ("C:", "C:\"), a share ("\\server\share\"), or a device path that names a
// volume in any spelling ("\\?\C:\", "\\.\Global\C:", "\\?\UNC\server\share",
// "\\?\Volume{…}\", "\\?\GLOBALROOT\Device\HarddiskVolume1\"): the launcher
// would delete folders at the top of a whole volume. Also applied to a path
// relative to its volume, as the system gives it for an open folder ("\").
bool has_removable_profile(const std::wstring& path);

// The folder that maintenance opens, from the system's full path of the
// profile directory with a backslash appended: the same folder that the
// settings file and the reports name when their file names are appended, since
// trailing blanks and dots are kept before a separator ("C:\q \" stays "q ",
// where "C:\q " alone would become "C:\q"). Given in the "\\?\" form that the
// file calls take past 260 characters. A profile directory in the "\\?\" form
// is taken exactly as given, with the backslash appended, since the system
// takes it literally (Wine's GetFullPathNameW does not): one with an empty
// component (a doubled separator, as "\\?\C:\P\" plus the appended one
// makes) names no folder that the settings could be read from, and gives empty. Empty too for
// a root, or a path that is not fully qualified.
std::wstring profile_folder_path(const std::wstring& profile_directory, const std::wstring& full_path_with_separator);

// The profile folder's path on its volume, as its handle reports it, with the
// last component as it was opened where the report differs from it only by
// trailing blanks and dots: Wine trims them from the last component of the
// name it reports ("\P\q " comes back as "\P\q"), while the folder's entries
// come back with the folder's true name ("\P\q \Default"). Windows reports
// names as they are, and a folder reached through a link keeps its report.
std::wstring reported_folder_name(const std::wstring& reported, const std::wstring& opened_path);

// Whether an entry's name on its volume, as its handle reports it, is its
// folder's name, a backslash and the name it was opened by: both reports
// taken in the same form (as opened, or normalized). ASCII letters compare in
// any case, since the plan's own names may be written in another case than
// the disk's ("default" for "Default"); other characters exactly, since the
// file system reports one object in one spelling and a listed name as it is.
// A short name (8.3) never equals its long one.
bool is_entry_of(const std::wstring& folder_name, const std::wstring& name, const std::wstring& entry_name);

// The components of an item's relative path, in order.
std::vector<std::wstring> path_components(const std::wstring& relative_path);
