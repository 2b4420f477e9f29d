// The launcher's entry point: the whole launch from start to exit.

#include "common/records.hpp"
#include "launcher/command_line.hpp"
#include "launcher/engine_switches.hpp"
#include "launcher/launch_decision.hpp"
#include "launcher/launch_settings.hpp"
#include "profile/profile_maintenance.hpp"
#include "reports/error_report.hpp"
#include "reports/result_report.hpp"
#include "ui/discovery_window.hpp"

#include <windows.h>
#include <shlwapi.h>

namespace {

// What discovery found; the worker writes it, this thread reads it after the
// window is gone.
LaunchState launch_state;

// Runs before the engine starts, so the engine never finds the removed data.
// Both share one retry deadline from the start: held entries delay the launch once at most.
void maintain_profile(const std::wstring& profile_directory, const LaunchSettings& settings)
{
    RetryBudget budget = retry_budget_from(GetTickCount64());
    if (settings.close_previous_tabs) RemovePreviousSession(profile_directory, budget);
    ResetGranularStorage(profile_directory, settings.storage_reset, budget);
}

void show_engine_missing(const std::wstring& engine)
{
    const std::wstring text = L"Engine binary not found:\n" + engine + L"\n\nReinstall Orvalis Browser.";
    MessageBoxW(nullptr, text.c_str(), L"Orvalis Browser", MB_ICONERROR);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    const std::wstring engine = engine_path();
    if (!PathFileExistsW(engine.c_str())) {
        show_engine_missing(engine);
        return launch_exit_code(LaunchRoad::engine_missing, false);
    }

    const std::wstring arguments = passthrough_arguments();
    const std::wstring profile_directory = find_user_data_dir();
    const LaunchSettings settings = read_launch_settings(settings_file_path(profile_directory));
    // The reports lie in the folder that the settings and maintenance name,
    // by the name that reaches it past 260 characters.
    const std::wstring folder = profile_folder(profile_directory);
    const std::wstring result_report = result_report_path(profile_directory, folder);

    if (launch_road(true, settings) == LaunchRoad::passthrough) {
        maintain_profile(profile_directory, settings);
        const std::wstring switches = static_switches(settings, hardware_figures());
        write_result_report(result_report, "passthrough", 0, "", "", launch_state);
        start_engine(engine, arguments, switches);
        return launch_exit_code(LaunchRoad::passthrough, false);
    }

    if (!run_discovery_window(instance, settings, error_report_path(profile_directory, folder), launch_state)) {
        // No window, no discovery: the engine starts as on a passthrough launch,
        // and the report, written first, says why.
        write_result_report(result_report, "degraded", 0, "DIALOG_INIT_FAILED",
                            "CreateProgressDialog returned null; spawned engine without discovery", launch_state);
        maintain_profile(profile_directory, settings);
        start_engine(engine, arguments, static_switches(settings, hardware_figures()));
        return exit_started;
    }

    // A user who closed the window has cancelled the whole launch.
    if (launch_state.cancelled.load()) return exit_started;

    if (launch_state.blocked.load()) {
        write_result_report(result_report, "blocked", launch_state.elapsed_ms, "PROXY_BLOCKED",
                            blocked_launch_message(launch_state), launch_state);
        return launch_exit_code(LaunchRoad::discovery, true);
    }

    maintain_profile(profile_directory, settings);
    const std::wstring switches = discovery_switches(settings, launch_state, hardware_figures());
    write_result_report(result_report, "ok", launch_state.elapsed_ms, "", "", launch_state);
    start_engine(engine, arguments, switches);
    return exit_started;
}
