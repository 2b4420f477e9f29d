// The launch check's entry point: what a launch with this command line would
// do here, found with the launcher's own code, changing nothing.

#include "common/text_conversion.hpp"
#include "common/version.hpp"
#include "discovery/curl_command_line.hpp"
#include "discovery/proxy_probe.hpp"
#include "launcher/command_line.hpp"
#include "launcher/engine_switches.hpp"
#include "launcher/launch_check.hpp"
#include "launcher/launch_check_options.hpp"
#include "launcher/launch_decision.hpp"
#include "launcher/launch_settings.hpp"
#include "profile/profile_maintenance.hpp"
#include "reports/result_report.hpp"

#include <windows.h>
#include <shlwapi.h>

namespace {

constexpr int exit_bad_option = 2;

// UTF-16 to a console, which shows it whatever its code page; the UTF-8
// bytes themselves to a pipe or a file.
void write_to(DWORD which, const std::string& text)
{
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = utf8_to_wide(text);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

// The system's curl and its version, run as the probe runs curl.
CurlCheck curl_check()
{
    CurlCheck curl;
    std::wstring path;
    ProbeStop missing{};
    if (!find_system_curl(path, missing)) {
        curl.problem = probe_stopped(missing).message;
        return curl;
    }
    curl.path = wide_to_utf8(path);
    const CurlRun run = run_system_curl(curl_version_command_line(path), "");
    if (run.stopped) {
        DiscoveryResult stopped = probe_stopped(run.stop);
        note_curl_job(run.attempts, stopped);
        curl.problem = stopped.message;
        return curl;
    }
    curl.version = first_output_line(run.output);
    if (run.exit_status != 0 || curl.version.empty()) {
        curl.problem = "curl -V ended with exit status " + std::to_string(run.exit_status);
        curl.version.clear();
    }
    return curl;
}

LaunchCheck check_launch(const std::wstring& launcher_arguments)
{
    LaunchCheck check;
    check.launcher_version = LAUNCHER_VERSION;
    const std::wstring engine = engine_path();
    check.engine_path = wide_to_utf8(engine);
    check.engine_present = PathFileExistsW(engine.c_str());

    const std::wstring profile_directory = find_user_data_dir();
    const std::wstring settings_path = settings_file_path(profile_directory);
    std::string settings_text;
    if (read_settings_text(settings_path, settings_text)) {
        check.settings_file = wide_to_utf8(settings_path);
        check.settings = parse_launch_settings(settings_text);
    }
    const LaunchSettings& settings = check.settings;
    const LaunchRoad road = launch_road(check.engine_present, settings);
    check.decision = decision_name(road);
    check.curl = curl_check();

    LaunchState state;
    bool blocked = false;
    if (road == LaunchRoad::discovery) {
        // The worker's own decision, without its window, pauses and reports.
        const DiscoveryOutcome outcome = probe_discovery_endpoints(settings, discover_proxy_ip, [] {});
        check.probe = outcome.attempts;
        store_discovery_outcome(settings, outcome, state);
        blocked = outcome.blocks;
    }
    check.exit_code = launch_exit_code(road, blocked);
    check.maintenance_runs = road != LaunchRoad::engine_missing && !blocked;
    if (check.maintenance_runs) {
        const std::wstring switches = road == LaunchRoad::discovery
                                          ? discovery_switches(settings, state, hardware_figures())
                                          : static_switches(settings, hardware_figures());
        check.engine_command_line = wide_to_utf8(engine_command_line(engine, launcher_arguments, switches));
    }
    check.maintenance = preview_maintenance(profile_directory, settings);

    const std::wstring folder = profile_folder(profile_directory);
    const std::wstring result_report = result_report_path(profile_directory, folder);
    check.reports_folder = reports_folder_check(result_report);
    // Without a profile folder, the folder the reports would go to.
    check.system = system_check(folder.empty() ? result_report.substr(0, result_report.rfind(L'\\')) : folder);
    return check;
}

// Ctrl+C, Ctrl+Break or a closed console: a curl in the probe's job ends with
// the check's exit anyway; one that runs outside it (the check started in a job
// that keeps curl out) is ended here. FALSE: the default handler then ends the check.
BOOL WINAPI end_curl_with_the_check(DWORD)
{
    end_curl_outside_job();
    return FALSE;
}

} // namespace

int wmain()
{
    // A failure is ignored: Ctrl+C still ends the check, and only a curl outside
    // the probe's job could outlive it, by its own 10 s at most.
    SetConsoleCtrlHandler(end_curl_with_the_check, TRUE);
    const LaunchCheckOptions options = parse_launch_check_options(passthrough_arguments());
    if (!options.bad_option.empty()) {
        write_to(STD_ERROR_HANDLE, launch_check_usage(options.bad_option));
        return exit_bad_option;
    }
    if (!options.self_test_folder.empty()) {
        const SelfTestOutcome outcome = run_maintenance_self_test(options.self_test_folder);
        write_to(STD_OUTPUT_HANDLE, options.json ? self_test_json(LAUNCHER_VERSION, outcome)
                                                 : self_test_text(LAUNCHER_VERSION, outcome));
        return self_test_exit_code(outcome);
    }
    const LaunchCheck check = check_launch(options.launcher_arguments);
    write_to(STD_OUTPUT_HANDLE, options.json ? launch_check_json(check) : launch_check_text(check));
    return check.exit_code;
}
