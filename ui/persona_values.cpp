#include "ui/persona_values.hpp"

#include "common/text_conversion.hpp"
#include "discovery/country_languages.hpp"
#include "discovery/discovery_endpoints.hpp"

#include <utility>

void store_report_values(const DiscoveryResult& result, const std::string& last_url, LaunchState& state)
{
    state.ip = result.ip;
    state.country_code = result.country_code;
    state.provider = last_url == fallback_discovery_url() ? fallback_host_name() : "tessar";
    state.timezone = result.timezone;
    state.elapsed_ms = result.elapsed_ms;
}

void derive_persona_values(const LaunchSettings& settings, const DiscoveryResult& result, LaunchState& state)
{
    if (settings.webrtc_no_leak && !settings.has_fake_public_ip) state.fake_public_ip = utf8_to_wide(result.ip);

    const bool have_coordinates = !result.latitude.empty() && !result.longitude.empty();
    if (settings.auto_geo && have_coordinates) {
        if (!settings.has_geo_lat) state.geo_lat = utf8_to_wide(result.latitude);
        if (!settings.has_geo_lng) state.geo_lng = utf8_to_wide(result.longitude);
    }

    if (settings.auto_lang && !result.country_code.empty()) {
        const CountryLanguages languages = lookup_country_languages(result.country_code);
        if (!settings.has_lang) state.lang = utf8_to_wide(std::string(languages.lang));
        if (!settings.has_accept_language) state.accept_language = utf8_to_wide(std::string(languages.accept_lang));
    }

    if (settings.auto_timezone && !result.timezone.empty() && !settings.has_timezone_override)
        state.timezone_override = utf8_to_wide(result.timezone);
}

std::wstring override_summary(const LaunchState& state)
{
    // Accept-Language is not shown: lang stands for both language values.
    const std::pair<const wchar_t*, const std::wstring*> pairs[] = {
        {L"ip", &state.fake_public_ip}, {L"tz", &state.timezone_override}, {L"lang", &state.lang},
        {L"lat", &state.geo_lat},       {L"lng", &state.geo_lng},
    };
    std::wstring summary;
    for (const auto& [key, value] : pairs) {
        if (value->empty()) continue;
        if (!summary.empty()) summary += L' ';
        summary += key;
        summary += L'=';
        summary += *value;
    }
    return summary;
}
