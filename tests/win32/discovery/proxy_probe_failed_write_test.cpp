// The probe after a failed config write, with the model of
// tests/tools/curl_input_model_win32.cpp, against the curl.exe double.

#include "discovery/proxy_probe.hpp"

#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(FailedConfigWrite, CurlNeverSeesTheEndOfItsInputAndTheProbeSaysWhy)
{
    ASSERT_TRUE(install_curl_double());
    const std::wstring script = temporary_file(L"scr");
    // A curl that reached the end of its input would answer at once and end by itself.
    write_whole_file(script, "stdout 12\n203.0.113.9\nexit 0\n");
    set_environment(L"ORVALIS_CURL_SCRIPT", script);
    DiscoveryResult result;
    const bool ended_by_itself = curl_ended_by_itself(
        [&result] { result = discover_proxy_ip("socks5://127.0.0.1:1080", "https://geoip.example.com/geoip"); });
    set_environment(L"ORVALIS_CURL_SCRIPT", L"");
    DeleteFileW(script.c_str());
    EXPECT_FALSE(ended_by_itself) << "curl acted on the config it got";
    EXPECT_EQ(result.error_code, "INTERNAL");
    EXPECT_EQ(result.message, "curl did not take the proxy from its standard input");
}

} // namespace
