#include "ui/discovery_worker.hpp"

#include "common/text_conversion.hpp"
#include "tests/common/probe_results.hpp"
#include "discovery/discovery_endpoints.hpp"
#include "ui/progress_messages.hpp"

#include <gtest/gtest.h>

#include <deque>

namespace {

const std::wstring report_path = L"C:\\Profiles\\A\\.orvalis-launcher-error.json";

// What the worker did to the world, in order, and the line it had changed
// each time it asked for a repaint.
struct Seen {
    std::vector<std::string> log;
    std::vector<std::pair<std::size_t, ProgressStep>> shown;
    std::vector<std::wstring> report_paths;
    std::string state_at_close;
};

struct Shown {
    std::size_t index;
    std::wstring detail;
    bool done;
    bool failed;
};

std::string endpoint(const std::string& url)
{
    if (url == primary_discovery_url()) return "primary";
    if (url == fallback_discovery_url()) return "fallback";
    return "unexpected " + url;
}

std::string describe(const LaunchState& state)
{
    return wide_to_utf8(state.fake_public_ip + L"|" + state.timezone_override + L"|" + state.lang + L"|" +
                        state.accept_language + L"|" + state.geo_lat + L"|" + state.geo_lng) +
           "|" + state.ip + "|" + state.timezone + "|" + state.country_code + "|" + state.provider + "|" +
           std::to_string(state.elapsed_ms) + "|" + (state.blocked.load() ? "blocked" : "");
}

// Runs the worker with scripted probe replies. The user closes the window
// when the event `cancel_at` happens for the `cancel_occurrence`-th time.
Seen run(const LaunchSettings& settings, std::deque<DiscoveryResult> replies, LaunchState& state,
         const std::wstring& error_report_path = report_path, const std::string& cancel_at = "",
         int cancel_occurrence = 1)
{
    Seen seen;
    GuardedProgressSteps progress_steps;
    install_progress_steps(progress_steps);

    int occurrences = 0;
    auto happened = [&](const std::string& event) {
        seen.log.push_back(event);
        if (event == cancel_at && ++occurrences == cancel_occurrence) state.cancelled.exchange(true);
    };

    DiscoveryWorkerActions actions;
    actions.discover = [&](const std::string& proxy, const std::string& url) {
        EXPECT_EQ(proxy, settings.proxy_server);
        DiscoveryResult reply;
        if (replies.empty()) {
            ADD_FAILURE() << "one probe too many";
        } else {
            reply = replies.front();
            replies.pop_front();
        }
        happened("discover " + endpoint(url));
        return reply;
    };
    actions.delete_file = [&](const std::wstring& path) { happened("delete " + wide_to_utf8(path)); };
    actions.write_error_report = [&](const std::wstring& path, const DiscoveryResult& result,
                                     const std::string& proxy, const std::string& url) {
        EXPECT_EQ(proxy, settings.proxy_server);
        seen.report_paths.push_back(path);
        happened("report " + endpoint(url) + " " + result.error_code);
    };
    actions.post = [&](unsigned message, std::size_t index) {
        if (message == WM_PROGRESS_UPDATE) {
            seen.shown.emplace_back(index, copy_progress_steps(progress_steps).at(index));
            happened("update " + std::to_string(index));
        } else if (message == WM_PROGRESS_CLOSE) {
            EXPECT_EQ(index, 0u);
            seen.state_at_close = describe(state);
            happened("close");
        } else {
            happened("message " + std::to_string(message));
        }
    };
    actions.sleep = [&](unsigned milliseconds) { happened("sleep " + std::to_string(milliseconds)); };

    run_discovery_worker({settings, error_report_path}, actions, progress_steps, state);
    EXPECT_TRUE(replies.empty()) << "a scripted reply was never asked for";
    return seen;
}

void expect_shown(const Seen& seen, const std::vector<Shown>& expected)
{
    ASSERT_EQ(seen.shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "update #" << i);
        const auto& [index, step] = seen.shown[i];
        EXPECT_EQ(index, expected[i].index);
        EXPECT_EQ(step.detail, expected[i].detail);
        EXPECT_EQ(step.done, expected[i].done);
        EXPECT_EQ(step.failed, expected[i].failed);
    }
}

std::wstring contacting()
{
    return L"contacting " + utf8_to_wide(std::string(primary_host_name())) + L" via SOCKS5\u2026";
}

std::wstring trying_fallback()
{
    return L"primary failed \u2014 trying " + utf8_to_wide(std::string(fallback_host_name())) + L"\u2026";
}

TEST(DiscoveryWorker, PrimarySuccessShowsEachStepAndFinishesTheStateBeforeClosing)
{
    LaunchSettings settings;
    // Shown as configured, credentials and non-ASCII bytes included.
    settings.proxy_server = "socks5://us\xC3\xA9r:p@ss@127.0.0.1:1080";
    settings.webrtc_no_leak = settings.auto_geo = settings.auto_lang = settings.auto_timezone = true;

    LaunchState state;
    const Seen seen = run(settings, {probe_berlin()}, state);

    const std::vector<std::string> log = {
        "delete C:\\Profiles\\A\\.orvalis-launcher-error.json",
        "update 0", "sleep 120", "update 1", "discover primary", "update 1", "sleep 180",
        "update 2", "sleep 120", "update 3", "sleep 80", "close"};
    EXPECT_EQ(seen.log, log);
    const std::wstring summary = L"ip=203.0.113.7 tz=Europe/Berlin lang=" + state.lang + L" lat=52.5200 lng=13.4050";
    expect_shown(seen, {{0, L"socks5://us\u00E9r:p@ss@127.0.0.1:1080", true, false},
                        {1, contacting(), false, false},
                        {1, L"203.0.113.7", true, false},
                        {2, summary, true, false},
                        {3, L"", true, false}});
    EXPECT_FALSE(state.lang.empty());
    EXPECT_EQ(state.provider, "tessar");
    EXPECT_EQ(state.elapsed_ms, 412);
    EXPECT_EQ(state.ip, "203.0.113.7");
    EXPECT_FALSE(state.blocked.load());
    EXPECT_EQ(seen.state_at_close, describe(state));
}

TEST(DiscoveryWorker, SuccessWithNothingToDeriveReadsPassthrough)
{
    LaunchSettings settings;
    settings.proxy_server = "socks5://127.0.0.1:1080";
    settings.auto_lang = true;
    settings.has_lang = true;
    DiscoveryResult reply = probe_berlin();
    reply.country_code.clear();

    LaunchState state;
    const Seen seen = run(settings, {reply}, state);
    ASSERT_EQ(seen.shown.size(), 5u);
    const auto& [index, step] = seen.shown[3];
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(step.detail, L"none (passthrough)");
    EXPECT_TRUE(step.done);
    EXPECT_FALSE(step.failed);
    EXPECT_TRUE(state.accept_language.empty());
}

TEST(DiscoveryWorker, FallbackAnswersWhenOnlyTheAddressIsWanted)
{
    LaunchSettings settings;
    settings.proxy_server = "socks5://127.0.0.1:1080";
    settings.webrtc_no_leak = true;

    LaunchState state;
    const Seen seen =
        run(settings, {probe_failure("PROXY_TIMEOUT", 10004), probe_success("198.51.100.23", 250)}, state);

    const std::vector<std::string> log = {
        "delete C:\\Profiles\\A\\.orvalis-launcher-error.json",
        "update 0", "sleep 120", "update 1", "discover primary", "update 1", "discover fallback", "update 1",
        "sleep 180", "update 2", "sleep 120", "update 3", "sleep 80", "close"};
    EXPECT_EQ(seen.log, log);
    expect_shown(seen, {{0, L"socks5://127.0.0.1:1080", true, false},
                        {1, contacting(), false, false},
                        {1, trying_fallback(), false, false},
                        {1, L"198.51.100.23", true, false},
                        {2, L"ip=198.51.100.23", true, false},
                        {3, L"", true, false}});
    EXPECT_EQ(state.provider, fallback_host_name());
    EXPECT_EQ(state.elapsed_ms, 10254);
    EXPECT_EQ(state.fake_public_ip, L"198.51.100.23");
    EXPECT_EQ(seen.state_at_close, describe(state));
}

TEST(DiscoveryWorker, FailureEitherBlocksTheLaunchOrCarriesOnWithoutPersona)
{
    struct Row {
        const char* name;
        std::string on_proxy_fail;
        bool auto_timezone;
        std::deque<DiscoveryResult> replies;
        std::vector<std::string> log;
        std::vector<Shown> shown;
        std::string provider;
        std::int64_t elapsed_ms;
        bool blocked;
    };
    const std::string deleted = "delete C:\\Profiles\\A\\.orvalis-launcher-error.json";
    const std::wstring proxy = L"socks5://127.0.0.1:1080";
    const Row rows[] = {
        {"block, automatic zone rules out the fallback",
         "block",
         true,
         {probe_failure("PROXY_TIMEOUT", 10010)},
         {deleted, "update 0", "sleep 120", "update 1", "discover primary", "report primary PROXY_TIMEOUT",
          "update 1", "sleep 2500", "update 2", "sleep 120", "update 3", "sleep 80", "close"},
         {{0, proxy, true, false},
          {1, contacting(), false, false},
          {1, L"BLOCKED: PROXY_TIMEOUT", true, true},
          {2, L"skipped \u2014 engine launch blocked", true, true},
          {3, L"aborted (exit 42)", true, true}},
         "tessar",
         10010,
         true},
        {"fallback policy, both endpoints fail",
         "fallback",
         false,
         {probe_failure("PROXY_TIMEOUT", 10010), probe_failure("PROXY_AUTH_FAILED", 30)},
         {deleted, "update 0", "sleep 120", "update 1", "discover primary", "update 1", "discover fallback",
          "report fallback PROXY_AUTH_FAILED", "update 1", "sleep 180", "update 2", "sleep 120", "update 3",
          "sleep 80", "close"},
         {{0, proxy, true, false},
          {1, contacting(), false, false},
          {1, trying_fallback(), false, false},
          {1, L"WARN: PROXY_AUTH_FAILED \u2014 chrome will fall back", true, true},
          {2, L"none (passthrough)", true, false},
          {3, L"", true, false}},
         std::string(fallback_host_name()),
         10040,
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LaunchSettings settings;
        settings.proxy_server = "socks5://127.0.0.1:1080";
        settings.webrtc_no_leak = true;
        settings.on_proxy_fail = row.on_proxy_fail;
        settings.auto_timezone = row.auto_timezone;

        LaunchState state;
        const Seen seen = run(settings, row.replies, state);
        EXPECT_EQ(seen.log, row.log);
        expect_shown(seen, row.shown);
        EXPECT_EQ(seen.report_paths, std::vector<std::wstring>{report_path});
        EXPECT_EQ(state.provider, row.provider);
        EXPECT_EQ(state.elapsed_ms, row.elapsed_ms);
        EXPECT_EQ(state.blocked.load(), row.blocked);
        // No persona after a failure, whatever the settings ask for.
        EXPECT_TRUE(state.fake_public_ip.empty());
        EXPECT_TRUE(state.timezone_override.empty());
        EXPECT_EQ(seen.state_at_close, describe(state));
    }
}

TEST(DiscoveryWorker, StopsAtTheNextOfItsThreeChecksOnceTheUserHasClosed)
{
    struct Row {
        const char* cancel_at;
        int occurrence;
        std::vector<std::string> log;
    };
    const std::string deleted = "delete C:\\Profiles\\A\\.orvalis-launcher-error.json";
    const Row rows[] = {
        {"sleep 120", 1, {deleted, "update 0", "sleep 120"}},
        // The probe is never cut short: its outcome is stored and shown, then the worker stops.
        {"discover primary", 1,
         {deleted, "update 0", "sleep 120", "update 1", "discover primary", "report primary PROXY_REFUSED",
          "update 1"}},
        {"sleep 2500", 1,
         {deleted, "update 0", "sleep 120", "update 1", "discover primary", "report primary PROXY_REFUSED",
          "update 1", "sleep 2500", "update 2", "sleep 120"}},
        // There is no check after the last step: the close request goes to a window already gone.
        {"sleep 80", 1,
         {deleted, "update 0", "sleep 120", "update 1", "discover primary", "report primary PROXY_REFUSED",
          "update 1", "sleep 2500", "update 2", "sleep 120", "update 3", "sleep 80", "close"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.cancel_at << " #" << row.occurrence);
        LaunchSettings settings;
        settings.proxy_server = "socks5://127.0.0.1:1080";
        settings.auto_geo = true;
        std::deque<DiscoveryResult> replies;
        if (row.log.size() > 3) replies.push_back(probe_failure("PROXY_REFUSED", 3));

        LaunchState state;
        const Seen seen = run(settings, replies, state, report_path, row.cancel_at, row.occurrence);
        EXPECT_EQ(seen.log, row.log);
        EXPECT_TRUE(state.cancelled.load());
        // Stored before the check that stops the worker.
        if (row.log.size() > 3) {
            EXPECT_TRUE(state.blocked.load());
            EXPECT_EQ(state.elapsed_ms, 3);
        }
    }
}

TEST(DiscoveryWorker, WithoutAReportPathNothingIsDeleted)
{
    LaunchSettings settings;
    settings.proxy_server = "socks5://127.0.0.1:1080";
    settings.auto_lang = true;
    LaunchState state;
    const Seen seen = run(settings, {probe_failure("PROXY_TIMEOUT", 10010)}, state, L"");
    EXPECT_EQ(seen.log.at(0), "update 0");
    // The writer is told the empty path and writes nothing with it.
    EXPECT_EQ(seen.report_paths, std::vector<std::wstring>{L""});
    EXPECT_TRUE(state.blocked.load());
}

} // namespace
