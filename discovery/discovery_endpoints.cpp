#include "discovery/discovery_endpoints.hpp"

#include "discovery/discovery_urls.hpp"
#include "discovery/url_host_name.hpp"

const std::string& primary_discovery_url()
{
    static const std::string url = configured_primary_discovery_url;
    return url;
}

const std::string& fallback_discovery_url()
{
    static const std::string url = configured_fallback_discovery_url;
    return url;
}

const std::string& primary_host_name()
{
    static const std::string host = url_host_name(primary_discovery_url());
    return host;
}

const std::string& fallback_host_name()
{
    static const std::string host = url_host_name(fallback_discovery_url());
    return host;
}
