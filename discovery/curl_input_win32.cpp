#include "discovery/curl_input.hpp"

bool write_curl_config(HANDLE input_write_end, const std::string& config)
{
    DWORD written = 0;
    return WriteFile(input_write_end, config.data(), static_cast<DWORD>(config.size()), &written, nullptr) &&
           written == config.size();
}

void begin_ending_curl(HANDLE process)
{
    TerminateProcess(process, 1);
}
