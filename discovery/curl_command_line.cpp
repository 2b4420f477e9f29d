#include "discovery/curl_command_line.hpp"

#include "common/argument_quoting.hpp"
#include "common/text_conversion.hpp"

std::string curl_proxy_argument(const std::string& proxy_server)
{
    // A curl without Unicode argument handling gets its command line in the
    // ANSI code page with best-fit mapping, which mangles any non-ASCII
    // credential and turns U+FF02 into a double quote that would end our
    // quoting. So every byte from 0x80 up goes as %XX, which curl decodes in a
    // proxy URL's user and password; ASCII stays byte for byte.
    static const char hex[] = "0123456789ABCDEF";
    std::string argument = "socks5h://";
    for (std::size_t i = proxy_server.size() < 9 ? proxy_server.size() : 9; i < proxy_server.size(); ++i) {
        const auto byte = static_cast<unsigned char>(proxy_server[i]);
        if (byte < 0x80) {
            argument.push_back(static_cast<char>(byte));
            continue;
        }
        argument.push_back('%');
        argument.push_back(hex[byte >> 4]);
        argument.push_back(hex[byte & 0x0F]);
    }
    return argument;
}

std::wstring curl_command_line(const std::wstring& curl_path, const std::string& proxy_server,
                               const std::string& discovery_url)
{
    // The probe must never go around the proxy: -q (honoured only as the first
    // argument) keeps a curl config file in the user's profile out, and an
    // empty --noproxy list overrides NO_PROXY/no_proxy from the environment,
    // either of which would let curl fetch the URL directly and so report the
    // user's own address as the proxy's. Windows' Schannel curl checks
    // certificate revocation by fetching CRLs and OCSP answers itself, outside
    // the proxy: behind a firewall that lets only the proxy out every HTTPS
    // probe would fail with exit 35, and elsewhere the machine's own address
    // would contact the certificate authority on every launch.
    // --ssl-no-revoke turns that off; OpenSSL builds accept and ignore it, so
    // only Windows' own curl shows the difference (docs/windows-checklist.md).
    return quote_argument(curl_path, true) + L" -q --noproxy \"\" --ssl-no-revoke --max-time 10 -sS -x " +
           quote_argument(utf8_to_wide(curl_proxy_argument(proxy_server))) + L" " +
           quote_argument(utf8_to_wide(discovery_url));
}
