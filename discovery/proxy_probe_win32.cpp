#include "discovery/proxy_probe.hpp"

#include "discovery/curl_command_line.hpp"
#include "discovery/curl_input.hpp"
#include "discovery/curl_job.hpp"
#include "discovery/curl_job_plan.hpp"
#include "discovery/probe_outcome.hpp"
#include "discovery/socks5_proxy.hpp"

#include <windows.h>
#include <shlwapi.h>

#include <cstdint>
#include <vector>

namespace {

// Everything curl writes, until the last write end of the pipe is closed.
std::string read_until_closed(HANDLE read_end)
{
    std::string output;
    char piece[1024];
    DWORD got = 0;
    while (ReadFile(read_end, piece, sizeof piece, &got, nullptr) && got > 0) output.append(piece, got);
    return output;
}

// Starts curl, suspended, with the output pipe's write end as its output and
// errors, the input pipe's read end as its standard input, and no other handle
// of the launcher's. Inheritance is on for those two handles only: a program
// that started the launcher with redirected output waits for its pipes to
// close, and were curl to inherit them as well, that program would wait for
// curl too, up to curl's time limit after a cancelled launch. 0, or the error
// that kept curl from starting.
unsigned long start_curl(const std::wstring& command_line, HANDLE input_read_end, HANDLE write_end,
                         bool breaking_away, PROCESS_INFORMATION& process)
{
    // Asked for its size first; this call fails by design and only reports the size.
    SIZE_T list_size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
    if (list_size == 0) return GetLastError();
    std::vector<unsigned char> list_memory(list_size);
    const auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_memory.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &list_size)) return GetLastError();

    // The list holds the address of this array, which lives until the list is
    // deleted, after CreateProcessW. Each handle may appear once, and must be
    // inheritable: the output's write end serves as output and errors alike.
    HANDLE inherited[] = {input_read_end, write_end};
    unsigned long error = 0;
    if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                  nullptr, nullptr)) {
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        // Output and errors into the one pipe, and no window of curl's to be seen.
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.StartupInfo.wShowWindow = SW_HIDE;
        startup.StartupInfo.hStdInput = input_read_end;
        startup.StartupInfo.hStdOutput = write_end;
        startup.StartupInfo.hStdError = write_end;
        startup.lpAttributeList = attributes;
        // CreateProcessW may write into the command line, so it gets its own copy.
        std::vector<wchar_t> writable(command_line.begin(), command_line.end());
        writable.push_back(L'\0');
        // Inheritance on, narrowed by the list to the two pipe ends;
        // EXTENDED_STARTUPINFO_PRESENT makes the list count; CREATE_NO_WINDOW
        // keeps a console from flashing up for curl; CREATE_SUSPENDED holds
        // curl until it is in its job, so nothing of it runs outside.
        // CREATE_BREAKAWAY_FROM_JOB only after the probe's job refused a curl
        // in the launcher's job, which must allow it (curl_job_plan.hpp).
        const DWORD flags = CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED |
                            (breaking_away ? CREATE_BREAKAWAY_FROM_JOB : 0);
        if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                            &startup.StartupInfo, &process))
            error = GetLastError();
    } else {
        error = GetLastError();
    }
    DeleteProcThreadAttributeList(attributes);
    return error;
}

void close_process(PROCESS_INFORMATION& process)
{
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = PROCESS_INFORMATION{};
}

// Starts curl and puts it into the probe's job, or starts it where it can run
// outside the job, as the plan says; the calls and their outcomes go into
// `attempts`. Ends with curl still suspended and `process` its handles, unless
// curl could not be started at all (give_up, no handles).
CurlJobStep place_curl(const CurlJob& job, const std::wstring& command_line, HANDLE input_read_end,
                       HANDLE write_end, PROCESS_INFORMATION& process, std::vector<CurlJobAttempt>& attempts)
{
    for (;;) {
        const CurlJobStep step = next_curl_job_step(attempts);
        switch (step) {
        case CurlJobStep::start_breaking_away:
            // The refused curl is still suspended: it has done nothing yet.
            TerminateProcess(process.hProcess, 1);
            close_process(process);
            [[fallthrough]];
        case CurlJobStep::start: {
            const bool breaking_away = step == CurlJobStep::start_breaking_away;
            attempts.push_back({breaking_away ? CurlJobCall::start_breaking_away : CurlJobCall::start,
                                start_curl(command_line, input_read_end, write_end, breaking_away, process)});
            break;
        }
        case CurlJobStep::join:
            attempts.push_back({CurlJobCall::join, join_curl_job(job.job, process.hProcess) ? 0 : GetLastError()});
            break;
        default:
            return step;
        }
    }
}

} // namespace

DiscoveryResult discover_proxy_ip(const std::string& proxy_server, const std::string& discovery_url)
{
    if (!is_socks5_proxy(proxy_server)) return probe_stopped(ProbeStop::proxy_not_socks5);
    // Checked before curl is looked for: a value that names no proxy host is
    // wrong wherever the launcher runs.
    const CurlProxy proxy = curl_proxy(proxy_server);
    if (proxy.url.empty()) return proxy_refused(proxy.refusal);

    // Only the system's own curl is run; the search path is never consulted.
    wchar_t system_directory[260];
    const UINT length = GetSystemDirectoryW(system_directory, 260);
    // A result of 260 or more is the size the call needed: the buffer was left unfilled.
    if (length == 0 || length >= 260) return probe_stopped(ProbeStop::no_system_directory);
    const std::wstring curl_path = std::wstring(system_directory, length) + L"\\curl.exe";
    if (!PathFileExistsW(curl_path.c_str())) return probe_stopped(ProbeStop::curl_missing);

    const std::wstring command_line = curl_command_line(curl_path);
    const std::string config = curl_config_text(proxy.url, discovery_url);

    // curl runs in a job of its own, which ends it at the probe's deadline,
    // and at the latest with the launcher: a user who closes the window
    // lets the probe finish, but nothing of it outlives the launcher. Where
    // the launcher's own job keeps curl out of it, curl's handle does both.
    CurlJob job;
    job.job = create_curl_job();
    if (!job.job) return probe_stopped(ProbeStop::job_not_created);
    const auto stopped = [&job](ProbeStop reason) {
        close_curl_job(job);
        return probe_stopped(reason);
    };
    if (!create_job_deadline(job)) return stopped(ProbeStop::deadline_not_created);

    // Inheritable so that curl can receive the input's read end and the
    // output's write end. The config text is at most 1,313 bytes plus the URL,
    // a deployment value of a few dozen (the proxy is at most 1,293: the user
    // 765 characters encoded, the password 255, the host 253 or 253 within
    // brackets, the port 5), so the input pipe holds all of it and writing it
    // never waits for curl, not even while curl is still suspended.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE input_read_end = nullptr;
    HANDLE input_write_end = nullptr;
    if (!CreatePipe(&input_read_end, &input_write_end, &inheritable, 65536))
        return stopped(ProbeStop::pipe_not_created);
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 65536)) {
        CloseHandle(input_read_end);
        CloseHandle(input_write_end);
        return stopped(ProbeStop::pipe_not_created);
    }
    // curl gets only the input's read end and the output's write end. A copy
    // of the input's write end in curl would keep its standard input from ever
    // ending; a copy of the output's read end would serve no one. The handle
    // list already keeps both out, so a failure here is ignored.
    SetHandleInformation(input_write_end, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

    PROCESS_INFORMATION process{};
    std::vector<CurlJobAttempt> attempts;
    const ULONGLONG start = GetTickCount64();
    std::unique_lock<std::mutex> placing = curl_placement_lock();
    // A launcher that leaves around its worker ends the curl outside the job;
    // a worker freed by that end must not start one for the fallback endpoint,
    // and nobody reads this probe's outcome any more.
    const CurlJobStep placed = launcher_leaving(placing)
                                   ? CurlJobStep::give_up
                                   : place_curl(job, command_line, input_read_end, write_end, process, attempts);
    // Closed at once: while the launcher holds a write end, reading would never
    // see the end of curl's output; while it holds the input's read end, a
    // write to a curl that has gone would wait instead of failing.
    CloseHandle(write_end);
    CloseHandle(input_read_end);
    if (placed == CurlJobStep::give_up) {
        CloseHandle(input_write_end);
        CloseHandle(read_end);
        return stopped(ProbeStop::curl_not_started);
    }
    if (placed == CurlJobStep::run_outside_job) hold_outside_job(job, process.hProcess, placing);
    placing.unlock();
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1)) {
        // Still suspended: it has done nothing.
        TerminateProcess(process.hProcess, 1);
        CloseHandle(input_write_end);
        CloseHandle(read_end);
        const DiscoveryResult result = stopped(ProbeStop::curl_not_resumed);
        close_process(process);
        return result;
    }
    start_deadline(job, curl_deadline_ms, static_cast<UINT>(curl_timeout_status));

    // The proxy and the URL go to curl through its standard input, never its
    // command line; closing the pipe ends curl's config, and only then does
    // curl act on it. A curl that did not get it all is ended and the probe
    // fails whatever it says. TerminateProcess only begins the end, so the
    // input stays open until curl has gone: closed before, it would let curl
    // act on the part it got. The deadline bounds that wait too.
    const bool config_written = write_curl_config(input_write_end, config);
    if (!config_written) {
        begin_ending_curl(process.hProcess);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(input_write_end);

    // Reading comes before waiting, so curl can never block on a full pipe.
    const std::string output = read_until_closed(read_end);
    CloseHandle(read_end);
    // Bounded by the deadline, which ends curl should its output end before it does.
    WaitForSingleObject(process.hProcess, INFINITE);
    // Stays 1 (a plain failure) when the status cannot be had.
    DWORD exit_status = 1;
    GetExitCodeProcess(process.hProcess, &exit_status);
    // The job first: its deadline may still use curl's handle.
    close_curl_job(job);
    close_process(process);
    const auto elapsed_ms = static_cast<std::int64_t>(GetTickCount64() - start);
    if (!config_written) {
        DiscoveryResult result = probe_stopped(ProbeStop::proxy_not_handed_over);
        note_curl_job(attempts, result);
        return result;
    }

    DiscoveryResult result = classify_curl_run(static_cast<std::int32_t>(exit_status), elapsed_ms, output,
                                               discovery_url, proxy_server);
    note_curl_job(attempts, result);
    return result;
}
