// The discovery behind the real window, on a real worker thread, with a probe
// that stands in for curl. The test program is started with a profile
// directory of its own, so the error report is deleted and written there.

#include "ui/discovery_session.hpp"

#include "discovery/discovery_endpoints.hpp"
#include "launcher/command_line.hpp"
#include "ui/progress_messages.hpp"
#include "tests/common/probe_results.hpp"
#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include <windows.h>

namespace {

using Retrieved = std::vector<std::pair<UINT, WPARAM>>;

// The messages for the window that the launcher's loop takes from the queue.
Retrieved retrieved;

LRESULT CALLBACK record_retrieved(int code, WPARAM removal, LPARAM argument)
{
    const MSG& message = *reinterpret_cast<const MSG*>(argument);
    if (code == HC_ACTION && removal == PM_REMOVE &&
        (message.message == WM_PROGRESS_UPDATE || message.message == WM_PROGRESS_CLOSE || message.message == WM_CLOSE))
        retrieved.emplace_back(message.message, message.wParam);
    return CallNextHookEx(nullptr, code, removal, argument);
}

std::wstring error_report_file()
{
    return find_user_data_dir() + L"\\.orvalis-launcher-error.json";
}

class DiscoverySession : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(find_user_data_dir().empty()) << "start the test with --user-data-dir=";
        CreateDirectoryW(find_user_data_dir().c_str(), nullptr);
        // A report left by an earlier launch.
        write_whole_file(error_report_file(), "{\"stale\":true}\n");
        retrieved.clear();
        hook = SetWindowsHookExW(WH_GETMESSAGE, record_retrieved, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
    }
    void TearDown() override
    {
        if (hook) UnhookWindowsHookEx(hook);
    }

    HHOOK hook = nullptr;
};

DiscoveryResult failure(std::int64_t elapsed_ms)
{
    return probe_failure("PROXY_TIMEOUT", elapsed_ms, "the proxy did not answer in time");
}

// As a user would: the close box of the window on screen.
void close_window_as_user()
{
    PostMessageW(FindWindowW(L"OrvalisBrowserLauncher", nullptr), WM_CLOSE, 0, 0);
}

const UINT update = WM_PROGRESS_UPDATE;

// The fallback road posts every update, then closes with the state complete;
// a blocking failure leaves its report and the blocked flag; the user closing
// during the probe ends the launch as cancelled, with the probe's outcome
// stored before the worker stops, and its update goes to a window already gone.
TEST_F(DiscoverySession, EachRoadPostsItsUpdatesAndLeavesItsState)
{
    using Probe = std::function<DiscoveryResult(const std::string&, const std::string&)>;
    const struct {
        const char* name;
        bool LaunchSettings::*asks;
        Probe probe;
        Retrieved retrieved;
        bool cancelled, blocked;
        std::int64_t elapsed_ms;
        std::string provider;
        std::wstring fake_public_ip;
    } cases[] = {
        {"fallback", &LaunchSettings::webrtc_no_leak,
         [](const std::string&, const std::string& url) {
             return url == primary_discovery_url() ? failure(40) : probe_success("198.51.100.23", 25);
         },
         {{update, 0}, {update, 1}, {update, 1}, {update, 1}, {update, 2}, {update, 3}, {WM_PROGRESS_CLOSE, 0}},
         false, false, 65, std::string(fallback_host_name()), L"198.51.100.23"},
        {"blocked", &LaunchSettings::auto_geo, [](const std::string&, const std::string&) { return failure(10003); },
         {{update, 0}, {update, 1}, {update, 1}, {update, 2}, {update, 3}, {WM_PROGRESS_CLOSE, 0}}, false, true,
         10003, "tessar", L""},
        {"the user closes", &LaunchSettings::auto_timezone,
         [](const std::string&, const std::string&) {
             close_window_as_user();
             Sleep(300);
             return failure(300);
         },
         {{update, 0}, {update, 1}, {WM_CLOSE, 0}}, true, true, 300, "tessar", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write_whole_file(error_report_file(), "{\"stale\":true}\n");
        retrieved.clear();
        LaunchSettings settings;
        settings.proxy_server = "socks5://127.0.0.1:1080";
        settings.*c.asks = true;

        LaunchState state;
        ASSERT_TRUE(run_discovery_session(GetModuleHandleW(nullptr), settings, error_report_file(), state, c.probe));
        EXPECT_EQ(retrieved, c.retrieved);
        EXPECT_EQ(state.cancelled.load(), c.cancelled);
        EXPECT_EQ(state.blocked.load(), c.blocked);
        EXPECT_EQ(state.elapsed_ms, c.elapsed_ms);
        EXPECT_EQ(state.provider, c.provider);
        EXPECT_EQ(state.fake_public_ip, c.fake_public_ip);
        const std::string report = read_whole_file(error_report_file());
        // The stale report goes when the worker starts, and stays gone after a success.
        EXPECT_EQ(file_exists(error_report_file()), c.blocked);
        EXPECT_EQ(report.find("stale"), std::string::npos) << report;
        EXPECT_EQ(report.find("PROXY_TIMEOUT") != std::string::npos, c.blocked) << report;
        EXPECT_EQ(FindWindowW(L"OrvalisBrowserLauncher", nullptr), nullptr);
    }
}

// The user closes the window, or another program asks it to close as only
// the worker should, while a probe outlasts the launcher's wait.
TEST_F(DiscoverySession, AWorkerStillProbingAfterTheWaitWritesNothingOfTheLaunchAnyMore)
{
    const struct {
        const char* name;
        UINT close_request;
        const char* on_proxy_fail;
        bool cancelled;
        bool blocked;
    } cases[] = {
        {"the user closes", WM_CLOSE, "block", true, false},
        {"another program closes, fallback", WM_PROGRESS_CLOSE, "fallback", false, false},
        {"another program closes, block", WM_PROGRESS_CLOSE, "block", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write_whole_file(error_report_file(), "{\"stale\":true}\n");
        LaunchSettings settings;
        settings.proxy_server = "socks5://127.0.0.1:1080";
        settings.webrtc_no_leak = true;
        settings.on_proxy_fail = c.on_proxy_fail;
        const UINT close_request = c.close_request;
        const auto probe = [close_request](const std::string&, const std::string& url) {
            if (url == primary_discovery_url()) {
                PostMessageW(FindWindowW(L"OrvalisBrowserLauncher", nullptr), close_request, 0, 0);
                Sleep(6600);
            }
            return failure(6600);
        };

        LaunchState state;
        const ULONGLONG started = GetTickCount64();
        ASSERT_TRUE(run_discovery_session(GetModuleHandleW(nullptr), settings, error_report_file(), state, probe));
        const ULONGLONG waited = GetTickCount64() - started;
        EXPECT_GE(waited, 6000u);
        EXPECT_LT(waited, 6600u);
        EXPECT_EQ(state.cancelled.load(), c.cancelled);
        EXPECT_EQ(state.blocked.load(), c.blocked);
        const std::string launchers_report = read_whole_file(error_report_file());
        if (c.cancelled) {
            EXPECT_FALSE(file_exists(error_report_file())) << launchers_report;
        } else {
            // The discovery counts as failed, and this launch's report says why.
            EXPECT_TRUE(state.error_report_written);
            EXPECT_NE(launchers_report.find("\"error_code\":\"INTERNAL\",\"message\":\"discovery worker still running "
                                            "6000 ms after the progress window closed\""),
                      std::string::npos)
                << launchers_report;
        }

        // The worker comes back from its probe, with a failure to store and
        // report, and ends; none of it reaches the launch or its report.
        Sleep(1200);
        EXPECT_TRUE(state.ip.empty());
        EXPECT_TRUE(state.provider.empty());
        EXPECT_EQ(state.elapsed_ms, 0);
        EXPECT_EQ(read_whole_file(error_report_file()), launchers_report);
    }
}

// Run in a process of its own, without a display: no window can be created.
TEST(DiscoverySessionWithoutADisplay, ReturnsAtOnceWithoutProbing)
{
    LaunchSettings settings;
    settings.proxy_server = "socks5://127.0.0.1:1080";
    settings.webrtc_no_leak = true;
    bool probed = false;
    const auto probe = [&probed](const std::string&, const std::string&) {
        probed = true;
        return probe_success("203.0.113.7", 1);
    };

    LaunchState state;
    EXPECT_FALSE(run_discovery_session(GetModuleHandleW(nullptr), settings, error_report_file(), state, probe));
    EXPECT_FALSE(probed);
    EXPECT_FALSE(state.cancelled.load());
    EXPECT_EQ(FindWindowW(L"OrvalisBrowserLauncher", nullptr), nullptr);
}

} // namespace
