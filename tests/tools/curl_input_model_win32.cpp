// Takes the place of discovery/curl_input_win32.cpp: the write puts the whole
// text into curl's input and reports failure, and curl ends 500 ms after it was
// asked to. TerminateProcess is documented to begin the end and return at
// once; Wine ends the process before it returns, so only this model shows a
// curl still running after it.

#include "discovery/curl_input.hpp"

#include <thread>

bool write_curl_config(HANDLE input_write_end, const std::string& config)
{
    DWORD written = 0;
    WriteFile(input_write_end, config.data(), static_cast<DWORD>(config.size()), &written, nullptr);
    return false;
}

void begin_ending_curl(HANDLE process)
{
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &own, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return;
    std::thread([own] {
        Sleep(500);
        TerminateProcess(own, 1);
        CloseHandle(own);
    }).detach();
}
