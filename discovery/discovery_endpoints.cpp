#include "discovery/discovery_endpoints.hpp"

#include "discovery/discovery_urls.hpp"
#include "discovery/url_host_name.hpp"

namespace {

constexpr std::string_view primary_url = configured_primary_discovery_url;
constexpr std::string_view fallback_url = configured_fallback_discovery_url;
constexpr std::string_view primary_host = url_host_name(primary_url);
constexpr std::string_view fallback_host = url_host_name(fallback_url);

} // namespace

std::string_view primary_discovery_url()
{
    return primary_url;
}

std::string_view fallback_discovery_url()
{
    return fallback_url;
}

std::string_view primary_host_name()
{
    return primary_host;
}

std::string_view fallback_host_name()
{
    return fallback_host;
}
