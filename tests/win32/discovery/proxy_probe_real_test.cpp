// The probe through Debian's microsocks and one of Windows' own curl builds in
// the prefix's system32; run by tests/tools/curl/real_curl_rig.py, which
// provides that curl, the proxies and the geo-IP stand-in.

#include "discovery/curl_command_line.hpp"
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

// curl run with the launcher's own line and a standard input that ends at
// once, as a curl that never gets the config text meets it; its exit status.
DWORD run_without_input(std::string& output)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE input_read = nullptr, input_write = nullptr, output_read = nullptr, output_write = nullptr;
    if (!CreatePipe(&input_read, &input_write, &inheritable, 0)) return 1000;
    if (!CreatePipe(&output_read, &output_write, &inheritable, 0)) return 1000;
    CloseHandle(input_write);
    SetHandleInformation(output_read, HANDLE_FLAG_INHERIT, 0);
    const std::wstring line = curl_command_line(system_curl_path());
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_read;
    startup.hStdOutput = output_write;
    startup.hStdError = output_write;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(input_read);
    CloseHandle(output_write);
    DWORD status = 1001;
    if (started) {
        char piece[1024];
        DWORD got = 0;
        while (ReadFile(output_read, piece, sizeof piece, &got, nullptr) && got > 0) output.append(piece, got);
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(output_read);
    return status;
}

class RealCurl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(environment_text("ORVALIS_TEST_CURL_VERSION").empty()) << "run through real_curl_rig.py";
        ASSERT_TRUE(install_curl_double());
    }

    const std::string exit_address = environment_text("ORVALIS_TEST_PROXY_EXIT");
};

TEST_F(RealCurl, BothReplyShapesThroughTheProxyGiveItsExitAddress)
{
    // curl succeeds with every option the launcher gives it.
    const DiscoveryResult json = discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), geoip_url(json_url_path));
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

TEST_F(RealCurl, ConnectionBrokenAfterTheLoginIsUnreachableNotARefusedLogin)
{
    // The HTTPS stand-in completes the handshake, then resets; microsocks
    // passes that on as a close without TLS close_notify. Every curl gives 56.
    const std::string url = "https://" + loopback("ORVALIS_TEST_RESET_PORT") + json_url_path;
    const DiscoveryResult result = discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), url);
    EXPECT_EQ(result.curl_exit_code, 56);
    EXPECT_EQ(result.error_code, "PROXY_UNREACHABLE");
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

TEST_F(RealCurl, ProxyCredentialsReachTheProxyByteForByte)
{
    // The password holds U+00E9, U+FF02, a blank and " \\ # / ? @ : %, each
    // of which curl gets only as %XX, through its standard input, and must
    // hand the proxy as the password's own bytes.
    const std::string password = environment_text("ORVALIS_TEST_PROXY_PASSWORD");
    const DiscoveryResult right =
        discover_proxy_ip(proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT", credentials(password)), geoip_url("/myip"));
    EXPECT_EQ(right.error_code, "") << right.message;
    EXPECT_EQ(right.ip, exit_address);

    // A %XX written in the value keeps curl's meaning: %70 is the 'p'.
    ASSERT_EQ(password.substr(0, 1), "p");
    const DiscoveryResult escaped = discover_proxy_ip(
        proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT", credentials("%70" + password.substr(1))), geoip_url("/myip"));
    EXPECT_EQ(escaped.error_code, "") << escaped.message;

    // curl 7.55.1 ends a refused SOCKS5 login with 7, later ones with 97;
    // curl's own words for it tell it from the other SOCKS5 failures.
    const int socks_failure = environment_text("ORVALIS_TEST_CURL_VERSION") == "7.55.1" ? 7 : 97;
    const DiscoveryResult wrong =
        discover_proxy_ip(proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT", credentials(password + "x")), geoip_url("/myip"));
    EXPECT_EQ(wrong.curl_exit_code, socks_failure);
    EXPECT_EQ(wrong.error_code, "PROXY_AUTH_FAILED");
    EXPECT_EQ(wrong.ip, "");

    const DiscoveryResult none = discover_proxy_ip(proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT"), geoip_url("/myip"));
    EXPECT_EQ(none.curl_exit_code, socks_failure);
    EXPECT_EQ(none.error_code, "PROXY_AUTH_FAILED");
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
    set_environment(L"CURL_HOME", windows_path_of(curl_home));
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

TEST_F(RealCurl, WithoutItsInputCurlHasNothingToFetch)
{
    // The URL travels with the proxy: a curl that never reads its input has
    // no URL rather than one it would ask directly. 2 is "no URL specified".
    std::string output;
    EXPECT_EQ(run_without_input(output), 2u) << output;
}

// Probes through the proxy on loopback, from the call until it returns.
TEST_F(RealCurl, ProbeTimeThroughTheProxy)
{
    std::vector<double> probes;
    for (int i = 0; i < 5; ++i) {
        const long long before = counter_now();
        const DiscoveryResult result =
            discover_proxy_ip(proxy_on("ORVALIS_TEST_SOCKS_PORT"), geoip_url(json_url_path));
        probes.push_back(counter_ms(counter_now() - before));
        ASSERT_EQ(result.ip, exit_address) << result.message;
    }
    std::sort(probes.begin(), probes.end());
    std::cout << "probe through the proxy with curl " << environment_text("ORVALIS_TEST_CURL_VERSION")
              << ", median of " << probes.size() << ": " << probes[probes.size() / 2] << " ms\n";
}

} // namespace
