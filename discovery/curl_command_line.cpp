#include "discovery/curl_command_line.hpp"

#include "common/argument_quoting.hpp"
#include "common/text_conversion.hpp"

std::string curl_proxy_argument(const std::string& proxy_server)
{
    return "socks5h://" + proxy_server.substr(proxy_server.size() < 9 ? proxy_server.size() : 9);
}

std::wstring curl_command_line(const std::wstring& curl_path, const std::string& proxy_server,
                               const std::string& discovery_url)
{
    // The probe must never go around the proxy: -q (honoured only as the first
    // argument) keeps a curl config file in the user's profile out, and an
    // empty --noproxy list overrides NO_PROXY/no_proxy from the environment,
    // either of which would let curl fetch the URL directly and so report the
    // user's own address as the proxy's.
    return quote_argument(curl_path, true) + L" -q --noproxy \"\" --max-time 10 -sS -x " +
           quote_argument(utf8_to_wide(curl_proxy_argument(proxy_server))) + L" " +
           quote_argument(utf8_to_wide(discovery_url));
}
