#pragma once

// The curl.exe double in the prefix's system32, and the environment through
// which a test tells it what to do (see tests/tools/curl/curl_double_win32.cpp).

#include <functional>
#include <string>

// The path the probe runs: the system directory and "\curl.exe".
std::wstring system_curl_path();
// Copies the double named by ORVALIS_CURL_DOUBLE (a Linux path) into system32.
bool install_curl_double();
bool remove_system_curl();

// A Linux path as Wine's drive Z: shows it.
std::wstring windows_path_of(const std::string& linux_path);
std::string environment_text(const char* name);
// Sets (or, with an empty value, removes) a variable of this process, which the
// probe hands on to curl.
void set_environment(const std::wstring& name, const std::wstring& value);

// Runs `run` with the curl.exe double told to mark its own end; true when the
// curl it started ended by itself rather than from outside.
bool curl_ended_by_itself(const std::function<void()>& run);

std::wstring temporary_file(const wchar_t* prefix);
bool file_exists(const std::wstring& path);
std::string read_whole_file(const std::wstring& path);
void write_whole_file(const std::wstring& path, const std::string& bytes);
// The performance counter in milliseconds: the same clock in every Wine process.
double counter_ms(long long counter);
long long counter_now();
