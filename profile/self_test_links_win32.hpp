#pragma once

// The links of the maintenance self-test, alone in their file so that a test
// program can make them another way where the system makes none (Wine).

#include <string>

// A junction at `link` (a new folder) to the folder `target`, made the way
// that needs no privilege: a mount point's reparse data set on an empty
// folder. Both paths in the "\\?\" form. Empty when the system says it made
// it, else why not; what was made is for the caller to check.
std::string make_junction(const std::wstring& link, const std::wstring& target);

// A symbolic link at `link` to the folder `target`, which needs the privilege
// to make symbolic links or developer mode. Empty when the system says it
// made it, else why not.
std::string make_symbolic_link(const std::wstring& link, const std::wstring& target);
