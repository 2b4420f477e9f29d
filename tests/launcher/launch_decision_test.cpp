#include "launcher/launch_decision.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

LaunchSettings socks5(void (*adjust)(LaunchSettings&))
{
    LaunchSettings settings;
    settings.proxy_server = "socks5://127.0.0.1:1080";
    adjust(settings);
    return settings;
}

TEST(LaunchDecision, EachClauseAsksForDiscoveryUnlessTheSettingsSupplyTheValue)
{
    const struct {
        const char* name;
        void (*adjust)(LaunchSettings&);
        bool wanted;
    } cases[] = {
        {"nothing asked", [](LaunchSettings&) {}, false},
        {"webrtc", [](LaunchSettings& s) { s.webrtc_no_leak = true; }, true},
        {"webrtc with fake ip", [](LaunchSettings& s) { s.webrtc_no_leak = s.has_fake_public_ip = true; }, false},
        {"geo", [](LaunchSettings& s) { s.auto_geo = true; }, true},
        {"geo with lat only", [](LaunchSettings& s) { s.auto_geo = s.has_geo_lat = true; }, true},
        {"geo with both", [](LaunchSettings& s) { s.auto_geo = s.has_geo_lat = s.has_geo_lng = true; }, false},
        {"lang", [](LaunchSettings& s) { s.auto_lang = s.has_lang = true; }, true},
        {"lang with both", [](LaunchSettings& s) { s.auto_lang = s.has_lang = s.has_accept_language = true; }, false},
        {"timezone", [](LaunchSettings& s) { s.auto_timezone = true; }, true},
        {"timezone set", [](LaunchSettings& s) { s.auto_timezone = s.has_timezone_override = true; }, false},
        {"one clause enough",
         [](LaunchSettings& s) { s.auto_timezone = s.has_timezone_override = s.auto_geo = true; }, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(needs_discovery(socks5(c.adjust)), c.wanted) << c.name;
        EXPECT_EQ(runs_discovery(socks5(c.adjust)), c.wanted) << c.name;
    }
}

TEST(LaunchDecision, OnlyASocks5ProxyRunsAWantedDiscovery)
{
    for (const char* proxy : {"", "socks5h://127.0.0.1:1", "SOCKS5://h:1", "http://h:1", "socks5:/", "socks4://h:1"}) {
        LaunchSettings settings;
        settings.auto_geo = true;
        settings.proxy_server = proxy;
        EXPECT_TRUE(needs_discovery(settings));
        EXPECT_FALSE(runs_discovery(settings)) << proxy;
    }
    LaunchSettings bare;
    bare.auto_geo = true;
    bare.proxy_server = "socks5://";
    EXPECT_TRUE(runs_discovery(bare));
}

TEST(LaunchDecision, ABlockedReportNamesTheErrorReportOnlyWhenThisLaunchWroteIt)
{
    LaunchState state;
    state.error_report_written = true;
    EXPECT_EQ(blocked_launch_message(state), "see .orvalis-launcher-error.json for details");
    state.error_report_written = false;
    EXPECT_EQ(blocked_launch_message(state), "proxy check failed; no error report could be written");
}

TEST(LaunchEnd, ARefusedEngineExitsOneAndReplacesTheReportKeepingItsStatusAndFigures)
{
    const struct {
        LaunchOutcome written;
        EngineStart start;
        int exit_code;
        bool replaces_report;
        const char* error_code;
        const char* message;
    } cases[] = {
        {{"ok", 412, "", ""}, {true, 0}, 0, false, "", ""},
        {{"ok", 412, "", ""}, {false, 225}, 1, true, "ENGINE_START_FAILED",
         "CreateProcessW(orvalis-browser-engine.exe) failed with error 225"},
        {{"degraded", 0, "DIALOG_INIT_FAILED", "CreateProgressDialog returned null; spawned engine without discovery"},
         {false, 5}, 1, true, "ENGINE_START_FAILED", "CreateProcessW(orvalis-browser-engine.exe) failed with error 5"},
    };
    for (const auto& c : cases) {
        const LaunchEnd end = launch_end(c.written, c.start);
        EXPECT_EQ(std::tie(end.exit_code, end.replaces_report, end.report.status, end.report.elapsed_ms,
                           end.report.error_code, end.report.message),
                  std::tie(c.exit_code, c.replaces_report, c.written.status, c.written.elapsed_ms, c.error_code,
                           c.message));
    }
}

} // namespace
