#include "discovery/probe_outcome.hpp"

#include "discovery/ip_address.hpp"
#include "settings/flat_json_reader.hpp"

namespace {

// curl's own words, from its SOCKS5 code, for a proxy that refused the login
// (wrong user or password) and for one that accepts none of the methods
// offered (it wants credentials that were not given). 7.55.1, 8.4.0 and
// 8.21.0 print them alike, after "curl: (7) " (7.55.1) or "curl: (97) ".
const char* const login_refusals[] = {"User was rejected by the SOCKS5 server",
                                      "No authentication method was acceptable"};

bool is_login_refusal(std::int32_t exit_status, const std::string& output)
{
    const std::string prefix = "curl: (" + std::to_string(exit_status) + ") ";
    for (const char* refusal : login_refusals) {
        const std::string line = prefix + refusal;
        const std::size_t at = output.find(line);
        if (at != std::string::npos && (at == 0 || output[at - 1] == '\n')) return true;
    }
    return false;
}

// 7.55.1 ends every SOCKS5 failure with 7, as a refused connection; curl
// 7.73 and later with 97. The proxy's name is the only one curl resolves
// (socks5h), so 5 (8.21.0) and 6 (7.55.1, 8.4.0) both mean that name. 52
// (nothing came back) and 56 (the connection broke while receiving, a reset
// or a close without TLS close_notify) come only after the SOCKS5 login
// succeeded: the way through the proxy broke, not the password.
const char* failure_class(std::int32_t exit_status, const std::string& output)
{
    switch (exit_status) {
    case 5:
    case 6:
    case 52:
    case 56: return "PROXY_UNREACHABLE";
    case 7:
    case 97: return is_login_refusal(exit_status, output) ? "PROXY_AUTH_FAILED" : "PROXY_UNREACHABLE";
    case curl_timeout_status: return "PROXY_TIMEOUT";
    case 67: return "PROXY_AUTH_FAILED";
    default: return "INTERNAL";
    }
}

bool is_line_space(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first non-empty line with every blank and tab taken out.
std::string first_line_without_blanks(const std::string& output)
{
    std::string line;
    for (const char c : output) {
        if (c == ' ' || c == '\t') continue;
        if (c == '\r' || c == '\n') {
            if (line.empty()) continue;
            break;
        }
        line.push_back(c);
    }
    return line;
}

bool looks_like_json(const std::string& output)
{
    for (const char c : output) {
        if (!is_line_space(c)) return c == '{';
    }
    return false;
}

} // namespace

DiscoveryResult probe_stopped(ProbeStop reason)
{
    struct Stop {
        const char* error_code;
        const char* message;
    };
    // In the order of ProbeStop.
    static const Stop stops[] = {
        {"INTERNAL", "proxy-server is not socks5://\xE2\x80\xA6 \xE2\x80\x94 launcher does not handle other schemes"},
        {"INTERNAL", "GetSystemDirectoryW failed"},
        {"CURL_NOT_FOUND", "curl.exe missing from System32 (Windows 10 1803+ ships it)"},
        {"INTERNAL", "CreatePipe failed"},
        {"INTERNAL", "CreateProcess(curl.exe) failed"},
        {"INTERNAL", "curl did not take the proxy from its standard input"},
        {"INTERNAL", "CreateJobObject failed"},
        {"INTERNAL", "CreateThreadpoolTimer failed"},
        {"INTERNAL", "ResumeThread(curl.exe) failed"},
    };
    const Stop& stop = stops[static_cast<int>(reason)];
    DiscoveryResult result;
    result.error_code = stop.error_code;
    result.message = stop.message;
    return result;
}

DiscoveryResult proxy_refused(const std::string& refusal)
{
    DiscoveryResult result;
    result.error_code = "INTERNAL";
    result.message = "proxy-server " + refusal + " \xE2\x80\x94 curl not run";
    return result;
}

DiscoveryResult classify_curl_run(std::int32_t exit_status, std::int64_t elapsed_ms, const std::string& output,
                                  const std::string& discovery_url, const std::string& proxy_server)
{
    DiscoveryResult result;
    result.curl_exit_code = exit_status;
    result.elapsed_ms = elapsed_ms;

    // The status tells a failed run, and for a SOCKS5 failure curl's own
    // words tell a refused login from the rest; the output goes no further.
    if (exit_status != 0) {
        result.error_code = failure_class(exit_status, output);
        result.message = "curl exit " + std::to_string(exit_status) + " against " + discovery_url + " via " +
                         proxy_server + " after " + std::to_string(elapsed_ms) + " ms";
        return result;
    }

    // The shape of the reply, not the URL asked, decides how it is read: the
    // primary endpoint answers JSON, the fallback the bare address.
    std::string candidate;
    if (looks_like_json(output)) {
        candidate = read_string_field(output, "ip");
        result.country_code = read_string_field(output, "country_code");
        result.timezone = read_string_field(output, "timezone");
        result.latitude = read_scalar_field(output, "latitude");
        result.longitude = read_scalar_field(output, "longitude");
    } else {
        candidate = first_line_without_blanks(output);
    }

    // From "1.1.1.1" to the longest written IPv6 address. Rate limits and
    // errors come back with curl's exit 0 too ("Too Many Requests",
    // {"ip":"unknown"}), so only a well-formed address is one. It goes on in
    // its one spelling, which the length rule holds for too: the engine and
    // the reports see the same text, and one address is judged alike however
    // the service wrote it. A NUL would end the engine's command line at that
    // switch, so a reply holding one in a value bound for the engine is no
    // reply either.
    const bool holds_nul = (result.country_code + result.timezone + result.latitude + result.longitude)
                               .find('\0') != std::string::npos;
    const std::string address = candidate.size() <= 45 ? canonical_ip_address(candidate) : std::string();
    if (candidate.size() >= 7 && address.size() >= 7 && !holds_nul) {
        result.ip = address;
        return result;
    }
    result.error_code = "DISCOVERY_HTTP_ERROR";
    result.message = "curl exit 0 but no usable IP in response \xE2\x80\x94 got " + std::to_string(output.size()) +
                     " bytes, head: \"" + output.substr(0, 80) + "\"";
    return result;
}
