#pragma once

// The probe against the scripted curl.exe double in system32 (see
// tests/tools/curl/curl_double_win32.cpp): each test writes the steps the
// double plays, and may have it record how it was started.

#include "discovery/proxy_probe.hpp"
#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>

#include <string>

class ScriptedCurl : public ::testing::Test {
protected:
    static inline const std::string proxy = "socks5://127.0.0.1:1080";
    static inline const std::string url = "https://geoip.example.com/geoip?format=json";

    static void SetUpTestSuite() { ASSERT_TRUE(install_curl_double()); }

    void SetUp() override
    {
        script_ = temporary_file(L"scr");
        record_ = temporary_file(L"rec");
        DeleteFileW(record_.c_str());
        set_environment(L"ORVALIS_CURL_SCRIPT", script_);
    }

    void TearDown() override
    {
        set_environment(L"ORVALIS_CURL_SCRIPT", L"");
        set_environment(L"ORVALIS_CURL_RECORD", L"");
        DeleteFileW(script_.c_str());
        DeleteFileW(record_.c_str());
    }

    DiscoveryResult probe(const std::string& script, const std::string& proxy_server = proxy,
                          const std::string& discovery_url = url)
    {
        write_whole_file(script_, script);
        return discover_proxy_ip(proxy_server, discovery_url);
    }

    // A step of the script: bytes for "stdout" or "stderr", and the end.
    static std::string step(const char* stream, const std::string& bytes)
    {
        return std::string(stream) + " " + std::to_string(bytes.size()) + "\n" + bytes;
    }

    static std::string finish(int status) { return "exit " + std::to_string(status) + "\n"; }

    // The message of a failed run against `url` via `proxy`.
    static std::string curl_message(const DiscoveryResult& result)
    {
        return "curl exit " + std::to_string(result.curl_exit_code) + " against " + url + " via " + proxy + " after " +
               std::to_string(result.elapsed_ms) + " ms";
    }

    std::wstring script_;
    std::wstring record_; // the double's command line lands here while ORVALIS_CURL_RECORD names it
};
