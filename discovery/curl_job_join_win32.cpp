#include "discovery/curl_job.hpp"

bool join_curl_job(HANDLE job, HANDLE process)
{
    return AssignProcessToJobObject(job, process) != FALSE;
}
