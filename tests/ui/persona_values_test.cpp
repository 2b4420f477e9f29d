#include "ui/persona_values.hpp"

#include "common/text_conversion.hpp"
#include "discovery/country_languages.hpp"
#include "discovery/discovery_endpoints.hpp"
#include "tests/common/probe_results.hpp"

#include <gtest/gtest.h>

namespace {

std::wstring wide(std::string_view text)
{
    return utf8_to_wide(std::string(text));
}

TEST(PersonaValues, DerivesOnlyWhatIsAskedForAndNotSetByTheSettingsFile)
{
    const CountryLanguages german = lookup_country_languages("DE");
    struct Row {
        const char* name;
        LaunchSettings settings;
        DiscoveryResult result;
        std::wstring fake_public_ip, timezone_override, lang, accept_language, geo_lat, geo_lng;
    };
    LaunchSettings everything;
    everything.webrtc_no_leak = everything.auto_geo = everything.auto_lang = everything.auto_timezone = true;

    std::vector<Row> rows;
    rows.push_back({"nothing asked", LaunchSettings{}, probe_berlin(), L"", L"", L"", L"", L"", L""});
    rows.push_back({"everything asked", everything, probe_berlin(), L"203.0.113.7", L"Europe/Berlin", wide(german.lang),
                    wide(german.accept_lang), L"52.5200", L"13.4050"});
    {
        LaunchSettings s = everything;
        s.has_fake_public_ip = s.has_geo_lat = s.has_lang = s.has_timezone_override = true;
        rows.push_back({"settings file sets some", s, probe_berlin(), L"", L"", L"", wide(german.accept_lang), L"",
                        L"13.4050"});
    }
    {
        DiscoveryResult r = probe_berlin();
        r.longitude.clear();
        rows.push_back({"coordinates come only as a pair", everything, r, L"203.0.113.7", L"Europe/Berlin",
                        wide(german.lang), wide(german.accept_lang), L"", L""});
    }
    {
        DiscoveryResult r = probe_berlin();
        r.country_code.clear();
        r.timezone.clear();
        rows.push_back({"reply without country or zone", everything, r, L"203.0.113.7", L"", L"", L"", L"52.5200",
                        L"13.4050"});
    }
    {
        DiscoveryResult r = probe_berlin();
        r.country_code = "ZZ";
        const CountryLanguages fallback = lookup_country_languages("ZZ");
        rows.push_back({"unknown country takes the default row", everything, r, L"203.0.113.7", L"Europe/Berlin",
                        wide(fallback.lang), wide(fallback.accept_lang), L"52.5200", L"13.4050"});
    }

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LaunchState state;
        derive_persona_values(row.settings, row.result, state);
        EXPECT_EQ(state.fake_public_ip, row.fake_public_ip);
        EXPECT_EQ(state.timezone_override, row.timezone_override);
        EXPECT_EQ(state.lang, row.lang);
        EXPECT_EQ(state.accept_language, row.accept_language);
        EXPECT_EQ(state.geo_lat, row.geo_lat);
        EXPECT_EQ(state.geo_lng, row.geo_lng);
    }
}

TEST(PersonaValues, SummaryListsTheDerivedValuesInFixedOrderWithoutAcceptLanguage)
{
    LaunchState state;
    EXPECT_EQ(override_summary(state), L"");

    state.accept_language = L"de-DE,de;q=0.9,en;q=0.8";
    EXPECT_EQ(override_summary(state), L"");

    state.geo_lng = L"13.4050";
    state.lang = L"de-DE";
    state.fake_public_ip = L"203.0.113.7";
    EXPECT_EQ(override_summary(state), L"ip=203.0.113.7 lang=de-DE lng=13.4050");

    state.geo_lat = L"52.5200";
    state.timezone_override = L"Europe/Berlin";
    EXPECT_EQ(override_summary(state), L"ip=203.0.113.7 tz=Europe/Berlin lang=de-DE lat=52.5200 lng=13.4050");
}

TEST(PersonaValues, ReportValuesNameTheEndpointThatGaveTheFinalAnswer)
{
    DiscoveryResult failed;
    failed.ip = "";
    failed.error_code = "PROXY_TIMEOUT";
    failed.country_code = "DE";
    failed.timezone = "Europe/Berlin";
    failed.elapsed_ms = 10012;

    LaunchState state;
    store_report_values(failed, std::string(primary_discovery_url()), state);
    EXPECT_EQ(state.provider, "tessar");
    EXPECT_EQ(state.country_code, "DE");
    EXPECT_EQ(state.timezone, "Europe/Berlin");
    EXPECT_EQ(state.elapsed_ms, 10012);
    EXPECT_TRUE(state.fake_public_ip.empty());

    DiscoveryResult bare;
    bare.ip = "198.51.100.23";
    bare.elapsed_ms = 15;
    store_report_values(bare, std::string(fallback_discovery_url()), state);
    EXPECT_EQ(state.provider, fallback_host_name());
    EXPECT_EQ(state.ip, "198.51.100.23");
    EXPECT_EQ(state.country_code, "");
    EXPECT_EQ(state.timezone, "");
    EXPECT_EQ(state.elapsed_ms, 15);

    // Only the whole URL counts, not a longer one that starts with it.
    store_report_values(bare, std::string(fallback_discovery_url()) + "?again", state);
    EXPECT_EQ(state.provider, "tessar");
}

} // namespace
