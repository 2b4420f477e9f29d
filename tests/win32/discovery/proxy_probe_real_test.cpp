// The probe through Debian's microsocks and one of Windows' own curl builds in
// the prefix's system32, where a launch cannot go; run by
// tests/tools/curl/real_curl_rig.py, which provides that curl, the proxy and
// the servers. What a launch can show is in tests/e2e/test_windows_curl.py.

#include "discovery/proxy_probe.hpp"

#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RealCurl, ConnectionBrokenAfterTheLoginIsUnreachableNotARefusedLogin)
{
    ASSERT_FALSE(environment_text("ORVALIS_TEST_CURL_VERSION").empty()) << "run through real_curl_rig.py";
    ASSERT_TRUE(install_curl_double());
    // The HTTPS stand-in completes the handshake, then resets; microsocks
    // passes that on as a close without TLS close_notify. Every curl gives 56.
    const std::string url = "https://127.0.0.1:" + environment_text("ORVALIS_TEST_RESET_PORT") + "/geoip?format=json";
    const DiscoveryResult result =
        discover_proxy_ip("socks5://127.0.0.1:" + environment_text("ORVALIS_TEST_SOCKS_PORT"), url);
    EXPECT_EQ(result.curl_exit_code, 56);
    EXPECT_EQ(result.error_code, "PROXY_UNREACHABLE");
}

} // namespace
