#include "discovery/curl_command_line.hpp"

#include "common/argument_quoting.hpp"

namespace {

// Quoted, a value ends only at an unescaped double quote; unquoted, it would
// end at the first blank and leave the rest to be read as more.
std::string config_line(const char* option, const std::string& value)
{
    std::string line = std::string(option) + " = \"";
    for (const char c : value) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '"': line += "\\\""; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        case '\v': line += "\\v"; break;
        default: line.push_back(c);
        }
    }
    return line + "\"\n";
}

} // namespace

std::string curl_config_text(const std::string& proxy_url, const std::string& discovery_url)
{
    return config_line("proxy", proxy_url) + config_line("url", discovery_url);
}

std::wstring curl_command_line(const std::wstring& curl_path)
{
    // The probe must never go around the proxy: -q (honoured only as the first
    // argument) keeps a curl config file in the user's profile out, and an
    // empty --noproxy list overrides NO_PROXY/no_proxy from the environment,
    // either of which would let curl fetch the URL directly and so report the
    // user's own address as the proxy's. "-K -" reads the proxy and the URL
    // from standard input: the proxy's user and password would be seen by
    // anyone who can list processes or read the process-creation audit, and a
    // curl that never gets its input has no URL to fetch without the proxy.
    // Windows' curl is built with SSPI and offers the proxy GSS-API besides
    // user and password; a proxy that picks it gets a Kerberos exchange in the
    // name of the logged-on Windows user. --socks5-basic (curl 7.55.0 and
    // later) offers only "no authentication" and user/password. Windows'
    // Schannel curl checks certificate revocation by fetching CRLs and OCSP
    // answers itself, outside the proxy: behind a firewall that lets only the
    // proxy out every HTTPS probe would fail with exit 35, and elsewhere the
    // machine's own address would contact the certificate authority on every
    // launch. --ssl-no-revoke turns that off; OpenSSL builds accept and ignore
    // it, so only Windows' own curl shows the difference
    // (docs/windows-checklist.md).
    return quote_argument(curl_path, true) +
           L" -q -K - --socks5-basic --noproxy \"\" --ssl-no-revoke --max-time 10 -sS";
}

std::wstring curl_version_command_line(const std::wstring& curl_path)
{
    return quote_argument(curl_path, true) + L" -q -V";
}
