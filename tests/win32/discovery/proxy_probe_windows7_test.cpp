// The probe in a test program whose curl job behaves as on Windows 7 (see
// tests/tools/windows7_job_join_win32.cpp), against the scripted curl.exe
// double, with the program itself put into the jobs a caller may start the
// launcher in. A process never leaves a job, so the one test walks from no job
// to a job that lets curl break away, and on to a job nested in it that does
// not.

#include "tests/win32/support/scripted_curl.hpp"
#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

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

// A probe that succeeds, and one that fails with the note `note` after its message.
class Windows7Jobs : public ScriptedCurl {
protected:
    void expect_probes(const std::string& note)
    {
        EXPECT_EQ(probe(step("stdout", "203.0.113.9\n") + finish(0)).ip, "203.0.113.9");
        const DiscoveryResult failed = probe(finish(7));
        EXPECT_EQ(failed.error_code, "PROXY_UNREACHABLE");
        EXPECT_EQ(failed.message, curl_message(failed) + note);
    }
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
    EXPECT_FALSE(curl_ended_by_itself([&] { hung = probe("sleep 20000\n" + finish(0)); })) << "curl ran to its own end";
    EXPECT_EQ(hung.error_code, "PROXY_TIMEOUT");
    EXPECT_EQ(hung.curl_exit_code, 28);
    EXPECT_GE(hung.elapsed_ms, 12000);
    EXPECT_LT(hung.elapsed_ms, 15000);
    EXPECT_EQ(hung.message, curl_message(hung) + note);
}

} // namespace
