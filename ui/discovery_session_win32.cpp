#include "ui/discovery_session.hpp"

#include "common/on_proxy_fail.hpp"
#include "discovery/proxy_probe.hpp"
#include "reports/error_report.hpp"
#include "ui/discovery_worker.hpp"
#include "ui/launch_state_handover.hpp"
#include "ui/progress_window.hpp"

#include <memory>

namespace {

// What the worker and the window share. It lives on the heap and belongs to
// both threads: a worker still inside a probe when the launcher stops waiting
// for it keeps writing here, never into memory that the exiting launcher has
// already released.
struct DiscoverySession {
    GuardedProgressSteps progress_steps;
    LaunchState state;
    ErrorReportGate error_report;
};

// Handed to the worker thread, which owns it from its creation and frees it last.
struct WorkerParameter {
    DiscoveryWorkerInput input;
    std::shared_ptr<DiscoverySession> session;
    ProxyProbe probe;
    HWND progress_window = nullptr;
};

DWORD WINAPI DiscoveryWorker(LPVOID argument)
{
    const std::unique_ptr<WorkerParameter> parameter(static_cast<WorkerParameter*>(argument));
    const HWND progress_window = parameter->progress_window;

    DiscoveryWorkerActions actions;
    actions.discover = parameter->probe;
    // The result is ignored: a missing old report is the usual case.
    actions.delete_file = [](const std::wstring& path) { DeleteFileW(path.c_str()); };
    const std::shared_ptr<DiscoverySession> session = parameter->session;
    actions.write_error_report = [session](const std::wstring& path, const DiscoveryResult& result,
                                           const std::string& proxy, const std::string& discovery_url) {
        write_error_report_through(session->error_report,
                                   [&] { return write_error_report(path, result, proxy, discovery_url); });
    };
    // The result is ignored: once the user has closed the window the system drops the message.
    actions.post = [progress_window](unsigned message, std::size_t step_index) {
        PostMessageW(progress_window, message, step_index, 0);
    };
    actions.sleep = [](unsigned milliseconds) { Sleep(milliseconds); };

    run_discovery_worker(parameter->input, actions, parameter->session->progress_steps, parameter->session->state);
    return 0;
}

} // namespace

bool run_discovery_session(HINSTANCE instance, const LaunchSettings& settings, const std::wstring& error_report_path,
                           LaunchState& state, const ProxyProbe& probe)
{
    const auto session = std::make_shared<DiscoverySession>();
    install_progress_steps(session->progress_steps);
    const ProgressFonts fonts = CreateProgressFonts();
    const HWND progress_window =
        CreateProgressDialog(instance, {&session->progress_steps, &session->state.cancelled, fonts});
    if (!progress_window) {
        // Degraded: no window, so no worker; the caller starts the engine without discovery.
        DeleteProgressFonts(fonts);
        return false;
    }

    // SW_SHOW and an immediate paint: the four pending lines are up before the worker begins.
    ShowWindow(progress_window, SW_SHOW);
    UpdateWindow(progress_window);

    auto parameter = std::make_unique<WorkerParameter>(
        WorkerParameter{{settings, error_report_path}, session, probe, progress_window});
    // Default security and stack size, running at once; the thread's id is not wanted.
    const HANDLE worker = CreateThread(nullptr, 0, DiscoveryWorker, parameter.get(), 0, nullptr);
    // From here the worker owns its parameter. Without a worker nothing but the
    // user closes the window, and the launch then ends as cancelled.
    if (worker) parameter.release();

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    bool worker_ended = false;
    if (worker) {
        // A worker still probing after the wait is left to the process exit,
        // and its curl with it.
        worker_ended = WaitForSingleObject(worker, worker_wait_ms) == WAIT_OBJECT_0;
        CloseHandle(worker);
    }
    DeleteProgressFonts(fonts);
    // The attempt is unknown for a worker that has not ended, so the report names no URL.
    hand_over_launch_state(session->state, worker_ended, blocks_failed_launch(settings), session->error_report,
                           [&](const DiscoveryResult& failure) {
                               return write_error_report(error_report_path, failure, settings.proxy_server, "");
                           },
                           state);
    // A curl in the probe's job ends with the launcher's exit; one outside it
    // is ended here. Only now: the launcher has taken the report over, so the
    // worker, freed by curl's end, writes no report of its own any more.
    if (!worker_ended) end_curl_outside_job();
    return true;
}
