#include "discovery/curl_job.hpp"
#include "discovery/proxy_probe.hpp"

namespace {

// The curl that runs outside its probe's job, for end_curl_outside_job, and
// the guard of its placement. There is one at most: the launcher probes from
// its one worker thread.
std::mutex outside_guard;
HANDLE outside_curl = nullptr;
// Set when the launcher leaves: a worker freed by its curl's end may still
// start a probe (the fallback endpoint), whose curl nothing would end.
bool leaving = false;

VOID CALLBACK end_curl_at_deadline(PTP_CALLBACK_INSTANCE, PVOID context, PTP_TIMER)
{
    const auto& job = *static_cast<const CurlJob*>(context);
    // Either fails only when curl has ended already, which is what it is for.
    if (job.outside) TerminateProcess(job.outside, job.deadline_status);
    else TerminateJobObject(job.job, job.deadline_status);
}

} // namespace

HANDLE create_curl_job()
{
    // Unnamed and not inheritable: only this launcher holds it, so the
    // launcher's exit, which closes every handle it has, closes the job too.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    // KILL_ON_JOB_CLOSE: curl ends with the last handle to the job, so none
    // outlives the launcher, whatever ends the launcher. No breakaway flag:
    // what curl might start stays in the job too. When the launcher itself
    // runs in a job (a scheduler's, a profile manager's), this one nests
    // inside it where Windows allows that (discovery/curl_job_plan.hpp).
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) return job;
    CloseHandle(job);
    return nullptr;
}

bool create_job_deadline(CurlJob& job)
{
    job.deadline = CreateThreadpoolTimer(end_curl_at_deadline, &job, nullptr);
    return job.deadline != nullptr;
}

std::unique_lock<std::mutex> curl_placement_lock()
{
    return std::unique_lock<std::mutex>(outside_guard);
}

bool launcher_leaving(const std::unique_lock<std::mutex>&)
{
    return leaving;
}

void hold_outside_job(CurlJob& job, HANDLE process, const std::unique_lock<std::mutex>&)
{
    job.outside = process;
    outside_curl = process;
}

void start_deadline(CurlJob& job, DWORD milliseconds, UINT exit_status)
{
    job.deadline_status = exit_status;
    // A negative due time counts from now, in units of 100 ns.
    ULARGE_INTEGER due{};
    due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(milliseconds) * 10000);
    FILETIME due_time{due.LowPart, due.HighPart};
    // Once, without period; no window either, which would let the system put it off.
    SetThreadpoolTimer(job.deadline, &due_time, 0, 0);
}

void close_curl_job(CurlJob& job)
{
    if (job.deadline) {
        // No new end is queued; one queued but not begun is dropped, and one
        // under way is waited for, so the callback never meets a closed job
        // or handle.
        SetThreadpoolTimer(job.deadline, nullptr, 0, 0);
        WaitForThreadpoolTimerCallbacks(job.deadline, TRUE);
        CloseThreadpoolTimer(job.deadline);
        job.deadline = nullptr;
    }
    if (job.outside) {
        const std::lock_guard<std::mutex> lock(outside_guard);
        if (outside_curl == job.outside) outside_curl = nullptr;
        job.outside = nullptr;
    }
    CloseHandle(job.job);
    job.job = nullptr;
}

void end_curl_outside_job()
{
    // Under the guard, so the probe cannot close the handle meanwhile.
    const std::lock_guard<std::mutex> lock(outside_guard);
    leaving = true;
    if (outside_curl) TerminateProcess(outside_curl, 1);
}
