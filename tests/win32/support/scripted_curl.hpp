#pragma once

// The probe against the scripted curl.exe double in system32 (see
// tests/tools/curl/curl_double_win32.cpp): each test writes the steps the
// double plays, and may have it record how it was started.

#include "discovery/proxy_probe.hpp"

#include <gtest/gtest.h>

#include <string>

class ScriptedCurl : public ::testing::Test {
protected:
    static const std::string proxy;
    static const std::string url;

    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    DiscoveryResult probe(const std::string& script, const std::string& proxy_server = proxy,
                          const std::string& discovery_url = url);

    // A step of the script: bytes for "stdout" or "stderr", and the end.
    static std::string step(const char* stream, const std::string& bytes);
    static std::string finish(int status);
    // The message of a failed run against `url` via `proxy`.
    static std::string curl_message(const DiscoveryResult& result);

    std::wstring script_;
    std::wstring record_; // the double's command line lands here while ORVALIS_CURL_RECORD names it
};
