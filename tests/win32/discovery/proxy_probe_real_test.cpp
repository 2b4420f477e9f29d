// The probe through Debian's microsocks and one of Windows' own curl builds in
// the prefix's system32; run by tests/tools/curl/real_curl_rig.py, which
// provides that curl, the proxies and the geo-IP stand-in. The rest of what the
// real curls do is shown by whole launches (tests/e2e/test_windows_curl.py).

#include "discovery/curl_command_line.hpp"
#include "discovery/proxy_probe.hpp"

#include "reports/error_report.hpp"
#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string loopback(const char* port_variable)
{
    return "127.0.0.1:" + environment_text(port_variable);
}

std::string proxy_on(const char* port_variable, const std::string& credentials = "")
{
    return "socks5://" + credentials + loopback(port_variable);
}

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
        ASSERT_FALSE(environment_text("ORVALIS_TEST_CURL_VERSION").empty()) << "run through real_curl_rig.py";
        ASSERT_TRUE(install_curl_double());
    }

    const std::string exit_address = environment_text("ORVALIS_TEST_PROXY_EXIT");
};

// What the launch tests do not show with the same curls: an error page, a
// password with a %XX written in it, a curl config file that would divert the
// reply, a proxy value that would add an option.
TEST_F(RealCurl, EachProbeEndsAsItShould)
{
    const std::string curl_home = environment_text("ORVALIS_TEST_CURL_HOME");
    const std::string password = environment_text("ORVALIS_TEST_PROXY_PASSWORD");
    ASSERT_EQ(password.substr(0, 1), "p");
    const struct {
        const char* name;
        std::string proxy;
        std::string path;
        std::wstring curl_home;
        const char* error_code;
        std::string must_not_exist;
    } cases[] = {
        {"an HTTP error page is no address", proxy_on("ORVALIS_TEST_SOCKS_PORT"), "/nothing", L"",
         "DISCOVERY_HTTP_ERROR", ""},
        // The password holds U+00E9, U+FF02, a blank and " \\ # / ? @ : %, each
        // of which curl gets only as %XX through its standard input; a %XX
        // written in the value keeps curl's meaning: %70 is the 'p'.
        {"a %XX in the password", proxy_on("ORVALIS_TEST_AUTH_SOCKS_PORT", credentials("%70" + password.substr(1))),
         "/myip", L"", "", ""},
        {"a curl config file cannot divert the reply", proxy_on("ORVALIS_TEST_SOCKS_PORT"), "/myip",
         windows_path_of(curl_home), "", curl_home + "/diverted"},
        {"the proxy value cannot add curl options",
         proxy_on("ORVALIS_TEST_SOCKS_PORT") + " -o " + curl_home + "/written", "/myip", L"", "INTERNAL", curl_home + "/written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        set_environment(L"CURL_HOME", c.curl_home);
        const DiscoveryResult result = discover_proxy_ip(c.proxy, geoip_url(c.path));
        set_environment(L"CURL_HOME", L"");
        EXPECT_EQ(result.error_code, c.error_code) << result.message;
        EXPECT_EQ(result.ip, *c.error_code ? "" : exit_address);
        if (!c.must_not_exist.empty()) {
            EXPECT_FALSE(file_exists(windows_path_of(c.must_not_exist)));
        }
    }
}

// The error page's quotes and line breaks stand in the message; the record stays one line.
TEST_F(RealCurl, AnErrorPageMakesAOneLineErrorReport)
{
    const std::wstring report = temporary_file(L"err");
    const std::string proxy = proxy_on("ORVALIS_TEST_SOCKS_PORT");
    const DiscoveryResult page = discover_proxy_ip(proxy, geoip_url("/nothing"));
    write_error_report(report, page, proxy, geoip_url("/nothing"));
    const std::string page_record = read_whole_file(report);
    EXPECT_EQ(page_record.find('\n'), page_record.size() - 1);
    EXPECT_NE(page_record.find("\"error_code\":\"DISCOVERY_HTTP_ERROR\""), std::string::npos);
    EXPECT_NE(page_record.find("\"curl_exit_code\":0,"), std::string::npos);
    DeleteFileW(report.c_str());
}

TEST_F(RealCurl, WithoutItsInputCurlHasNothingToFetch)
{
    // The URL travels with the proxy: a curl that never reads its input has
    // no URL rather than one it would ask directly. 2 is "no URL specified".
    const ProcessRun run = run_process(system_curl_path(), curl_command_line(system_curl_path()), 30000, true);
    EXPECT_EQ(run.exit_code, 2u) << run.output;
}

} // namespace
