#pragma once

// Windows: handing curl its config text through its standard input, and
// ending a curl that did not get it. In a file of their own: tests link a
// model in their place where the write fails and curl takes its time to end.

#include <windows.h>

#include <string>

// Writes the whole config text into curl's standard input. The pipe holds all
// of it, so this never waits on curl, not even on a curl that is still
// suspended or never reads.
bool write_curl_config(HANDLE input_write_end, const std::string& config);

// Begins the end of curl, as TerminateProcess does: it returns before curl
// has ended.
void begin_ending_curl(HANDLE process);
