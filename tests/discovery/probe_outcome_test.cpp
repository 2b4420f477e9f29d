#include "discovery/probe_outcome.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

const std::string url = "https://geoip.example.com/geoip?format=json";
const std::string proxy = "socks5://user:pw@10.0.0.1:1080";

DiscoveryResult judged(const std::string& output, std::int32_t status = 0)
{
    return classify_curl_run(status, 1234, output, url, proxy);
}

std::string no_ip_message(std::size_t size, const std::string& head)
{
    return "curl exit 0 but no usable IP in response \xE2\x80\x94 got " + std::to_string(size) + " bytes, head: \"" +
           head + "\"";
}

TEST(ProbeStopped, EachReasonHasItsCodeAndMessageAndNoCurlRun)
{
    const struct {
        ProbeStop reason;
        const char* code;
        const char* message;
    } cases[] = {
        {ProbeStop::proxy_not_socks5, "INTERNAL",
         "proxy-server is not socks5://\u2026 \u2014 launcher does not handle other schemes"},
        {ProbeStop::no_system_directory, "INTERNAL", "GetSystemDirectoryW failed"},
        {ProbeStop::curl_missing, "CURL_NOT_FOUND", "curl.exe missing from System32 (Windows 10 1803+ ships it)"},
        {ProbeStop::pipe_not_created, "INTERNAL", "CreatePipe failed"},
        {ProbeStop::curl_not_started, "INTERNAL", "CreateProcess(curl.exe) failed"},
        {ProbeStop::proxy_not_handed_over, "INTERNAL", "curl did not take the proxy from its standard input"},
        {ProbeStop::job_not_created, "INTERNAL", "CreateJobObject failed"},
        {ProbeStop::deadline_not_created, "INTERNAL", "CreateThreadpoolTimer failed"},
        {ProbeStop::curl_not_resumed, "INTERNAL", "ResumeThread(curl.exe) failed"},
    };
    for (const auto& c : cases) {
        const DiscoveryResult result = probe_stopped(c.reason);
        EXPECT_EQ(result.error_code, c.code);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.curl_exit_code, -1);
        EXPECT_EQ(result.elapsed_ms, 0);
        EXPECT_TRUE(result.ip.empty());
    }
}

TEST(ProxyRefused, TheMessageNamesTheRuleAndNoCurlRun)
{
    const DiscoveryResult result = proxy_refused("port is not 1 to 65535");
    EXPECT_EQ(result.error_code, "INTERNAL");
    EXPECT_EQ(result.message, "proxy-server port is not 1 to 65535 \u2014 curl not run");
    EXPECT_EQ(result.curl_exit_code, -1);
    EXPECT_EQ(result.elapsed_ms, 0);
}

TEST(ClassifyCurlRun, NonZeroStatusGivesItsClassAndDropsTheOutput)
{
    // What Windows' curl 7.55.1, 8.4.0 and 8.21.0 wrote for each failure.
    const std::string rejected = "User was rejected by the SOCKS5 server (1 2).\n";
    const std::string no_method = "No authentication method was acceptable.";
    const struct {
        std::int32_t status;
        std::string output;
        const char* code;
    } cases[] = {
        // The proxy refused the login, or wants one that was not given.
        {7, "curl: (7) " + rejected, "PROXY_AUTH_FAILED"},
        {97, "curl: (97) " + rejected, "PROXY_AUTH_FAILED"},
        {7, "curl: (7) " + no_method + " (It is quite likely that the SOCKS5 server wanted a username/password, "
            "since none was supplied to the server on this connection.)\n", "PROXY_AUTH_FAILED"},
        {97, "curl: (97) " + no_method + "\n", "PROXY_AUTH_FAILED"},
        {97, "some reply\ncurl: (97) " + rejected, "PROXY_AUTH_FAILED"},
        // curl's words only count as its own line, for its own status.
        {97, "xcurl: (97) " + rejected, "PROXY_UNREACHABLE"},
        {97, "curl: (7) " + rejected, "PROXY_UNREACHABLE"},
        {7, rejected, "PROXY_UNREACHABLE"},
        {28, "curl: (28) " + rejected, "PROXY_TIMEOUT"},
        {1, "curl: (1) " + rejected, "INTERNAL"},
        // The proxy is down, its name unknown, or it could not reach the service.
        {7, "curl: (7) Failed to connect to 127.0.0.1 port 1080: Connection refused\n", "PROXY_UNREACHABLE"},
        {7, "curl: (7) Can't complete SOCKS5 connection to 127.0.0.3:80. (5)\n", "PROXY_UNREACHABLE"},
        {97, "curl: (97) Can't complete SOCKS5 connection to h.invalid. (4)\n", "PROXY_UNREACHABLE"},
        {97, "curl: (97) cannot complete SOCKS5 connection to 127.0.0.1. (1)\n", "PROXY_UNREACHABLE"},
        {97, "", "PROXY_UNREACHABLE"},
        {6, "curl: (6) Could not resolve host: proxy.invalid\n", "PROXY_UNREACHABLE"},
        {5, "curl: (5) Could not resolve proxy: proxy.invalid\n", "PROXY_UNREACHABLE"},
        {28, "curl: (28) SOCKS5 read timeout\n", "PROXY_TIMEOUT"},
        // The way through the proxy broke after the login.
        {56, "curl: (56) Failure when receiving data from the peer\n", "PROXY_UNREACHABLE"},
        {52, "curl: (52) Empty reply from server\n", "PROXY_UNREACHABLE"},
        {67, "", "PROXY_AUTH_FAILED"},
        {1, "", "INTERNAL"},
        {-1073741819, "", "INTERNAL"},
        {0x7FFFFFFF, "{\"ip\":\"203.0.113.9\",\"country_code\":\"DE\"}", "INTERNAL"},
    };
    for (const auto& c : cases) {
        const DiscoveryResult result = judged(c.output, c.status);
        EXPECT_EQ(result.error_code, c.code) << c.status << " " << c.output;
        EXPECT_EQ(result.message, "curl exit " + std::to_string(c.status) + " against " + url +
                                      " via socks5://user:pw@10.0.0.1:1080 after 1234 ms");
        EXPECT_EQ(result.curl_exit_code, c.status);
        EXPECT_EQ(result.elapsed_ms, 1234);
        EXPECT_TRUE(result.ip.empty());
        EXPECT_TRUE(result.country_code.empty());
    }
}

TEST(ClassifyCurlRun, JsonReplyGivesAddressAndGeography)
{
    const DiscoveryResult result =
        judged("\r\n  {\"ip\": \"2001:db8::7\", \"country_code\": \"de\", \"timezone\": \"Europe/Berlin\","
               " \"latitude\": 52.52, \"longitude\": \"13.405\"}");
    EXPECT_EQ(result.error_code, "");
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(result.ip, "2001:db8::7");
    EXPECT_EQ(result.country_code, "de");
    EXPECT_EQ(result.timezone, "Europe/Berlin");
    EXPECT_EQ(result.latitude, "52.52");
    EXPECT_EQ(result.longitude, "13.405");
    EXPECT_EQ(result.curl_exit_code, 0);
    EXPECT_EQ(result.elapsed_ms, 1234);
}

TEST(ClassifyCurlRun, JsonWithoutUsableAddressFailsButKeepsGeography)
{
    const std::string reply = "{\"ip\": 1234567, \"country_code\": \"FR\", \"timezone\": \"Europe/Paris\","
                              " \"latitude\": null, \"longitude\": -2.5}";
    const DiscoveryResult result = judged(reply);
    EXPECT_EQ(result.error_code, "DISCOVERY_HTTP_ERROR");
    EXPECT_EQ(result.message, no_ip_message(reply.size(), reply.substr(0, 80)));
    EXPECT_EQ(result.ip, "");
    EXPECT_EQ(result.country_code, "FR");
    EXPECT_EQ(result.timezone, "Europe/Paris");
    EXPECT_EQ(result.latitude, "null");
    EXPECT_EQ(result.longitude, "-2.5");
}

TEST(ClassifyCurlRun, PlainTextIsTheFirstNonEmptyLineWithoutBlanks)
{
    const struct {
        const char* reply;
        const char* ip;
    } cases[] = {
        {"203.0.113.9\n", "203.0.113.9"},
        {"\r\n\n \t 203.0.113.9 \r\nsecond line", "203.0.113.9"},
        {"203.0 .113.9", "203.0.113.9"},
        // Every written form of an address, from 7 to 45 bytes, and its one
        // spelling: IPv4 as written, IPv4-mapped IPv6 as IPv4, other IPv6 in
        // lower case without leading zeros, "::" only for the longest run of
        // two or more zero groups, the first of equal runs.
        {"0.0.0.0", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
        {"::ffff:1.2.3.4", "1.2.3.4"},
        {"::FFFF:cb00:7105", "203.0.113.5"},
        {"0:0:0:0:0:ffff:203.0.113.5", "203.0.113.5"},
        {"::ffff:0:0", "0.0.0.0"},
        {"1::1.2.3.4", "1::102:304"},
        {"::1.2.3.4", "::102:304"},
        {"1:2:3:4:5:6:1.2.3.4", "1:2:3:4:5:6:102:304"},
        {"2001:DB8::Ab7", "2001:db8::ab7"},
        {"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8"},
        {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0"},
        {"::2:3:4:5:6:7:8", "0:2:3:4:5:6:7:8"},
        {"0001:db8::", "1:db8::"},
        {"1:0:0:2::3", "1:0:0:2::3"},
        {"1::2:3:0:0:4", "1::2:3:0:0:4"},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
        {"::ffff:1:0:0", "::ffff:1:0:0"},
        {"ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
    };
    for (const auto& c : cases) {
        const DiscoveryResult result = judged(c.reply);
        EXPECT_EQ(result.error_code, "") << c.reply;
        EXPECT_EQ(result.ip, c.ip);
        EXPECT_TRUE(result.country_code.empty());
    }
}

TEST(ClassifyCurlRun, ReplyWithoutUsableAddressShowsItsSizeAndHead)
{
    const std::string long_page = "<html><body><h1>502 Bad Gateway</h1>" + std::string(200, 'x') + "</body></html>";
    const std::string replies[] = {
        "",
        " \r\n\t\n",
        "123456\n203.0.113.9",
        "1234567890123456789012345678901234567890123456",
        long_page,
        "\n<html><head><title>404 Page Not Found</title></head>\n<body>404</body></html>",
        // A JSON object after some other first byte is not read as JSON.
        "x {\"ip\":\"203.0.113.9\"}",
        // What services answer rate limits and errors with, curl exiting 0.
        "Too Many Requests\n",
        "<!DOCTYPE html>\n<html><head><title>Error</title></head></html>",
        "{\"ip\":\"unknown\"}",
        "{\"ip\":\"1.2.3.4 \"}",
        "{\"ip\":\"[2001:db8::7]\", \"country_code\":\"DE\"}",
        // Near misses: leading zeros (octal to some readers), out of range,
        // too few or many parts, signs, zones, brackets, a second "::".
        "1234567",
        "01.2.3.4",
        "1.2.3.04",
        "256.1.1.1",
        "1.2.3",
        "1.2.3.4.5",
        "1.2x3.4",
        "+1.2.3.4",
        "0x1.2.3.4",
        "1.2.3.4::",
        "::ffff:01.2.3.4",
        "fe80::1%eth0",
        "[::1]",
        "[2001:db8::7]",
        "1:2:3:4:5:6:7:8:9",
        "1:2:3:4:5:6:7:8::",
        "1::2:3:4:5:6:7:8",
        "1:2:3:4:5:6:7:1.2.3.4",
        "00001::abcd",
        ":::",
        "1::2::3",
        ":1::2:3",
        ":1111::2222:3333",
        "1::2:3:",
        "1::2:3:g",
        // Well-formed but shorter than any IPv4 address: the length rule
        // stays, for every spelling of such an address.
        "::1",
        "1::2:3",
        "0:0:0:0:0:0:0:1",
        "0:0:0:0:0:0:0:0",
        "0001:0000::0002:3",
        // A NUL would cut the engine's command line at its switch.
        "203.0.113.9\0"s,
        "{\"ip\":\"203.0.113.9\",\"timezone\":\"Europe/Berlin\0 --x\"}"s,
        "{\"ip\":\"203.0.113.9\",\"country_code\":\"D\0E\"}"s,
        "{\"ip\":\"203.0.113.9\",\"latitude\":52.5\0,\"longitude\":13.4}"s,
        "{\"ip\":\"203.0.113.9\",\"latitude\":52.5,\"longitude\":\"13.4\0\"}"s,
    };
    for (const std::string& reply : replies) {
        const DiscoveryResult result = judged(reply);
        EXPECT_EQ(result.error_code, "DISCOVERY_HTTP_ERROR") << reply;
        EXPECT_EQ(result.message, no_ip_message(reply.size(), reply.substr(0, 80)));
        EXPECT_EQ(result.ip, "");
    }
    EXPECT_EQ(judged("").message, "curl exit 0 but no usable IP in response \xE2\x80\x94 got 0 bytes, head: \"\"");
}

} // namespace
