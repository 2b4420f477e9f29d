#include "launcher/launch_settings.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using BoolField = bool LaunchSettings::*;

// Every boolean of the record with the key that alone may set it.
const std::vector<std::pair<std::string, BoolField>> boolean_keys = {
    {"webrtc-no-leak", &LaunchSettings::webrtc_no_leak},
    {"webrtc-fake-public-ip", &LaunchSettings::has_fake_public_ip},
    {"auto-geo", &LaunchSettings::auto_geo},
    {"auto-lang", &LaunchSettings::auto_lang},
    {"auto-timezone", &LaunchSettings::auto_timezone},
    {"geo-lat", &LaunchSettings::has_geo_lat},
    {"geo-lng", &LaunchSettings::has_geo_lng},
    {"lang", &LaunchSettings::has_lang},
    {"accept-language", &LaunchSettings::has_accept_language},
    {"timezone-override", &LaunchSettings::has_timezone_override},
    {"close-previous-tabs", &LaunchSettings::close_previous_tabs},
    {"device-memory", &LaunchSettings::has_device_memory},
    {"hardware-concurrency", &LaunchSettings::has_hardware_concurrency},
    {"speech-voices", &LaunchSettings::has_speech_voices},
};

TEST(ParseLaunchSettings, WithoutKeysEverythingIsDefault) {
    const LaunchSettings settings = parse_launch_settings("");
    EXPECT_EQ(settings.on_proxy_fail, "block");
    EXPECT_EQ(settings.proxy_server, "");
    EXPECT_EQ(settings.start_page, "");
    EXPECT_TRUE(settings.storage_reset.empty());
    for (const auto& [key, field] : boolean_keys) EXPECT_FALSE(settings.*field) << key;
}

TEST(ParseLaunchSettings, EachKeySetsOnlyItsOwnField) {
    for (const auto& [key, field] : boolean_keys) {
        const LaunchSettings settings = parse_launch_settings("{\"" + key + "\": \"1\"}");
        for (const auto& [other, other_field] : boolean_keys)
            EXPECT_EQ(settings.*other_field, other == key) << key << " set, " << other << " read";
    }
}

TEST(ParseLaunchSettings, ValuesOfEachKind) {
    const struct {
        std::string text;
        BoolField field;
        bool expected;
    } cases[] = {
        {R"({"webrtc-no-leak": yes})", &LaunchSettings::webrtc_no_leak, false},
        {R"({"webrtc-no-leak": True})", &LaunchSettings::webrtc_no_leak, false},
        {R"({"webrtc-no-leak": 0})", &LaunchSettings::webrtc_no_leak, false},
        {R"({"webrtc-no-leak": true})", &LaunchSettings::webrtc_no_leak, true},
        {R"({"webrtc-fake-public-ip": ""})", &LaunchSettings::has_fake_public_ip, false},
        {R"({"webrtc-fake-public-ip": 1})", &LaunchSettings::has_fake_public_ip, false},
        {R"({"geo-lat": null})", &LaunchSettings::has_geo_lat, true},
        {R"({"lang": ""})", &LaunchSettings::has_lang, true},
        {R"({"close-previous-tabs": false, "start-page": "https://a.example/"})",
         &LaunchSettings::close_previous_tabs, true},
        {R"({"start-page": ""})", &LaunchSettings::close_previous_tabs, false},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_launch_settings(c.text).*c.field, c.expected) << c.text;
}

TEST(ParseLaunchSettings, OnlyBlockOrFallbackReplaceBlock) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"on-proxy-fail": "fallback"})", "fallback"}, {R"({"on-proxy-fail": "block"})", "block"},
        {R"({"on-proxy-fail": "Block"})", "block"},       {R"({"on-proxy-fail": "fallback "})", "block"},
        {R"({"on-proxy-fail": "ignore"})", "block"},      {R"({"on-proxy-fail": fallback})", "block"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parse_launch_settings(text).on_proxy_fail, expected) << text;
}

TEST(ParseLaunchSettings, ATypicalFile) {
    const LaunchSettings settings = parse_launch_settings(R"({
  "proxy-server": "socks5://user:pw@10.0.0.1:1080",
  "start-page": "https://example.org/a b?q=\"x\"",
  "granular-storage-reset": { "cookies": true, "indexeddb": false, "local-storage": true }
})");
    EXPECT_EQ(settings.proxy_server, "socks5://user:pw@10.0.0.1:1080");
    EXPECT_EQ(settings.start_page, "https://example.org/a b?q=\"x\"");
    EXPECT_TRUE(settings.close_previous_tabs);
    EXPECT_EQ(settings.storage_reset, (FlagMap{{"cookies", true}, {"indexeddb", false}}));
}

} // namespace
