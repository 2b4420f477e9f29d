#pragma once

// What the Wine tests share: the system curl.exe of the prefix and the
// environment through which a test steers it, files, processes started and
// waited for, and a file held open by another process.

#include <windows.h>

#include <functional>
#include <string>

// The path the probe runs: the system directory and "\curl.exe".
std::wstring system_curl_path();
// Copies the curl.exe named by ORVALIS_CURL_DOUBLE (a Linux path: the double,
// or a real curl that a rig put there) into system32.
bool install_curl_double();
bool remove_system_curl();

// A Linux path as Wine's drive Z: shows it.
std::wstring windows_path_of(const std::string& linux_path);
std::wstring environment_value(const wchar_t* name);
std::string environment_text(const char* name);
// Sets (or, with an empty value, removes) a variable of this process, which the
// probe hands on to curl.
void set_environment(const std::wstring& name, const std::wstring& value);

// Runs `run` with the curl.exe double told to mark its own end; true when the
// curl it started ended by itself rather than from outside.
bool curl_ended_by_itself(const std::function<void()>& run);

std::wstring temporary_file(const wchar_t* prefix);
// A name that no earlier run used: Wine soon hands out the same process ids
// again, and its temporary folder outlives the run.
std::wstring unique_name(const wchar_t* stem);
// One folder of the temporary folder for this run of the test program.
std::wstring scratch_directory();
bool file_exists(const std::wstring& path);
std::string read_whole_file(const std::wstring& path);
void write_whole_file(const std::wstring& path, const std::string& bytes);
// A program built beside this test program.
std::wstring beside_this_program(const std::wstring& name);

// Starts `line` (the program's quoted path first) with nothing handed down and
// waits at most `timeout_ms`; a program still running then is ended, and the
// test fails, as when it cannot start. Its exit code.
DWORD run_process(const std::wstring& program, const std::wstring& line, DWORD timeout_ms);

// Another process (tests/tools' hold-file.exe) that keeps one file open with
// the sharing `share` ("-" none, else letters of "rwd") until `let_go_ms`
// after it is released (at the latest when this goes), or for a minute.
struct HeldFile {
    HANDLE process = nullptr;
    std::wstring trigger;

    HeldFile(const std::wstring& file, const wchar_t* share, DWORD let_go_ms = 0);
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();
    bool holding() const;
    void release() const;
};
