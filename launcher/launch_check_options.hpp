#pragma once

// The launch check's command line: the launcher's own, plus options of the
// check's that begin with "--check-" and never reach the engine.

#include <string>

struct LaunchCheckOptions {
    bool json = false;                   // --check-json
    std::wstring self_test_folder;       // --check-self-test=<folder>; empty when not asked
    // The launcher's arguments as the launch would get them: the raw tail with
    // every "--check-" argument taken out, the rest character for character.
    std::wstring launcher_arguments;
    // The first "--check-" argument that is no option of the check's (an
    // unknown name, a value where none belongs, an empty folder, a second
    // self-test); empty when every one is known.
    std::wstring bad_option;
};

// The options in `arguments`, the raw text after the program name (as
// passthrough_arguments_from gives it). Arguments are told apart by the
// Windows rules: blanks and tabs outside double quotes end one, and a quote
// counts unless an odd run of backslashes stands before it.
LaunchCheckOptions parse_launch_check_options(const std::wstring& arguments);

// The one line on standard error for a bad option.
std::string launch_check_usage(const std::wstring& bad_option);
