// The probe through a SOCKS5 proxy on loopback with one of Windows' own curl
// builds, timed from the call until it returns, and the median, fastest and
// slowest of the runs printed. Run by scripts/bench-probe through
// tests/tools/curl/real_curl_rig.py, which provides that curl, Debian's
// microsocks and the geo-IP stand-in.
//   probe-time.exe [runs]      (default 15)

#include "discovery/proxy_probe.hpp"
#include "tests/win32/support/test_support.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10))) : 15;
    if (environment_text("ORVALIS_TEST_CURL_VERSION").empty() || !install_curl_double()) {
        std::fputs("probe-time: run it through tests/tools/curl/real_curl_rig.py (scripts/bench-probe)\n", stderr);
        return 2;
    }
    const std::string proxy = "socks5://127.0.0.1:" + environment_text("ORVALIS_TEST_SOCKS_PORT");
    const std::string url = "http://127.0.0.1:" + environment_text("ORVALIS_TEST_GEOIP_PORT") + "/geoip?format=json";
    std::vector<double> probes;
    for (int i = 0; i < runs; ++i) {
        const auto before = std::chrono::steady_clock::now();
        const DiscoveryResult result = discover_proxy_ip(proxy, url);
        probes.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
        if (result.ip != environment_text("ORVALIS_TEST_PROXY_EXIT")) {
            std::fprintf(stderr, "probe-time: the probe failed: %s %s\n", result.error_code.c_str(),
                         result.message.c_str());
            return 1;
        }
    }
    std::sort(probes.begin(), probes.end());
    std::printf("probe through the proxy with curl %s, %d runs: median %.1f ms, fastest %.1f ms, slowest %.1f ms\n",
                environment_text("ORVALIS_TEST_CURL_VERSION").c_str(), runs, probes[probes.size() / 2], probes.front(),
                probes.back());
    return 0;
}
