#include "discovery/curl_command_line.hpp"

#include "common/argument_quoting.hpp"
#include "common/text_conversion.hpp"

std::string curl_config_text(const std::string& proxy_url)
{
    // Quoted, a value ends only at an unescaped double quote; unquoted, it
    // would end at the first blank and leave the rest to be read as more.
    std::string text = "proxy = \"";
    for (const char c : proxy_url) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '"': text += "\\\""; break;
        case '\t': text += "\\t"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\v': text += "\\v"; break;
        default: text.push_back(c);
        }
    }
    return text + "\"\n";
}

std::wstring curl_command_line(const std::wstring& curl_path, const std::string& discovery_url)
{
    // The probe must never go around the proxy: -q (honoured only as the first
    // argument) keeps a curl config file in the user's profile out, and an
    // empty --noproxy list overrides NO_PROXY/no_proxy from the environment,
    // either of which would let curl fetch the URL directly and so report the
    // user's own address as the proxy's. "-K -" reads the proxy from standard
    // input: its user and password would be seen by anyone who can list
    // processes or read the process-creation audit. Windows' Schannel curl
    // checks certificate revocation by fetching CRLs and OCSP answers itself,
    // outside the proxy: behind a firewall that lets only the proxy out every
    // HTTPS probe would fail with exit 35, and elsewhere the machine's own
    // address would contact the certificate authority on every launch.
    // --ssl-no-revoke turns that off; OpenSSL builds accept and ignore it, so
    // only Windows' own curl shows the difference (docs/windows-checklist.md).
    return quote_argument(curl_path, true) + L" -q -K - --noproxy \"\" --ssl-no-revoke --max-time 10 -sS " +
           quote_argument(utf8_to_wide(discovery_url));
}
