#pragma once

// What the launcher takes from its own command line.

#include <string>
#include <vector>

// The launcher's own arguments as they stand in the raw command line: the
// first token (the program path, whose end is the first character of code 32
// or less outside double quotes) and the control characters and blanks after
// it are skipped; the rest is kept character for character.
std::wstring passthrough_arguments_from(const std::wstring& command_line);

// The profile directory: the text after "--user-data-dir=" in the first
// argument after the program path that starts with exactly that switch and has
// a value; empty without one.
std::wstring user_data_dir_from(const std::vector<std::wstring>& arguments);

// Windows: the same two, read from GetCommandLineW anew on each call.
std::wstring passthrough_arguments();
std::wstring find_user_data_dir();
// The engine beside the launcher's own executable.
std::wstring engine_path();
