// The probe through Debian's microsocks and the real curl, which the curl.exe
// double reaches over loopback; run by tests/tools/curl/real_curl_rig.py, which
// provides the proxies, the geo-IP stand-in and the relay.

#include "discovery/proxy_probe.hpp"

#include "common/text_conversion.hpp"
#include "reports/error_report.hpp"
#include "system_curl.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::string loopback(const char* port_variable)
{
    return "127.0.0.1:" + environment_text(port_variable);
}

std::string proxy_on(const char* port_variable, const std::string& credentials = "")
{
    return "socks5://" + credentials + loopback(port_variable);
}

const std::string json_url_path = "/geoip?format=json";

std::string geoip_url(const std::string& path)
{
    return "http://" + loopback("ORVALIS_TEST_GEOIP_PORT") + path;
}

std::string credentials(const std::string& password)
{
    return environment_text("ORVALIS_TEST_PROXY_USER") + ":" + password + "@";
}

class RealCurl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(environment_text("ORVALIS_CURL_FORWARD").empty()) << "run through real_curl_rig.py";
        ASSERT_TRUE(install_curl_double());
    }

    const std::string exit_address = environment_text("ORVALIS_TEST_PROXY_EXIT");
};

TEST_F(RealCurl, BothReplyShapesThroughTheProxyGiveItsExitAddress)
{
    const std::string arguments = environment_text("ORVALIS_TEST_CURL_HOME") + "/arguments";
    set_environment(L"ORVALIS_CURL_ARGUMENTS_RECORD", utf8_to_wide(arguments));
    const DiscoveryResult json = discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), geoip_url(json_url_path));
    set_environment(L"ORVALIS_CURL_ARGUMENTS_RECORD", L"");
    // The real curl succeeded with every option the launcher gives it, and no other argument.
    const std::string options("-q\0-K\0-\0--socks5-basic\0--noproxy\0\0--ssl-no-revoke\0--max-time\0" "10\0-sS\0", 68);
    EXPECT_EQ(read_whole_file(windows_path_of(arguments)), options);
    EXPECT_EQ(json.error_code, "") << json.message;
    EXPECT_EQ(json.curl_exit_code, 0);
    EXPECT_EQ(json.ip, exit_address);
    EXPECT_EQ(json.country_code, "DE");
    EXPECT_EQ(json.timezone, "Europe/Berlin");
    EXPECT_EQ(json.latitude, "52.52");
    EXPECT_EQ(json.longitude, "13.405");

    const DiscoveryResult text = discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), geoip_url("/myip"));
    EXPECT_EQ(text.error_code, "") << text.message;
    EXPECT_EQ(text.ip, exit_address);
    EXPECT_EQ(text.country_code, "");
}

TEST_F(RealCurl, HttpErrorPageIsNoAddress)
{
    const DiscoveryResult result = discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), geoip_url("/nothing"));
    EXPECT_EQ(result.curl_exit_code, 0);
    EXPECT_EQ(result.error_code, "DISCOVERY_HTTP_ERROR");
}

TEST_F(RealCurl, ProxyThatDoesNotListenIsUnreachable)
{
    const std::string proxy = proxy_on("ORVALIS_TEST_CLOSED_PORT");
    const DiscoveryResult result = discover_proxy_ip(proxy, geoip_url(json_url_path));
    EXPECT_EQ(result.curl_exit_code, 7);
    EXPECT_EQ(result.error_code, "PROXY_UNREACHABLE");
    EXPECT_EQ(result.message, "curl exit 7 against " + geoip_url(json_url_path) + " via " + proxy + " after " +
                                  std::to_string(result.elapsed_ms) + " ms");
}

TEST_F(RealCurl, FailedProbesMakeOneLineErrorReports)
{
    const std::wstring report = temporary_file(L"err");
    const std::string unreachable_proxy = proxy_on("ORVALIS_TEST_CLOSED_PORT");
    const DiscoveryResult unreachable = discover_proxy_ip(unreachable_proxy, geoip_url("/myip"));
    write_error_report(report, unreachable, unreachable_proxy, geoip_url("/myip"));
    const std::string elapsed = std::to_string(unreachable.elapsed_ms);
    const std::string expected_tail = "\"step\":\"discover_proxy_ip\",\"error_code\":\"PROXY_UNREACHABLE\",\"message\":"
                                      "\"curl exit 7 against " + geoip_url("/myip") + " via " + unreachable_proxy +
                                      " after " + elapsed + " ms\",\"proxy\":\"" + unreachable_proxy +
                                      "\",\"discovery_url\":\"" + geoip_url("/myip") +
                                      "\",\"curl_exit_code\":7,\"elapsed_ms\":" + elapsed +
                                      ",\"launcher_version\":\"0.24.0\"}\n";
    const std::string written = read_whole_file(report);
    ASSERT_GE(written.size(), expected_tail.size());
    EXPECT_EQ(written.substr(written.size() - expected_tail.size()), expected_tail);

    // The error page's quotes and line breaks stand in the message; the record stays one line.
    const std::string proxy = proxy_on("ORVALIS_TEST_SOCKS_PORT");
    const DiscoveryResult page = discover_proxy_ip(proxy, geoip_url("/nothing"));
    write_error_report(report, page, proxy, geoip_url("/nothing"));
    const std::string page_record = read_whole_file(report);
    EXPECT_EQ(page_record.find('\n'), page_record.size() - 1);
    EXPECT_NE(page_record.find("\"error_code\":\"DISCOVERY_HTTP_ERROR\""), std::string::npos);
    EXPECT_NE(page_record.find("\"curl_exit_code\":0,"), std::string::npos);
    DeleteFileW(report.c_str());
}

TEST_F(RealCurl, ServerThatNeverAnswersEndsAtTheTenSecondLimit)
{
    const std::string url = "http://" + loopback("ORVALIS_TEST_SILENT_PORT") + json_url_path;
    const DiscoveryResult result = discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), url);
    EXPECT_EQ(result.curl_exit_code, 28);
    EXPECT_EQ(result.error_code, "PROXY_TIMEOUT");
    EXPECT_GE(result.elapsed_ms, 9900);
    EXPECT_LT(result.elapsed_ms, 13000);
}

TEST_F(RealCurl, ProxyCredentialsReachTheProxyByteForByteAndNeverTheCommandLine)
{
    // The password holds U+00E9, U+FF02, a blank and " \\ # / ? @ : %, each
    // of which curl gets only as %XX, through its standard input, and must
    // hand the proxy as the password's own bytes.
    const std::string password = environment_text("ORVALIS_TEST_PROXY_PASSWORD");
    const std::string arguments = environment_text("ORVALIS_TEST_CURL_HOME") + "/arguments";
    set_environment(L"ORVALIS_CURL_ARGUMENTS_RECORD", utf8_to_wide(arguments));
    const DiscoveryResult right =
        discover_proxy_ip(proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT", credentials(password)), geoip_url("/myip"));
    set_environment(L"ORVALIS_CURL_ARGUMENTS_RECORD", L"");
    EXPECT_EQ(right.error_code, "") << right.message;
    EXPECT_EQ(right.ip, exit_address);
    const std::string line = read_whole_file(windows_path_of(arguments));
    EXPECT_NE(line.find("-sS"), std::string::npos);
    EXPECT_EQ(line.find(environment_text("ORVALIS_TEST_PROXY_USER")), std::string::npos);
    EXPECT_EQ(line.find("pass"), std::string::npos);

    // A %XX written in the value keeps curl's meaning: %70 is the 'p'.
    ASSERT_EQ(password.substr(0, 1), "p");
    const DiscoveryResult escaped = discover_proxy_ip(
        proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT", credentials("%70" + password.substr(1))), geoip_url("/myip"));
    EXPECT_EQ(escaped.error_code, "") << escaped.message;

    // curl reports a refused SOCKS5 login as 97, a proxy handshake failure,
    // which is none of the statuses read as an authentication failure.
    const DiscoveryResult wrong =
        discover_proxy_ip(proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT", credentials(password + "x")), geoip_url("/myip"));
    EXPECT_EQ(wrong.curl_exit_code, 97);
    EXPECT_EQ(wrong.error_code, "INTERNAL");
    EXPECT_EQ(wrong.ip, "");

    const DiscoveryResult none = discover_proxy_ip(proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT"), geoip_url("/myip"));
    EXPECT_EQ(none.curl_exit_code, 97);
    EXPECT_EQ(none.error_code, "INTERNAL");
}

TEST_F(RealCurl, NoProxyInTheEnvironmentCannotSendTheProbeAroundTheProxy)
{
    // The stand-in is reachable directly: a curl that obeyed NO_PROXY would succeed.
    for (const wchar_t* name : {L"NO_PROXY", L"no_proxy"}) {
        set_environment(name, L"*");
        const DiscoveryResult result = discover_proxy_ip(proxy_on("ORVALIS_TEST_CLOSED_PORT"), geoip_url("/myip"));
        set_environment(name, L"");
        EXPECT_EQ(result.curl_exit_code, 7) << wide_to_utf8(name);
        EXPECT_EQ(result.ip, "");
    }
}

TEST_F(RealCurl, CurlConfigFileCannotDivertTheReply)
{
    const std::string curl_home = environment_text("ORVALIS_TEST_CURL_HOME");
    set_environment(L"CURL_HOME", utf8_to_wide(curl_home));
    const DiscoveryResult result = discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), geoip_url("/myip"));
    set_environment(L"CURL_HOME", L"");
    EXPECT_EQ(result.error_code, "") << result.message;
    EXPECT_EQ(result.ip, exit_address);
    EXPECT_FALSE(file_exists(windows_path_of(curl_home + "/diverted")));
}

TEST_F(RealCurl, ProxyValueCannotAddCurlOptions)
{
    const std::string target = environment_text("ORVALIS_TEST_CURL_HOME") + "/written";
    const DiscoveryResult result =
        discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT") + " -o " + target, geoip_url("/myip"));
    EXPECT_NE(result.error_code, "");
    EXPECT_EQ(result.ip, "");
    EXPECT_FALSE(file_exists(windows_path_of(target)));
}

// One probe through the proxy on loopback, taken apart: from the call until the
// curl.exe double's first instruction (process start), and from there until the
// call returns (relay, the real curl and the transfer through the proxy).
TEST_F(RealCurl, ProbeTimeSplitsIntoProcessStartAndTransfer)
{
    const std::wstring timing = temporary_file(L"tim");
    set_environment(L"ORVALIS_CURL_TIMING", timing);
    std::vector<double> starts;
    std::vector<double> transfers;
    std::vector<long long> elapsed;
    for (int i = 0; i < 11; ++i) {
        const long long before = counter_now();
        const DiscoveryResult result =
            discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), geoip_url(json_url_path));
        const long long after = counter_now();
        const long long entered = std::stoll(read_whole_file(timing));
        ASSERT_EQ(result.ip, exit_address) << result.message;
        starts.push_back(counter_ms(entered - before));
        transfers.push_back(counter_ms(after - entered));
        elapsed.push_back(result.elapsed_ms);
    }
    set_environment(L"ORVALIS_CURL_TIMING", L"");
    DeleteFileW(timing.c_str());

    const auto median = [](auto values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::cout << "probe through the proxy, median of " << starts.size() << ": process start " << median(starts)
              << " ms, transfer " << median(transfers) << " ms, elapsed_ms " << median(elapsed) << "\n";
}

} // namespace
