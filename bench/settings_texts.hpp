#pragma once

// The command-line.json texts the settings benchmark reads. Each sets all
// eighteen keys the launcher reads, at the top level, so a full JSON parse
// gives the same record.

#include <cstddef>
#include <string>

// What a profile manager typically writes: about 2 KB.
std::string typical_settings_text();
// The launcher's keys after `size` bytes of keys it does not read, with
// nested objects and arrays among them.
std::string crowded_settings_text(std::size_t size);
// The typical file whose start page is `length` bytes long, with escapes in it.
std::string long_start_page_settings_text(std::size_t length);
