// Takes the place of discovery/curl_job_join_win32.cpp in the test programs
// that play a launcher on Windows 7, where jobs do not nest: a process already
// in a job cannot be put into another, and AssignProcessToJobObject fails with
// ERROR_ACCESS_DENIED (its documented behaviour before Windows 8). Windows 8
// and later refuse the same under a job with UI limits. Wine 8 nests jobs in
// both cases, so this is how the tests meet a job that refuses curl.

#include "discovery/curl_job.hpp"

bool join_curl_job(HANDLE job, HANDLE process)
{
    BOOL in_job = FALSE;
    if (IsProcessInJob(process, nullptr, &in_job) && in_job) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return AssignProcessToJobObject(job, process) != FALSE;
}
