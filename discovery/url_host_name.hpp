#pragma once

#include <string_view>

// The host of a URL as written in it ("https://user@geoip.example.com:443/x"
// gives "geoip.example.com", an IPv6 host keeps its brackets); empty for a
// text without "://" or without a host. A view into `url`.
//
// Computed at compile time for the configured endpoints, so their host names
// are constants that nothing has to build or destroy at run time.
constexpr std::string_view url_host_name(std::string_view url)
{
    const std::size_t scheme_end = url.find("://");
    if (scheme_end == std::string_view::npos) return {};
    const std::size_t authority_begin = scheme_end + 3;
    const std::size_t authority_end = url.find_first_of("/?#", authority_begin);
    std::string_view host = url.substr(authority_begin, authority_end == std::string_view::npos
                                                            ? std::string_view::npos
                                                            : authority_end - authority_begin);

    // User information may hold ':' and '@' of its own; the host follows the last '@'.
    const std::size_t at = host.rfind('@');
    if (at != std::string_view::npos) host.remove_prefix(at + 1);

    if (!host.empty() && host.front() == '[') {
        const std::size_t bracket = host.find(']');
        return bracket == std::string_view::npos ? host : host.substr(0, bracket + 1);
    }
    return host.substr(0, host.find(':'));
}
