#pragma once

// Windows: the job that holds the probe's curl, so that no curl runs past the
// probe's deadline or outlives the launcher; and, when curl cannot be put into
// it (discovery/curl_job_plan.hpp), curl's own handle in the job's place.

#include <windows.h>

#include <mutex>

// The job, the timer that ends curl at the deadline, and the exit status it
// gives what it ends there. The timer reads the record, so the record stays
// in place until close_curl_job.
struct CurlJob {
    HANDLE job = nullptr;
    PTP_TIMER deadline = nullptr;
    UINT deadline_status = 1;
    // curl's process while it runs outside the job, which the deadline then ends by this handle.
    HANDLE outside = nullptr;
};

// A job whose processes end when its last handle closes; null on failure.
HANDLE create_curl_job();

// The job's deadline timer, not yet started; false on failure.
bool create_job_deadline(CurlJob& job);

// Puts curl, created suspended, into the job; false, with the thread's last
// error set, when the job refuses it. In a file of its own: tests link a model
// of Windows 7, which nests no job, in its place.
bool join_curl_job(HANDLE job, HANDLE process);

// Held from before curl is started until it is held in or outside the job.
// end_curl_outside_job takes it too, so the launcher never leaves between a
// curl's start and its hold: a curl outside the job, still suspended, would
// be left behind for good.
std::unique_lock<std::mutex> curl_placement_lock();

// Under that lock: the launcher is leaving (end_curl_outside_job has been
// called), and no curl may start any more.
bool launcher_leaving(const std::unique_lock<std::mutex>& placing);

// Under that lock: curl runs outside the job. The deadline ends it by
// `process`, and so does end_curl_outside_job, until close_curl_job.
void hold_outside_job(CurlJob& job, HANDLE process, const std::unique_lock<std::mutex>& placing);

// From now on, curl is ended after `milliseconds` if it still runs, with
// `exit_status` as its status.
void start_deadline(CurlJob& job, DWORD milliseconds, UINT exit_status);

// Withdraws the deadline (waiting for an end already under way), forgets a
// curl outside the job and closes the job, which ends whatever still runs in
// it. Comes before curl's own handle is closed.
void close_curl_job(CurlJob& job);
