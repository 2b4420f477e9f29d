#include "discovery/curl_job_plan.hpp"

#include <algorithm>

namespace {

bool tried(const std::vector<CurlJobAttempt>& attempts, CurlJobCall call, bool failed)
{
    return std::any_of(attempts.begin(), attempts.end(),
                       [&](const CurlJobAttempt& a) { return a.call == call && (a.error != 0) == failed; });
}

const char* call_name(CurlJobCall call)
{
    switch (call) {
    case CurlJobCall::start: return "CreateProcess(curl.exe)";
    case CurlJobCall::start_breaking_away: return "CreateProcess(curl.exe) with CREATE_BREAKAWAY_FROM_JOB";
    case CurlJobCall::join: return "AssignProcessToJobObject(curl.exe)";
    }
    return "";
}

} // namespace

CurlJobStep next_curl_job_step(const std::vector<CurlJobAttempt>& attempts)
{
    if (attempts.empty()) return CurlJobStep::start;
    const CurlJobAttempt& last = attempts.back();
    switch (last.call) {
    case CurlJobCall::start:
        if (last.error != 0) return CurlJobStep::give_up;
        // The job refused a curl started this way once; it would again.
        return tried(attempts, CurlJobCall::join, true) ? CurlJobStep::run_outside_job : CurlJobStep::join;
    case CurlJobCall::start_breaking_away:
        // The launcher's job keeps its processes: curl stays in it.
        return last.error != 0 ? CurlJobStep::start : CurlJobStep::join;
    case CurlJobCall::join:
        if (last.error == 0) return CurlJobStep::run_in_job;
        return tried(attempts, CurlJobCall::start_breaking_away, false) ? CurlJobStep::run_outside_job
                                                                        : CurlJobStep::start_breaking_away;
    }
    return CurlJobStep::give_up;
}

void note_curl_job(const std::vector<CurlJobAttempt>& attempts, DiscoveryResult& result)
{
    if (result.error_code.empty()) return;
    std::string note;
    for (const CurlJobAttempt& attempt : attempts) {
        if (attempt.error == 0) continue;
        note += note.empty() ? " (" : ", ";
        note += std::string(call_name(attempt.call)) + " failed with error " + std::to_string(attempt.error);
    }
    if (note.empty()) return;
    const bool joined = !attempts.empty() && attempts.back().call == CurlJobCall::join && attempts.back().error == 0;
    const bool broke_away = tried(attempts, CurlJobCall::start_breaking_away, false);
    note += joined ? ": curl broke away from the launcher's job into the probe's"
           : broke_away ? ": curl ran outside every job, ended by its handle"
                        : ": curl ran in the launcher's job, ended by its handle";
    result.message += note + ")";
}
