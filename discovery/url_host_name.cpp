#include "discovery/url_host_name.hpp"

std::string url_host_name(const std::string& url)
{
    const std::size_t scheme_end = url.find("://");
    if (scheme_end == std::string::npos) return {};
    const std::size_t authority_begin = scheme_end + 3;
    const std::size_t authority_end = url.find_first_of("/?#", authority_begin);
    std::string host = url.substr(authority_begin, authority_end == std::string::npos
                                                       ? std::string::npos
                                                       : authority_end - authority_begin);

    // User information may hold ':' and '@' of its own; the host follows the last '@'.
    const std::size_t at = host.rfind('@');
    if (at != std::string::npos) host.erase(0, at + 1);

    if (!host.empty() && host.front() == '[') {
        const std::size_t bracket = host.find(']');
        return bracket == std::string::npos ? host : host.substr(0, bracket + 1);
    }
    const std::size_t colon = host.find(':');
    if (colon != std::string::npos) host.erase(colon);
    return host;
}
