// Stands in for the system's curl.exe in the test prefix's system32. One
// program, since only one curl.exe can sit there; the test chooses what it does
// through the environment, which the probe hands on to curl. Given "-K -", it
// reads its standard input to the end first, as curl does, and learns the proxy
// and the URL from the config text there (or, as curl, the URL from its last
// argument); a script is not played without a proxy (curl would go around it)
// or without a URL (curl would have nothing to fetch): it says so and exits 2,
// curl's status for a missing URL.
//   ORVALIS_CURL_RECORD   file that receives the raw command line (UTF-16LE)
//   ORVALIS_CURL_PROXY_RECORD  file that receives the proxy the config named
//   ORVALIS_CURL_URL_RECORD    file that receives the URL asked
//   ORVALIS_CURL_TIMING   file that receives the performance counter at entry
//   ORVALIS_CURL_SCRIPT   file of steps to play:  "stdout N\n" or "stderr N\n"
//                         followed by N bytes to write there, "sleep N\n" to
//                         wait N ms, "flood N\n" to write to standard output
//                         as fast as it can for N ms, "exit N\n" to end
//   ORVALIS_CURL_FALLBACK_SCRIPT  steps played instead when the URL asked is
//                         a fallback one, ending "/myip"
//   ORVALIS_CURL_INHERITED  file that receives "inherited" or "not inherited":
//                         whether the handle value that start-exact.exe handed
//                         down in ORVALIS_INHERITABLE_HANDLE is valid here
//   ORVALIS_CURL_ENDED    file that receives "ended" and the exit status when
//                         this program ends by itself; one ended from outside
//                         writes nothing
// Without a script it says so on standard error and exits 2.

#include "common/text_conversion.hpp"
#include "tests/common/curl_config_reader.hpp"
#include "tests/win32/support/test_support.hpp"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

namespace {

void write_all(HANDLE to, const char* data, std::size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(to, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
}

void say(const std::string& text)
{
    write_all(GetStdHandle(STD_ERROR_HANDLE), text.data(), text.size());
}

// A transfer that never ends by itself, until curl's own time limit would stop it.
void flood(ULONGLONG milliseconds)
{
    const std::string chunk(64 * 1024, 'x');
    const ULONGLONG until = GetTickCount64() + milliseconds;
    while (GetTickCount64() < until) write_all(GetStdHandle(STD_OUTPUT_HANDLE), chunk.data(), chunk.size());
}

int play_script(const std::wstring& path)
{
    const std::string script = read_whole_file(path);
    std::size_t at = 0;
    while (at < script.size()) {
        const std::size_t line_end = script.find('\n', at);
        if (line_end == std::string::npos) break;
        std::istringstream line(script.substr(at, line_end - at));
        at = line_end + 1;
        std::string step;
        long long number = 0;
        line >> step >> number;
        if (step == "exit") return static_cast<int>(number);
        if (step == "sleep") {
            Sleep(static_cast<DWORD>(number));
            continue;
        }
        if (step == "flood") {
            flood(static_cast<ULONGLONG>(number));
            continue;
        }
        const HANDLE to = GetStdHandle(step == "stdout" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        const std::size_t size = static_cast<std::size_t>(number);
        write_all(to, script.data() + at, size);
        at += size;
    }
    say("curl double: script without an exit step\n");
    return 2;
}

// Whether the arguments say "-K -": read the config from standard input.
bool reads_config_from_input(int argc, wchar_t** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (wcscmp(argv[i], L"-K") == 0 && wcscmp(argv[i + 1], L"-") == 0) return true;
    }
    return false;
}

std::string read_input()
{
    std::string input;
    char piece[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), piece, sizeof piece, &got, nullptr) && got > 0)
        input.append(piece, got);
    return input;
}

// The value of the config's last option of that name, which is the one curl uses.
bool last_value(const std::vector<CurlConfigOption>& options, std::initializer_list<const char*> names,
                std::string& value)
{
    bool found = false;
    for (const char* name : names) {
        for (const std::string& each : curl_config_values(options, name)) {
            value = each;
            found = true;
        }
    }
    return found;
}

void record(const wchar_t* variable, const std::string& text)
{
    const std::wstring path = environment_value(variable);
    if (!path.empty()) std::ofstream(path.c_str(), std::ios::binary) << text;
}

// The script for the URL asked. A curl that was told to read
// its config from standard input and found no proxy there would have gone
// direct, and one that found no URL fetches nothing: the double refuses to
// play a script then.
int play(int argc, wchar_t** argv)
{
    const bool reads_config = reads_config_from_input(argc, argv);
    const std::string input = reads_config ? read_input() : "";
    const std::vector<CurlConfigOption> options = read_curl_config(input);
    std::string proxy;
    const bool has_proxy = last_value(options, {"-x", "proxy"}, proxy);
    if (has_proxy) record(L"ORVALIS_CURL_PROXY_RECORD", proxy);
    std::string url;
    bool has_url = last_value(options, {"url"}, url);
    // As curl, it also takes a URL from its command line: the last argument, unless an option.
    if (!has_url && argc > 1 && argv[argc - 1][0] != L'-') {
        url = wide_to_utf8(argv[argc - 1]);
        has_url = true;
    }
    if (has_url) record(L"ORVALIS_CURL_URL_RECORD", url);

    const bool fallback_url = url.size() >= 5 && url.compare(url.size() - 5, 5, "/myip") == 0;
    std::wstring script = fallback_url ? environment_value(L"ORVALIS_CURL_FALLBACK_SCRIPT") : L"";
    if (script.empty()) script = environment_value(L"ORVALIS_CURL_SCRIPT");
    if (!script.empty()) {
        if (!has_url) {
            say("curl: (2) no URL specified\n");
            return 2;
        }
        if (!has_proxy) {
            say("curl double: no proxy in the config on standard input\n");
            return 2;
        }
        return play_script(script);
    }
    say("curl double: set ORVALIS_CURL_SCRIPT\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    LARGE_INTEGER entered{};
    QueryPerformanceCounter(&entered);

    const std::wstring timing = environment_value(L"ORVALIS_CURL_TIMING");
    if (!timing.empty()) std::ofstream(timing.c_str()) << entered.QuadPart << '\n';
    const std::wstring record = environment_value(L"ORVALIS_CURL_RECORD");
    if (!record.empty()) {
        const wchar_t* line = GetCommandLineW();
        std::ofstream(record.c_str(), std::ios::binary)
            .write(reinterpret_cast<const char*>(line), static_cast<std::streamsize>(wcslen(line) * sizeof(wchar_t)));
    }

    const std::wstring inherited = environment_value(L"ORVALIS_CURL_INHERITED");
    if (!inherited.empty()) {
        const auto value = std::wcstoull(environment_value(L"ORVALIS_INHERITABLE_HANDLE").c_str(), nullptr, 10);
        DWORD flags = 0;
        const bool valid = value != 0 && GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags);
        std::ofstream(inherited.c_str()) << (valid ? "inherited" : "not inherited") << '\n';
    }

    const int status = play(argc, argv);
    const std::wstring ended = environment_value(L"ORVALIS_CURL_ENDED");
    if (!ended.empty()) std::ofstream(ended.c_str(), std::ios::binary) << "ended " << status << '\n';
    return status;
}
