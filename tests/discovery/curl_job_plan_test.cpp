#include "discovery/curl_job_plan.hpp"

#include "tests/common/probe_results.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Call = CurlJobCall;
using Step = CurlJobStep;

constexpr unsigned long access_denied = 5;

TEST(CurlJobPlan, TheProbesJobFirstThenABreakawayThenTheLaunchersJob)
{
    const struct {
        const char* name;
        std::vector<CurlJobAttempt> attempts;
        Step next;
    } cases[] = {
        {"nothing yet", {}, Step::start},
        {"started", {{Call::start}}, Step::join},
        {"not started", {{Call::start, 2}}, Step::give_up},
        {"joined", {{Call::start}, {Call::join}}, Step::run_in_job},
        // A launcher in a job that nests none (Windows 7, or UI limits).
        {"refused", {{Call::start}, {Call::join, access_denied}}, Step::start_breaking_away},
        {"broke away", {{Call::start}, {Call::join, access_denied}, {Call::start_breaking_away}}, Step::join},
        {"broke away and joined",
         {{Call::start}, {Call::join, access_denied}, {Call::start_breaking_away}, {Call::join}},
         Step::run_in_job},
        // Broke away, yet refused: outside every job, no third start.
        {"broke away, refused",
         {{Call::start}, {Call::join, access_denied}, {Call::start_breaking_away}, {Call::join, 87}},
         Step::run_outside_job},
        // Neither nesting nor breakaway: a plain curl again, never joined again.
        {"breakaway refused", {{Call::start}, {Call::join, access_denied}, {Call::start_breaking_away, access_denied}},
         Step::start},
        {"in the launcher's job",
         {{Call::start}, {Call::join, access_denied}, {Call::start_breaking_away, access_denied}, {Call::start}},
         Step::run_outside_job},
        {"not started again",
         {{Call::start}, {Call::join, access_denied}, {Call::start_breaking_away, access_denied}, {Call::start, 8}},
         Step::give_up},
    };
    for (const auto& c : cases) EXPECT_EQ(next_curl_job_step(c.attempts), c.next) << c.name;
}

TEST(CurlJobPlan, AFailedProbeNamesEachRefusedCallWithItsErrorAndWhereCurlRan)
{
    const char* base = "curl exit 7 against http://g/ via socks5://h:1 after 3 ms";
    const struct {
        std::vector<CurlJobAttempt> attempts;
        std::string note;
    } cases[] = {
        {{{Call::start}, {Call::join}}, ""},
        {{{Call::start}, {Call::join, 5}, {Call::start_breaking_away}, {Call::join}},
         " (AssignProcessToJobObject(curl.exe) failed with error 5: curl broke away from the launcher's job into the "
         "probe's)"},
        {{{Call::start}, {Call::join, 5}, {Call::start_breaking_away, 5}, {Call::start}},
         " (AssignProcessToJobObject(curl.exe) failed with error 5, CreateProcess(curl.exe) with "
         "CREATE_BREAKAWAY_FROM_JOB failed with error 5: curl ran in the launcher's job, ended by its handle)"},
        {{{Call::start}, {Call::join, 5}, {Call::start_breaking_away}, {Call::join, 1450}},
         " (AssignProcessToJobObject(curl.exe) failed with error 5, AssignProcessToJobObject(curl.exe) failed with "
         "error 1450: curl ran outside every job, ended by its handle)"},
    };
    for (const auto& c : cases) {
        DiscoveryResult result = probe_failure("PROXY_UNREACHABLE", 3, base, 7);
        note_curl_job(c.attempts, result);
        EXPECT_EQ(result.message, base + c.note);
        EXPECT_EQ(result.error_code, "PROXY_UNREACHABLE");
    }
    // A probe that succeeded has no message, whatever kept curl out of the job.
    DiscoveryResult success = probe_success("203.0.113.9", 3);
    note_curl_job({{Call::start}, {Call::join, 5}, {Call::start_breaking_away, 5}, {Call::start}}, success);
    EXPECT_EQ(success.message, "");
}

} // namespace
