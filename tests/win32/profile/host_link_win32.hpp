#pragma once

#include <string>

// A symbolic link made on the host's side of Wine, as a Linux program makes
// one: Wine 8 makes no link itself (CreateSymbolicLinkW reports success and
// makes nothing, FSCTL_SET_REPARSE_POINT is not supported) but shows a host
// link to Windows programs as a reparse point, and opens its target even
// when told not to. Under Wine on x86-64 Linux only. True when it was made.
bool make_host_symbolic_link(const std::wstring& link, const std::wstring& target);

// Removes such a link itself, as a Linux program does. True when it went.
bool remove_host_link(const std::wstring& link);
