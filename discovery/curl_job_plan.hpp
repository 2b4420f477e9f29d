#pragma once

// Where the probe's curl runs. In the probe's own job, which ends it at the
// deadline and with the launcher, whenever that job takes it; otherwise in
// the launcher's own job, ended by its process handle. A launcher that runs
// in a job of its own (a scheduler's, a profile manager's) cannot always put
// curl into another: Windows 7 has no nested jobs, and Windows 8 and later
// nest none under a job with UI limits. Such a job may let curl break away
// from it (JOB_OBJECT_LIMIT_BREAKAWAY_OK, CREATE_BREAKAWAY_FROM_JOB).

#include "common/records.hpp"

#include <string>
#include <vector>

enum class CurlJobCall {
    start,               // curl created suspended
    start_breaking_away, // the same, breaking away from the launcher's job
    join,                // curl put into the probe's job
};

// One call on curl's way into the probe's job and its outcome: 0, or the
// system's error code.
struct CurlJobAttempt {
    CurlJobCall call;
    unsigned long error = 0;
};

enum class CurlJobStep {
    start,
    start_breaking_away, // the refused curl, still suspended, is ended first
    join,
    run_in_job,
    run_outside_job, // let run in the launcher's job; ended by its handle
    give_up,         // curl could not be started
};

// The next step after `attempts`, in their order. A curl the job refused is
// started again breaking away, once; when that is refused too, a curl
// started plainly runs outside the job, and so does one that broke away but
// was refused all the same.
CurlJobStep next_curl_job_step(const std::vector<CurlJobAttempt>& attempts);

// For a probe that failed after a call of `attempts` failed: the failed
// calls with their error codes and where curl ran, in parentheses after the
// message. Nothing for a probe that succeeded or whose calls all worked.
void note_curl_job(const std::vector<CurlJobAttempt>& attempts, DiscoveryResult& result);
