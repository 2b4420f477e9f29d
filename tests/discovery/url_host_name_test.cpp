#include "discovery/url_host_name.hpp"

#include "discovery/discovery_endpoints.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(UrlHostName, TakesTheHostOutOfTheAuthority)
{
    const struct {
        const char* url;
        const char* host;
    } cases[] = {
        {"https://geoip.example.com/geoip?format=json", "geoip.example.com"},
        {"https://myip.example.net/myip", "myip.example.net"},
        {"http://127.0.0.1:8080/myip", "127.0.0.1"},
        {"https://user:p:w@secret@Geo.Example.com:443/x", "Geo.Example.com"},
        {"http://[2001:db8::1]:8080/geoip", "[2001:db8::1]"},
        {"https://host.example", "host.example"},
        {"https://host.example?x=1", "host.example"},
        {"https://host.example#frag", "host.example"},
        {"https:///path", ""},
        {"geoip.example.com/geoip", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(url_host_name(c.url), c.host) << c.url;
}

TEST(DiscoveryEndpoints, EachIsAnHttpsUrlWithItsPathAndTheHostNameFromIt)
{
    for (const auto& [url, host, path] : {std::tuple(primary_discovery_url(), primary_host_name(), "/geoip?format=json"),
                                          std::tuple(fallback_discovery_url(), fallback_host_name(), "/myip")}) {
        EXPECT_EQ(url.substr(0, 8), "https://");
        EXPECT_EQ(url.substr(url.find('/', 8)), path);
        EXPECT_EQ(host, url_host_name(url));
        EXPECT_FALSE(host.empty());
    }
}

} // namespace
