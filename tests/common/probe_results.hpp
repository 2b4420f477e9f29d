#pragma once

// Probe outcomes as the tests hand them to the worker, the session and the
// persona: a success with its exit address, the same with the Berlin reply's
// every field, and a failure of a given class.

#include "common/records.hpp"

#include <cstdint>
#include <string>
#include <utility>

inline DiscoveryResult probe_success(std::string ip, std::int64_t elapsed_ms)
{
    DiscoveryResult result;
    result.ip = std::move(ip);
    result.curl_exit_code = 0;
    result.elapsed_ms = elapsed_ms;
    return result;
}

inline DiscoveryResult probe_berlin()
{
    DiscoveryResult result = probe_success("203.0.113.7", 412);
    result.country_code = "DE";
    result.timezone = "Europe/Berlin";
    result.latitude = "52.5200";
    result.longitude = "13.4050";
    return result;
}

inline DiscoveryResult probe_failure(std::string code, std::int64_t elapsed_ms, std::string message = "no answer",
                                     std::int32_t curl_exit_code = 28)
{
    DiscoveryResult result;
    result.error_code = std::move(code);
    result.message = std::move(message);
    result.curl_exit_code = curl_exit_code;
    result.elapsed_ms = elapsed_ms;
    return result;
}
