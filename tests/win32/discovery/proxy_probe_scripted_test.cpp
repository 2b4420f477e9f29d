// The probe against the scripted curl.exe double in system32.

#include "tests/win32/support/scripted_curl.hpp"
#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

std::string no_ip_message(std::size_t size, const std::string& head)
{
    return "curl exit 0 but no usable IP in response \xE2\x80\x94 got " + std::to_string(size) + " bytes, head: \"" +
           head + "\"";
}

class RecordedCurl : public ScriptedCurl {
protected:
    struct Run {
        std::wstring command_line; // empty when curl did not run
        std::string proxy;         // the proxy curl read from its standard input
        std::string url;           // the URL likewise
    };

    // What curl was started with, and the proxy and URL it was given.
    Run recorded_run(const std::string& proxy_server, const std::string& discovery_url)
    {
        const std::wstring proxy_record = temporary_file(L"prx");
        const std::wstring url_record = temporary_file(L"url");
        DeleteFileW(proxy_record.c_str());
        DeleteFileW(url_record.c_str());
        set_environment(L"ORVALIS_CURL_RECORD", record_);
        set_environment(L"ORVALIS_CURL_PROXY_RECORD", proxy_record);
        set_environment(L"ORVALIS_CURL_URL_RECORD", url_record);
        const DiscoveryResult result = probe(step("stdout", "203.0.113.9\n") + finish(0), proxy_server, discovery_url);
        set_environment(L"ORVALIS_CURL_RECORD", L"");
        set_environment(L"ORVALIS_CURL_PROXY_RECORD", L"");
        set_environment(L"ORVALIS_CURL_URL_RECORD", L"");
        const std::string bytes = read_whole_file(record_);
        // Says why, should curl not have run or not have got a proxy (the double
        // then plays no script): the probe's own verdict.
        if (bytes.empty() || result.error_code != "")
            ADD_FAILURE() << "curl did not run as it should; the probe said " << result.error_code << ": "
                          << result.message;
        DeleteFileW(record_.c_str());
        Run run{std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t)),
                read_whole_file(proxy_record), read_whole_file(url_record)};
        DeleteFileW(proxy_record.c_str());
        DeleteFileW(url_record.c_str());
        return run;
    }
};

// The exit status and curl's words cross the pipe and the process: a refused
// SOCKS5 login's words reach the judgement from its standard error, after
// whatever came on standard output, and a status above 0x7FFFFFFF arrives
// negative. Every class is told natively.
TEST_F(ScriptedCurl, FailedRunsAreClassifiedByTheirExitStatus)
{
    const std::string went_wrong = "it went wrong\n";
    const std::string rejected = "User was rejected by the SOCKS5 server (1 2).\n";
    const struct {
        int status;
        std::string error_text;
        const char* code;
    } cases[] = {
        {7, went_wrong, "PROXY_UNREACHABLE"},
        {97, rejected, "PROXY_AUTH_FAILED"},
        {-5, went_wrong, "INTERNAL"},
    };
    for (const auto& c : cases) {
        const DiscoveryResult result =
            probe(step("stdout", "{\"ip\":\"203.0.113.9\"}\n") +
                  step("stderr", "curl: (" + std::to_string(c.status) + ") " + c.error_text) + finish(c.status));
        EXPECT_EQ(result.error_code, c.code) << c.status << " " << c.error_text;
        EXPECT_EQ(result.curl_exit_code, c.status);
        EXPECT_GE(result.elapsed_ms, 0);
        EXPECT_EQ(result.message, curl_message(result));
        EXPECT_EQ(result.ip, "");
    }
}

TEST_F(ScriptedCurl, RepliesAfterExitZeroAreRead)
{
    const DiscoveryResult empty = probe(step("stdout", "") + finish(0));
    EXPECT_EQ(empty.curl_exit_code, 0);
    EXPECT_EQ(empty.error_code, "DISCOVERY_HTTP_ERROR");
    EXPECT_EQ(empty.message, no_ip_message(0, ""));

    const DiscoveryResult json = probe(step("stdout", "{\"ip\":\"2001:db8::5\",\"country_code\":\"JP\",\"timezone\":"
                                                      "\"Asia/Tokyo\",\"latitude\":35.6,\"longitude\":139.7}") +
                                       finish(0));
    EXPECT_EQ(json.curl_exit_code, 0);
    EXPECT_EQ(json.error_code, "");
    EXPECT_EQ(json.ip, "2001:db8::5");
    EXPECT_EQ(json.country_code, "JP");
    EXPECT_EQ(json.timezone, "Asia/Tokyo");
    EXPECT_EQ(json.latitude, "35.6");
    EXPECT_EQ(json.longitude, "139.7");
}

// curl is told --max-time 10; one that keeps running regardless is ended a
// little later and the probe fails as curl's own time-out would.
TEST_F(ScriptedCurl, ACurlPastItsTimeLimitIsEndedAtTheProbesDeadline)
{
    // A curl that ends by itself marks its end.
    DiscoveryResult result;
    EXPECT_TRUE(curl_ended_by_itself([&] { result = probe(step("stdout", "203.0.113.9\n") + finish(0)); }));
    EXPECT_EQ(result.ip, "203.0.113.9");

    EXPECT_FALSE(curl_ended_by_itself(
        [&] { result = probe("sleep 20000\n" + step("stdout", "203.0.113.9\n") + finish(0)); }))
        << "curl ran to its own end";
    EXPECT_EQ(result.error_code, "PROXY_TIMEOUT");
    EXPECT_EQ(result.curl_exit_code, 28);
    EXPECT_GE(result.elapsed_ms, 12000);
    EXPECT_LT(result.elapsed_ms, 15000);
    EXPECT_EQ(result.message, curl_message(result));
    EXPECT_EQ(result.ip, "");
}

TEST_F(ScriptedCurl, StandardErrorIsPartOfTheReplyInArrivalOrder)
{
    const DiscoveryResult mixed =
        probe(step("stderr", "warn\n") + step("stdout", "203.0.113.9\n") + step("stderr", "tail") + finish(0));
    EXPECT_EQ(mixed.error_code, "DISCOVERY_HTTP_ERROR");
    EXPECT_EQ(mixed.message, no_ip_message(21, "warn\n203.0.113.9\ntail"));

    const DiscoveryResult after =
        probe(step("stdout", "{\"ip\":\"203.0.113.9\"}\n") + step("stderr", "curl: note\n") + finish(0));
    EXPECT_EQ(after.error_code, "");
    EXPECT_EQ(after.ip, "203.0.113.9");
}

TEST_F(RecordedCurl, CurlGetsItsOptionsOnItsLineAndTheProxyAndUrlOnlyThroughItsStandardInput)
{
    const Run run = recorded_run("socks5://u:p@127.0.0.1:1080", url);
    EXPECT_EQ(run.command_line, L"\"" + system_curl_path() +
                                    L"\" -q -K - --socks5-basic --noproxy \"\" --ssl-no-revoke --max-time 10 -sS");
    EXPECT_EQ(run.proxy, "socks5h://u:p@127.0.0.1:1080");
    EXPECT_EQ(run.url, url);

    // Whatever the password or the URL holds reaches curl as one proxy value
    // and one URL; the line never holds either.
    for (const std::string hostile_url :
         {"http://a/?q=\" --output x", "http://a/\\\\\" -v", "http://a/ -K \"C:\\x y\\", "http://a/\n-o x"}) {
        const Run hostile = recorded_run("socks5://u:p\" -K \"C:\\x y\\ -o#@x@h:1", hostile_url);
        EXPECT_EQ(hostile.proxy, "socks5h://u:p%22%20-K%20%22C%3A%5Cx%20y%5C%20-o%23%40x@h:1");
        EXPECT_EQ(hostile.url, hostile_url);
        EXPECT_EQ(hostile.command_line, run.command_line);
    }
}

// Both early returns before curl; which value takes which, and every rule's
// message, are told natively.
TEST_F(ScriptedCurl, ProxyValuesThatAreNoSocks5HostStopBeforeCurl)
{
    set_environment(L"ORVALIS_CURL_RECORD", record_);
    const struct {
        const char* value;
        const char* message;
    } cases[] = {
        {"http://h:8080",
         "proxy-server is not socks5://\xE2\x80\xA6 \xE2\x80\x94 launcher does not handle other schemes"},
        {"socks5://", "proxy-server is not socks5://[user[:password]@]host[:port] \xE2\x80\x94 curl not run"},
    };
    for (const auto& c : cases) {
        const DiscoveryResult result = probe(finish(0), c.value);
        EXPECT_EQ(result.error_code, "INTERNAL") << c.value;
        EXPECT_EQ(result.message, c.message) << c.value;
        EXPECT_EQ(result.curl_exit_code, -1);
        EXPECT_EQ(result.elapsed_ms, 0);
    }
    EXPECT_FALSE(file_exists(record_));
}

TEST_F(ScriptedCurl, MissingCurlIsReportedWithoutAnyRun)
{
    ASSERT_TRUE(remove_system_curl());
    const DiscoveryResult result = probe(finish(0));
    ASSERT_TRUE(install_curl_double());
    EXPECT_EQ(result.error_code, "CURL_NOT_FOUND");
    EXPECT_EQ(result.message, "curl.exe missing from System32 (Windows 10 1803+ ships it)");
    EXPECT_EQ(result.curl_exit_code, -1);
    EXPECT_EQ(result.elapsed_ms, 0);
}

TEST_F(ScriptedCurl, ReplyOfSeveralMegabytesIsReadWhole)
{
    // Far beyond the pipe's 64 KiB: curl would block for ever if the probe
    // waited before reading.
    const std::string padding(6 * 1024 * 1024, 'a');
    const DiscoveryResult found =
        probe(step("stdout", "{\"pad\":\"" + padding + "\",\"ip\":\"203.0.113.9\"}") + finish(0));
    EXPECT_EQ(found.error_code, "");
    EXPECT_EQ(found.ip, "203.0.113.9");

    const DiscoveryResult unusable = probe(step("stdout", padding) + step("stderr", "end") + finish(0));
    EXPECT_EQ(unusable.error_code, "DISCOVERY_HTTP_ERROR");
    EXPECT_EQ(unusable.message, no_ip_message(padding.size() + 3, padding.substr(0, 80)));
}

// Every handle value that names an open handle of this process. Counted by
// hand because Wine's GetProcessHandleCount always answers 0.
int open_handle_count()
{
    int count = 0;
    DWORD flags = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

TEST_F(ScriptedCurl, NoHandleSurvivesAHundredProbes)
{
    const std::string script = step("stdout", "203.0.113.9\n") + step("stderr", "note\n") + finish(0);
    // The first probe loads what the process keeps for good (libraries, the console).
    probe(script);
    const int before = open_handle_count();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(probe(script).ip, "203.0.113.9");
        // The early returns, from their own causes.
        ASSERT_EQ(probe(script, "http://h:1").error_code, "INTERNAL");
    }
    EXPECT_EQ(open_handle_count(), before);

    // The count does see a leaked handle.
    const HANDLE extra = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(open_handle_count(), before + 1);
    CloseHandle(extra);
}

} // namespace
