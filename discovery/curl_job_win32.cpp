#include "discovery/curl_job.hpp"

namespace {

VOID CALLBACK end_job_at_deadline(PTP_CALLBACK_INSTANCE, PVOID context, PTP_TIMER)
{
    const auto& job = *static_cast<const CurlJob*>(context);
    // Fails only when nothing runs in the job any more, which is what it is for.
    TerminateJobObject(job.job, job.deadline_status);
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
    // inside it, which Windows allows since Windows 8.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) return job;
    CloseHandle(job);
    return nullptr;
}

bool create_job_deadline(CurlJob& job)
{
    job.deadline = CreateThreadpoolTimer(end_job_at_deadline, &job, nullptr);
    return job.deadline != nullptr;
}

bool hold_in_job(const CurlJob& job, HANDLE process)
{
    if (AssignProcessToJobObject(job.job, process)) return true;
    // Still suspended, so it has done nothing yet. Outside the job it could
    // outlive the launcher, so it does not run at all.
    TerminateProcess(process, 1);
    return false;
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
        // under way is waited for, so the callback never meets a closed job.
        SetThreadpoolTimer(job.deadline, nullptr, 0, 0);
        WaitForThreadpoolTimerCallbacks(job.deadline, TRUE);
        CloseThreadpoolTimer(job.deadline);
        job.deadline = nullptr;
    }
    CloseHandle(job.job);
    job.job = nullptr;
}
