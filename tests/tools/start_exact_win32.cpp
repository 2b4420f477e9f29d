// Starts a program with an exact command line, which `wine prog args...` cannot
// do (it re-quotes the arguments), waits for it and returns its exit code.
//   start-exact.exe <application> <file holding the command line in UTF-8>
// With a third argument, the performance counter just before CreateProcessW is
// written to that file, and on a second line the counter's frequency; once the
// program has ended, a third line holds the counter then.
// With ORVALIS_INHERITABLE_HANDLE set in its environment, it holds an
// inheritable event of its own, starts the program with inheritance on, as a
// caller with redirected pipes does, and hands the event's handle value down
// in that variable (decimal), for the programs further down to look for.
// With ORVALIS_START_IN_JOB set, the program starts inside a job of this
// program's that allows no nesting (on Windows 8 and later, by its UI limits)
// and, unless the value is "breakaway", no breakaway either, as some
// schedulers and profile managers start programs.
// With ORVALIS_PASS_OUTPUT set, the program gets this program's standard
// output and error as its own, as a console program run from a script has them.

#include "common/text_conversion.hpp"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count < 3) return 100;
    const std::wstring application = arguments[1];
    std::ifstream source(arguments[2], std::ios::binary);
    const std::string line_utf8((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    const std::wstring counter_file = count > 3 ? arguments[3] : L"";
    LocalFree(arguments);

    const bool hand_down = GetEnvironmentVariableW(L"ORVALIS_INHERITABLE_HANDLE", nullptr, 0) > 0;
    if (hand_down) {
        // Handles of its own first, none inheritable, so that the event's value
        // lies above every handle a small program down the line opens itself:
        // the same value valid there means the event itself was inherited.
        for (int i = 0; i < 512; ++i) {
            HANDLE filler = nullptr;
            DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &filler, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
        }
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        const HANDLE event = CreateEventW(&inheritable, TRUE, FALSE, nullptr);
        if (!event) return 103;
        SetEnvironmentVariableW(L"ORVALIS_INHERITABLE_HANDLE",
                                std::to_wstring(reinterpret_cast<std::uintptr_t>(event)).c_str());
    }

    std::wstring line = utf8_to_wide(line_utf8);
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER before{};
    QueryPerformanceCounter(&before);
    HANDLE job = nullptr;
    if (GetEnvironmentVariableW(L"ORVALIS_START_IN_JOB", nullptr, 0) > 0) {
        wchar_t value[16] = {};
        GetEnvironmentVariableW(L"ORVALIS_START_IN_JOB", value, 16);
        job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_BASIC_UI_RESTRICTIONS ui{JOB_OBJECT_UILIMIT_GLOBALATOMS};
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        if (wcscmp(value, L"breakaway") == 0) limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
        if (!job || !SetInformationJobObject(job, JobObjectBasicUIRestrictions, &ui, sizeof ui) ||
            !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
            return 104;
    }
    const bool pass_output = GetEnvironmentVariableW(L"ORVALIS_PASS_OUTPUT", nullptr, 0) > 0;
    if (pass_output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        for (const HANDLE handle : {startup.hStdOutput, startup.hStdError})
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    // Inheritance on only when asked for, as a caller with redirected pipes has it.
    if (!CreateProcessW(application.c_str(), buffer.data(), nullptr, nullptr, hand_down || pass_output,
                        job ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process))
        return 101;
    if (job && (!AssignProcessToJobObject(job, process.hProcess) || ResumeThread(process.hThread) == DWORD(-1))) {
        TerminateProcess(process.hProcess, 1);
        return 104;
    }
    if (!counter_file.empty()) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        std::ofstream out(counter_file.c_str());
        out << before.QuadPart << "\n" << frequency.QuadPart << "\n";
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    if (!counter_file.empty()) {
        LARGE_INTEGER after{};
        QueryPerformanceCounter(&after);
        std::ofstream(counter_file.c_str(), std::ios::app) << after.QuadPart << "\n";
    }
    DWORD code = 102;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
