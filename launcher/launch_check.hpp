#pragma once

// What the launch check found: what a launch with the same command line would
// do on this machine, and the facts that decide what only Windows shows.
// Text is UTF-8; nothing here is masked yet (the renderers mask).

#include "common/records.hpp"
#include "launcher/launch_decision.hpp"
#include "profile/maintenance_preview.hpp"
#include "profile/maintenance_self_test.hpp"
#include "ui/discovery_outcome.hpp"

#include <cstdint>
#include <string>
#include <vector>

// The system's curl and the first line of its "curl -V", or why there is none.
struct CurlCheck {
    std::string path;
    std::string version;
    std::string problem; // empty when `version` is set
};

// Where the launch's reports go, and whether one could be written there.
struct ReportsFolderCheck {
    std::string path;
    bool writable = false;
    std::string reason; // why not, or what was seen
};

struct SystemCheck {
    std::uint32_t windows_major = 0;
    std::uint32_t windows_minor = 0;
    std::uint32_t windows_build = 0;
    // Of the profile folder's volume; empty when it could not be opened, with `problem`.
    std::string folder;
    std::string file_system;
    bool posix_delete = false;
    bool cloud = false;
    std::string cloud_reason; // the folder that carries a cloud provider's tag, and the tag
    std::string problem;
};

struct LaunchCheck {
    std::string launcher_version;
    std::string engine_path;
    bool engine_present = false;
    std::string settings_file; // empty when no file was read
    LaunchSettings settings;
    std::string decision; // "passthrough", "discovery" or "engine_missing"
    int exit_code = 0;
    CurlCheck curl;
    std::vector<DiscoveryAttempt> probe; // discovery only
    std::string engine_command_line;     // empty when the engine would not start
    bool maintenance_runs = false;       // the launch would run maintenance
    MaintenancePreview maintenance;
    ReportsFolderCheck reports_folder;
    SystemCheck system;
};

// The name of a launch road in the check's output.
std::string decision_name(LaunchRoad road);

// A status, tag or attribute word as "0x" and eight upper-case hex digits.
std::string hex_word(std::uint32_t value);

// The first line of curl's output, without its line end.
std::string first_output_line(const std::string& output);

// One value the launcher took from the settings file, under its key: text
// (proxy-server, on-proxy-fail, start-page) or a flag; for the keys that
// count by their presence (and webrtc-fake-public-ip, which counts when it is
// not empty) the flag tells whether they count. granular-storage-reset is
// LaunchSettings::storage_reset.
struct SettingValue {
    const char* key;
    bool is_text;
    std::string text;
    bool flag;
};
std::vector<SettingValue> setting_values(const LaunchSettings& settings);

// The self-test's exit code: 0 when every promise that could be put to the
// test held and the scratch folder is gone, 3 when a promise failed or the
// scratch folder stayed, 4 when the test could not run in the folder.
constexpr int exit_self_test_failed = 3;
constexpr int exit_self_test_not_run = 4;
int self_test_exit_code(const SelfTestOutcome& outcome);
// "PASS", "FAIL" or "NOT CHECKED".
const char* promise_result_name(PromiseResult result);

// The check's output, with every proxy password masked: text for a person,
// or one line of JSON (schemas/launch-check.schema.json).
std::string launch_check_text(const LaunchCheck& check);
std::string launch_check_json(const LaunchCheck& check);
std::string self_test_text(const std::string& launcher_version, const SelfTestOutcome& outcome);
std::string self_test_json(const std::string& launcher_version, const SelfTestOutcome& outcome);

// Windows: the folder's volume and the system (RtlGetVersion, the volume's
// file system and POSIX delete support, a cloud provider's folder on the way
// to it); and whether a report could be written at `report_path`, found
// without writing anything.
SystemCheck system_check(const std::wstring& folder);
ReportsFolderCheck reports_folder_check(const std::wstring& report_path);
