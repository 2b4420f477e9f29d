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

HardwareFigures hardware_figures()
{
    return {device_memory_value(), hardware_concurrency_value()};
}

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

void write_report(const std::wstring& path, const LaunchOutcome& outcome, const LaunchState& state)
{
    write_result_report(path, outcome.status, outcome.elapsed_ms, outcome.error_code, outcome.message, state);
}

// The engine goes last, after its report. One that Windows refuses to start
// leaves no browser open: maintenance has already run, the report is replaced
// by one that says so, and the user is told, as when the engine is missing.
int start_engine_after_report(const std::wstring& engine, const std::wstring& arguments,
                              const std::wstring& switches, const std::wstring& result_report,
                              const LaunchOutcome& written, const LaunchState& state)
{
    const EngineStart start = start_engine(engine, arguments, switches);
    const LaunchEnd end = launch_end(written, start);
    if (end.replaces_report) {
        write_report(result_report, end.report, state);
        const std::wstring text = engine_not_started_text(engine, system_message(start.error), start.error);
        MessageBoxW(nullptr, text.c_str(), L"Orvalis Browser", MB_ICONERROR);
    }
    return end.exit_code;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    const std::wstring engine = engine_path();
    if (!PathFileExistsW(engine.c_str())) {
        show_engine_missing(engine);
        return exit_browser_not_started;
    }

    const std::wstring arguments = passthrough_arguments();
    const std::wstring profile_directory = find_user_data_dir();
    const LaunchSettings settings = read_launch_settings(settings_file_path(profile_directory));
    // The reports lie in the folder that the settings and maintenance name,
    // by the name that reaches it past 260 characters.
    const std::wstring folder = profile_folder(profile_directory);
    const std::wstring result_report = result_report_path(profile_directory, folder);

    if (!runs_discovery(settings)) {
        maintain_profile(profile_directory, settings);
        const std::wstring switches = static_switches(settings, hardware_figures());
        const LaunchOutcome outcome{"passthrough", 0, "", ""};
        write_report(result_report, outcome, launch_state);
        return start_engine_after_report(engine, arguments, switches, result_report, outcome, launch_state);
    }

    if (!run_discovery_window(instance, settings, error_report_path(profile_directory, folder), launch_state)) {
        // No window, no discovery: the engine starts as on a passthrough launch,
        // and the report, written first, says why.
        const LaunchOutcome outcome{"degraded", 0, "DIALOG_INIT_FAILED",
                                    "CreateProgressDialog returned null; spawned engine without discovery"};
        write_report(result_report, outcome, launch_state);
        maintain_profile(profile_directory, settings);
        return start_engine_after_report(engine, arguments, static_switches(settings, hardware_figures()),
                                         result_report, outcome, launch_state);
    }

    // A user who closed the window has cancelled the whole launch.
    if (launch_state.cancelled.load()) return exit_started;

    if (launch_state.blocked.load()) {
        write_result_report(result_report, "blocked", launch_state.elapsed_ms, "PROXY_BLOCKED",
                            blocked_launch_message(launch_state), launch_state);
        return exit_blocked;
    }

    maintain_profile(profile_directory, settings);
    const std::wstring switches = discovery_switches(settings, launch_state, hardware_figures());
    const LaunchOutcome outcome{"ok", launch_state.elapsed_ms, "", ""};
    write_report(result_report, outcome, launch_state);
    return start_engine_after_report(engine, arguments, switches, result_report, outcome, launch_state);
}
