#pragma once

// The switch text the launcher adds after its own arguments, and the engine's
// whole command line. Every item the launcher adds comes back from the engine's
// splitter as exactly one argument; values that cannot break out keep their
// plain form (two hyphens, name, "=", value).

#include "common/records.hpp"

#include <cstdint>
#include <string>

// The machine's figures that the engine gets unless the settings name them;
// an empty figure leaves its switch out.
struct HardwareFigures {
    std::wstring device_memory;
    std::wstring hardware_concurrency;
};

// The device-memory class (1, 2, 4, 8, 16 or 32) of a physical memory size.
int device_memory_class(std::uint64_t total_physical_bytes);

// Appends " --name=value" (no blank before the first item); nothing for an empty value.
void append_switch(std::wstring& text, const std::wstring& name, const std::wstring& value);

// The last item: the start page in double quotes, or chrome://version.
std::wstring start_page_item(const LaunchSettings& settings);

// The text for the passthrough and degraded launches: hardware figures,
// speech voices, start page.
std::wstring static_switches(const LaunchSettings& settings, const HardwareFigures& hardware);

// The text for a launch after discovery: the derived persona first.
std::wstring discovery_switches(const LaunchSettings& settings, const LaunchState& state,
                                const HardwareFigures& hardware);

// The quoted engine path, the passed-through arguments unchanged, the switches.
std::wstring engine_command_line(const std::wstring& engine_path, const std::wstring& passthrough_arguments,
                                 const std::wstring& switch_text);

// The engine process asked for: created, or the system's error code.
struct EngineStart {
    bool started = false;
    std::uint32_t error = 0;
};

// Windows: the machine's figures, and the engine process. start_engine does not
// wait for the engine; it tells whether the process was created, and why not.
// system_message is the system's own text for an error code, on one line.
std::wstring device_memory_value();
std::wstring hardware_concurrency_value();
EngineStart start_engine(const std::wstring& engine_path, const std::wstring& passthrough_arguments,
                         const std::wstring& switch_text);
std::wstring system_message(std::uint32_t error);
