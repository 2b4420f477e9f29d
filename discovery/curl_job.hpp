#pragma once

// Windows: the job that holds the probe's curl, so that no curl runs past the
// probe's deadline or outlives the launcher.

#include <windows.h>

// The job, the timer that ends it at the deadline, and the exit status it
// gives what it ends there. The timer reads the record, so the record stays
// in place until close_curl_job.
struct CurlJob {
    HANDLE job = nullptr;
    PTP_TIMER deadline = nullptr;
    UINT deadline_status = 1;
};

// A job whose processes end when its last handle closes; null on failure.
HANDLE create_curl_job();

// The job's deadline timer, not yet started; false on failure.
bool create_job_deadline(CurlJob& job);

// Puts curl, created suspended, into the job before it runs an instruction of
// its own. False when it cannot be; curl is then ended.
bool hold_in_job(const CurlJob& job, HANDLE process);

// From now on, whatever still runs in the job after `milliseconds` is ended,
// with `exit_status` as its status.
void start_deadline(CurlJob& job, DWORD milliseconds, UINT exit_status);

// Withdraws the deadline (waiting for an end already under way) and closes the
// job, which ends whatever still runs in it.
void close_curl_job(CurlJob& job);
