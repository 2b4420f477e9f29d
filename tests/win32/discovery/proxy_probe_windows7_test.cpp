// The probe in a test program whose curl job behaves as on Windows 7 (see
// tests/tools/windows7_job_join_win32.cpp), against the scripted curl.exe
// double, with the program itself put into the jobs a caller may start the
// launcher in. A process never leaves a job, so the one test walks from no job
// to a job that lets curl break away, and on to a job nested in it that does
// not.

#include "discovery/proxy_probe.hpp"

#include "system_curl.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

const std::string proxy = "socks5://127.0.0.1:1080";
const std::string url = "https://geoip.example.com/geoip?format=json";

std::string unreachable_message(const DiscoveryResult& result, int status)
{
    return "curl exit " + std::to_string(status) + " against " + url + " via " + proxy + " after " +
           std::to_string(result.elapsed_ms) + " ms";
}

// Puts this program into a new job, nested in the one it is in, if any.
void enter_job(DWORD limit_flags)
{
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    ASSERT_NE(job, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = limit_flags;
    ASSERT_TRUE(SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits));
    ASSERT_TRUE(AssignProcessToJobObject(job, GetCurrentProcess()));
    // The handle stays open: the job lasts as long as this program.
}

class Windows7Jobs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(install_curl_double()); }

    void SetUp() override
    {
        script_ = temporary_file(L"scr");
        set_environment(L"ORVALIS_CURL_SCRIPT", script_);
    }

    void TearDown() override
    {
        set_environment(L"ORVALIS_CURL_SCRIPT", L"");
        DeleteFileW(script_.c_str());
    }

    DiscoveryResult probe(const std::string& script)
    {
        write_whole_file(script_, script);
        return discover_proxy_ip(proxy, url);
    }

    // A probe that succeeds, and one that fails with the note `note` after its message.
    void expect_probes(const std::string& note)
    {
        EXPECT_EQ(probe("stdout 12\n203.0.113.9\nexit 0\n").ip, "203.0.113.9");
        const DiscoveryResult failed = probe("exit 7\n");
        EXPECT_EQ(failed.error_code, "PROXY_UNREACHABLE");
        EXPECT_EQ(failed.message, unreachable_message(failed, 7) + note);
    }

    std::wstring script_;
};

TEST_F(Windows7Jobs, ACurlTheProbesJobRefusesStillProbesAndEndsAtTheDeadline)
{
    // Outside any job the probe's job takes curl.
    expect_probes("");

    enter_job(JOB_OBJECT_LIMIT_BREAKAWAY_OK);
    expect_probes(" (AssignProcessToJobObject(curl.exe) failed with error 5: curl broke away from the launcher's "
                  "job into the probe's)");

    // Neither nesting nor breakaway: curl runs in this program's job, and its
    // handle ends it at the deadline as the job would.
    enter_job(0);
    const std::string note = " (AssignProcessToJobObject(curl.exe) failed with error 5, CreateProcess(curl.exe) with "
                             "CREATE_BREAKAWAY_FROM_JOB failed with error 5: curl ran in the launcher's job, ended by "
                             "its handle)";
    expect_probes(note);
    DiscoveryResult hung;
    EXPECT_FALSE(curl_ended_by_itself([&] { hung = probe("sleep 20000\nexit 0\n"); })) << "curl ran to its own end";
    EXPECT_EQ(hung.error_code, "PROXY_TIMEOUT");
    EXPECT_EQ(hung.curl_exit_code, 28);
    EXPECT_GE(hung.elapsed_ms, 12000);
    EXPECT_LT(hung.elapsed_ms, 15000);
    EXPECT_EQ(hung.message, unreachable_message(hung, 28) + note);
}

} // namespace
