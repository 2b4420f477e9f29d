// Shows the progress window in one of the states worth looking at, for the
// screenshots of scripts/window-screenshots:
//   show-progress-window.exe pending|success|blocked <geometry file> <hold ms>
// The lines come from the real worker sequence, run with a canned probe
// outcome and without its pauses. Once the window is painted, its outer
// rectangle is written to the geometry file as "WxH+X+Y"; after the hold the
// window closes the way the worker closes it. Exit code 2 for bad arguments,
// 1 when the window cannot be created.

#include "common/text_conversion.hpp"
#include "tests/common/probe_results.hpp"
#include "ui/discovery_worker.hpp"
#include "ui/progress_messages.hpp"
#include "ui/progress_window.hpp"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

DiscoveryWorkerInput showcase_input(const std::wstring& state)
{
    DiscoveryWorkerInput input;
    input.settings.proxy_server = "socks5://127.0.0.1:1080";
    if (state == L"success") {
        input.settings.webrtc_no_leak = true;
        input.settings.auto_geo = input.settings.auto_lang = input.settings.auto_timezone = true;
    } else {
        input.settings.auto_geo = true;
        input.settings.on_proxy_fail = "block";
    }
    return input;
}

// A summary long enough to be cut with an ellipsis.
DiscoveryResult showcase_outcome(const std::wstring& state)
{
    if (state != L"success")
        return probe_failure("PROXY_TIMEOUT", 640, "no answer through the proxy within 10 seconds");
    DiscoveryResult result = probe_success("203.0.113.77", 640);
    result.country_code = "AR";
    result.timezone = "America/Argentina/Buenos_Aires";
    result.latitude = "-34.603722";
    result.longitude = "-58.381592";
    return result;
}

void fill_lines(const std::wstring& state, GuardedProgressSteps& progress_steps)
{
    if (state == L"pending") return;
    const DiscoveryResult outcome = showcase_outcome(state);
    DiscoveryWorkerActions actions;
    actions.discover = [&outcome](const std::string&, const std::string&) { return outcome; };
    actions.delete_file = [](const std::wstring&) {};
    actions.write_error_report = [](const std::wstring&, const DiscoveryResult&, const std::string&,
                                    const std::string&) {};
    actions.post = [](unsigned, std::size_t) {};
    actions.sleep = [](unsigned) {};
    LaunchState launch_state;
    run_discovery_worker(showcase_input(state), actions, progress_steps, launch_state);
}

void pump_for(DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    MSG message;
    while (GetTickCount64() < deadline) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Through a temporary file, so that the script never reads half a line.
void write_geometry(HWND window, const std::wstring& path)
{
    RECT outer{};
    GetWindowRect(window, &outer);
    const std::string geometry = std::to_string(outer.right - outer.left) + "x" +
                                 std::to_string(outer.bottom - outer.top) + "+" + std::to_string(outer.left) + "+" +
                                 std::to_string(outer.top);
    const std::wstring temporary = path + L".tmp";
    FILE* file = _wfopen(temporary.c_str(), L"wb");
    if (!file) return;
    std::fwrite(geometry.data(), 1, geometry.size(), file);
    std::fclose(file);
    MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 4) return 2;
    const std::wstring state = arguments[1];
    const std::wstring geometry_file = arguments[2];
    const DWORD hold = static_cast<DWORD>(_wtoi(arguments[3]));
    LocalFree(arguments);
    if (state != L"pending" && state != L"success" && state != L"blocked") return 2;

    GuardedProgressSteps progress_steps;
    install_progress_steps(progress_steps);
    fill_lines(state, progress_steps);
    std::atomic<bool> cancelled{false};
    const ProgressFonts fonts = CreateProgressFonts();
    const HWND window = CreateProgressDialog(instance, {&progress_steps, &cancelled, fonts});
    if (!window) return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    pump_for(300);
    write_geometry(window, geometry_file);
    pump_for(hold);
    PostMessageW(window, WM_PROGRESS_CLOSE, 0, 0);
    pump_for(200);
    DeleteProgressFonts(fonts);
    return 0;
}
