// The judgement of a finished curl run on arbitrary output. The first byte
// picks the exit status (any byte below 0xC0 means 0, so most runs read a
// reply) and the elapsed time; the rest is what curl wrote. A reply succeeds
// exactly when its address, 7 to 45 bytes, is one by the C library's
// inet_pton, its spelling by inet_ntop is 7 bytes or more, and no value bound
// for the engine holds a NUL; the address passed on is that spelling.

#include "discovery/probe_outcome.hpp"
#include "settings/flat_json_reader.hpp"
#include "tests/fuzz/fuzz_check.hpp"

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <string>

namespace {

const std::int32_t statuses[] = {7, 97, 5, 28, 56, 67, 1, -1, 6, 35, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()};
const std::int64_t elapsed_values[] = {0, 1500, 10003, std::numeric_limits<std::int64_t>::max(),
                                       std::numeric_limits<std::int64_t>::min()};

const std::string url = "https://geoip.example.com/geoip?format=json";
const std::string proxy = "socks5://user:pa ss@127.0.0.1:1080";

bool starts_with(const std::string& text, const std::string& head)
{
    return text.compare(0, head.size(), head) == 0;
}

bool ends_with(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool first_significant_byte_is_brace(const std::string& output)
{
    const auto at = output.find_first_not_of(" \t\r\n");
    return at != std::string::npos && output[at] == '{';
}

// The address as the reply's shape gives it: the JSON "ip" string, or the
// first non-empty line with its blanks and tabs taken out.
std::string address_candidate(const std::string& output)
{
    if (first_significant_byte_is_brace(output)) return read_string_field(output, "ip");
    std::string line;
    for (const char c : output) {
        if (c == ' ' || c == '\t') continue;
        if (c != '\r' && c != '\n') line.push_back(c);
        else if (!line.empty()) break;
    }
    return line;
}

// glibc's inet_pton takes exactly the forms an address may have here: no
// leading zeros in a dotted quad (in an IPv6 tail too), 1-4 hex digits a
// group, "::" at most once and for at least one group, no zone or brackets.
// It reads a C string, so a NUL inside the text would hide what follows it;
// such a text is no address. The spelling is glibc's inet_ntop, which writes
// RFC 5952 text, with two exceptions: an IPv4-mapped address is passed on as
// its IPv4 address, and one with 96 zero bits before a non-zero seventh group
// keeps hex where glibc writes the deprecated "::a.b.c.d". Empty for no address.
std::string oracle_spelling(const std::string& text)
{
    if (text.find('\0') != std::string::npos) return "";
    unsigned char address[16];
    char spelled[INET6_ADDRSTRLEN];
    if (inet_pton(AF_INET, text.c_str(), address) == 1) return inet_ntop(AF_INET, address, spelled, sizeof spelled);
    if (inet_pton(AF_INET6, text.c_str(), address) != 1) return "";
    const unsigned char mapped_prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(address, mapped_prefix, 12) == 0) return inet_ntop(AF_INET, address + 12, spelled, sizeof spelled);
    const std::string glibc = inet_ntop(AF_INET6, address, spelled, sizeof spelled);
    if (glibc.find('.') == std::string::npos) return glibc;
    char hex[16];
    std::snprintf(hex, sizeof hex, "::%x:%x", address[12] << 8 | address[13], address[14] << 8 | address[15]);
    return hex;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t selector = size > 0 ? data[0] : 0;
    const std::int32_t status = selector < 0xC0 ? 0 : statuses[selector % std::size(statuses)];
    const std::int64_t elapsed = elapsed_values[selector % std::size(elapsed_values)];
    const std::string output = size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : "";

    const DiscoveryResult result = classify_curl_run(status, elapsed, output, url, proxy);

    require(result.curl_exit_code == status && result.elapsed_ms == elapsed, "status or time not kept");
    const bool succeeded = result.error_code.empty();
    if (status == 0) {
        const std::string candidate = address_candidate(output);
        const std::string spelling = candidate.size() >= 7 && candidate.size() <= 45 ? oracle_spelling(candidate) : "";
        const bool usable = spelling.size() >= 7 && (result.country_code + result.timezone + result.latitude +
                                                     result.longitude)
                                                            .find('\0') == std::string::npos;
        require(succeeded == usable, "an address judged otherwise than inet_pton, inet_ntop and the NUL rule judge it");
        if (succeeded) require(result.ip == spelling, "an address spelled otherwise than inet_ntop spells it");
    }
    if (succeeded) {
        require(status == 0, "a failed curl run judged a success");
        require(result.message.empty(), "a success with a message");
        require(result.ip.size() >= 7 && result.ip.size() <= 45, "an address outside 7..45 bytes");
        if (!first_significant_byte_is_brace(output))
            require(result.ip.find_first_of(" \t\r\n") == std::string::npos, "a plain-text address with white space");
        return 0;
    }

    static const std::set<std::string> codes = {"PROXY_UNREACHABLE", "PROXY_TIMEOUT", "PROXY_AUTH_FAILED",
                                                "DISCOVERY_HTTP_ERROR", "INTERNAL"};
    require(codes.count(result.error_code) == 1, "an unknown failure code");
    require(result.ip.empty(), "a failure with an address");
    require(starts_with(result.message, "curl exit " + std::to_string(status)), "a message without the status");
    if (status != 0) {
        require(result.error_code != "DISCOVERY_HTTP_ERROR", "a failed run read as a reply");
        require(ends_with(result.message, " after " + std::to_string(elapsed) + " ms"), "a message without the time");
        require(result.country_code.empty() && result.timezone.empty() && result.latitude.empty() &&
                    result.longitude.empty(),
                "a failed run with geography");
        return 0;
    }
    require(result.error_code == "DISCOVERY_HTTP_ERROR", "a reply judged by another class");
    // However large the reply, the message holds only its size and head.
    require(result.message.size() <= 200, "a message that grows with the reply");
    require(result.message.find(output.substr(0, 80)) != std::string::npos, "a message without the reply's head");
    if (!first_significant_byte_is_brace(output))
        require(result.country_code.empty() && result.timezone.empty() && result.latitude.empty() &&
                    result.longitude.empty(),
                "a plain-text reply with geography");
    return 0;
}
