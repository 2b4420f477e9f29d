#include "discovery/probe_outcome.hpp"

#include "discovery/ip_address.hpp"
#include "settings/flat_json_reader.hpp"

namespace {

const char* failure_class(std::int32_t exit_status)
{
    switch (exit_status) {
    case 7: return "PROXY_UNREACHABLE";
    case curl_timeout_status: return "PROXY_TIMEOUT";
    case 56:
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
        // curl 8 fails on such a value with exit 5, which is INTERNAL too;
        // curl before 7.65.0 would take it for no proxy at all and go direct.
        {"INTERNAL", "proxy-server is not socks5://[user[:password]@]host[:port] \xE2\x80\x94 curl not run"},
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

DiscoveryResult classify_curl_run(std::int32_t exit_status, std::int64_t elapsed_ms, const std::string& output,
                                  const std::string& discovery_url, const std::string& proxy_server)
{
    DiscoveryResult result;
    result.curl_exit_code = exit_status;
    result.elapsed_ms = elapsed_ms;

    // Only the status tells a failed run: curl's own error text shares the
    // pipe and its wording is curl's, so the output is dropped.
    if (exit_status != 0) {
        result.error_code = failure_class(exit_status);
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
