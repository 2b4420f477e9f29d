#include "ui/launch_state_handover.hpp"

#include <gtest/gtest.h>

namespace {

void fill(LaunchState& state)
{
    state.fake_public_ip = L"203.0.113.7";
    state.timezone_override = L"Europe/Berlin";
    state.lang = L"de-DE";
    state.accept_language = L"de-DE,de;q=0.9";
    state.geo_lat = L"52.52";
    state.geo_lng = L"13.40";
    state.ip = "203.0.113.7";
    state.timezone = "Europe/Berlin";
    state.country_code = "DE";
    state.provider = "tessar";
    state.elapsed_ms = 731;
    state.blocked.exchange(true);
    state.cancelled.exchange(true);
}

TEST(LaunchStateHandover, AnEndedWorkerHandsOverEverything)
{
    LaunchState worker;
    fill(worker);
    LaunchState launch;
    hand_over_launch_state(worker, true, launch);
    EXPECT_EQ(launch.fake_public_ip, L"203.0.113.7");
    EXPECT_EQ(launch.timezone_override, L"Europe/Berlin");
    EXPECT_EQ(launch.lang, L"de-DE");
    EXPECT_EQ(launch.accept_language, L"de-DE,de;q=0.9");
    EXPECT_EQ(launch.geo_lat, L"52.52");
    EXPECT_EQ(launch.geo_lng, L"13.40");
    EXPECT_EQ(launch.ip, "203.0.113.7");
    EXPECT_EQ(launch.timezone, "Europe/Berlin");
    EXPECT_EQ(launch.country_code, "DE");
    EXPECT_EQ(launch.provider, "tessar");
    EXPECT_EQ(launch.elapsed_ms, 731);
    EXPECT_TRUE(launch.blocked.load());
    EXPECT_TRUE(launch.cancelled.load());
}

TEST(LaunchStateHandover, AWorkerStillRunningHandsOverOnlyTheFlags)
{
    LaunchState worker;
    fill(worker);
    LaunchState launch;
    hand_over_launch_state(worker, false, launch);
    EXPECT_TRUE(launch.cancelled.load());
    EXPECT_TRUE(launch.blocked.load());
    EXPECT_TRUE(launch.ip.empty());
    EXPECT_TRUE(launch.fake_public_ip.empty());
    EXPECT_TRUE(launch.provider.empty());
    EXPECT_EQ(launch.elapsed_ms, 0);
}

} // namespace
