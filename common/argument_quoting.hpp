#pragma once

// Writing one argument into a Windows command line so that the program's own
// splitter (CommandLineToArgvW, or the C runtime's, which agree here) gives it
// back as exactly one argument with exactly this text.

#include <string>

// An argument without blank, tab or double quote comes back unchanged unless
// `always_quote` is set; any other is put in double quotes, with a double quote
// escaped and backslashes doubled only where they precede a quote (or the
// closing quote).
std::wstring quote_argument(const std::wstring& argument, bool always_quote = false);
