// The launcher's Win32 glue against the real system calls, under Wine.

#include "common/argument_quoting.hpp"
#include "common/text_conversion.hpp"
#include "launcher/engine_switches.hpp"
#include "launcher/launch_settings.hpp"
#include "reports/report_file.hpp"
#include "tests/win32/support/test_support.hpp"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> split(const std::wstring& line)
{
    int count = 0;
    LPWSTR* parts = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> result(parts, parts + count);
    LocalFree(parts);
    return result;
}

TEST(QuotingUnderTheRealSplitter, EveryArgumentComesBackWhole)
{
    std::mt19937 random(11);
    const std::wstring alphabet = L"a \t\\\"\u00e9";
    std::vector<std::wstring> arguments = {L"", L"a\"b", L"a\\\"b", L"C:\\x y\\", L"\\\\\\\"", L"end\\"};
    for (int i = 0; i < 3000; ++i) {
        std::wstring argument;
        for (int length = random() % 8; length > 0; --length) argument += alphabet[random() % alphabet.size()];
        arguments.push_back(argument);
    }
    for (const auto& argument : arguments) {
        for (const bool always : {false, true}) {
            const auto parts = split(L"\"C:\\x.exe\" " + quote_argument(argument, always) + L" tail");
            ASSERT_EQ(parts.size(), 3u) << wide_to_utf8(argument);
            ASSERT_EQ(parts[1], argument);
        }
    }
}

// It replaces and leaves no temporary file; into a missing folder it fails and creates nothing.
TEST(WriteFileAtomic, ReplacesAndLeavesNoTemporaryFile)
{
    const std::wstring target = scratch_directory() + L"\\report.json";
    ASSERT_TRUE(write_file_atomic(target, "old\n"));
    ASSERT_TRUE(write_file_atomic(target, "new\n"));
    EXPECT_EQ(read_whole_file(target), "new\n");
    EXPECT_FALSE(file_exists(target + L".tmp"));
    ASSERT_TRUE(write_file_atomic(target, ""));
    EXPECT_EQ(read_whole_file(target), "");
    const std::wstring folder = scratch_directory() + L"\\missing";
    EXPECT_FALSE(write_file_atomic(folder + L"\\report.json", "x"));
    EXPECT_FALSE(file_exists(folder));
}

// A reader such as a scanner or a sync client holds the old report with any
// sharing but delete. Held for good, the old report stays; let go 300 ms after
// the write began, while the rename is still being tried, the new one lands.
TEST(WriteFileAtomic, ReportHeldByAReader)
{
    for (const DWORD sharing : {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        for (const bool let_go : {false, true}) {
            SCOPED_TRACE(std::to_string(sharing) + (let_go ? " let go" : " held"));
            const std::wstring target = scratch_directory() + L"\\held.json";
            ASSERT_TRUE(write_file_atomic(target, "old\n"));
            HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
            HANDLE reader = nullptr;
            if (let_go) {
                reader = CreateThread(
                    nullptr, 0,
                    [](LPVOID handle) -> DWORD {
                        Sleep(300);
                        CloseHandle(static_cast<HANDLE>(handle));
                        return 0;
                    },
                    held, 0, nullptr);
                ASSERT_NE(reader, nullptr);
            }
            EXPECT_EQ(write_file_atomic(target, "new\n"), let_go);
            if (let_go) {
                WaitForSingleObject(reader, INFINITE);
                CloseHandle(reader);
            } else {
                CloseHandle(held);
            }
            EXPECT_EQ(read_whole_file(target), let_go ? "new\n" : "old\n");
            EXPECT_FALSE(file_exists(target + L".tmp"));
        }
    }
}

TEST(UtcTimestamp, IsTwentyCharactersOfUtc)
{
    const std::string stamp = utc_timestamp();
    ASSERT_EQ(stamp.size(), 20u);
    EXPECT_EQ(stamp[10], 'T');
    EXPECT_EQ(stamp[19], 'Z');
}

TEST(ReadLaunchSettings, UnreadablePathsGiveTheDefaults)
{
    const std::wstring directory = scratch_directory();
    for (const std::wstring& path : {directory, directory + L"\\absent.json", std::wstring()}) {
        const LaunchSettings settings = read_launch_settings(path);
        EXPECT_EQ(settings.on_proxy_fail, "block");
        EXPECT_TRUE(settings.proxy_server.empty());
    }
}

TEST(ReadLaunchSettings, ReadsTheWholeFileWithWindowsLineEnds)
{
    const std::wstring path = scratch_directory() + L"\\command-line.json";
    std::ofstream(path.c_str(), std::ios::binary)
        << "{\r\n  \"proxy-server\":\r\n \"socks5://h:1\",\r\n  \"auto-geo\": true,\r\n  \"start-page\": \"s\"\r\n}\r\n";
    const LaunchSettings settings = read_launch_settings(path);
    EXPECT_EQ(settings.proxy_server, "socks5://h:1");
    EXPECT_TRUE(settings.auto_geo);
    EXPECT_EQ(settings.start_page, "s");
    EXPECT_TRUE(settings.close_previous_tabs);
}

TEST(SettingsFilePath, ProfileFileWhenPresentElseTheFallback)
{
    const std::wstring fallback = fallback_settings_path();
    ASSERT_GE(fallback.size(), 27u);
    EXPECT_EQ(fallback.substr(fallback.size() - 26), L"\\Orvalis\\command-line.json");
    const std::wstring profile = scratch_directory() + L"\\profile";
    CreateDirectoryW(profile.c_str(), nullptr);
    EXPECT_EQ(settings_file_path(profile), fallback);
    EXPECT_EQ(settings_file_path(L""), fallback);
    std::ofstream((profile + L"\\command-line.json").c_str()) << "{}";
    EXPECT_EQ(settings_file_path(profile), profile + L"\\command-line.json");
}

TEST(HardwareFigures, AreDecimalNumbersOfThisMachine)
{
    const std::wstring memory = device_memory_value();
    EXPECT_TRUE(memory == L"1" || memory == L"2" || memory == L"4" || memory == L"8" || memory == L"16" ||
                memory == L"32");
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(hardware_concurrency_value(), std::to_wstring(info.dwNumberOfProcessors));
}

// stack-guard-probe.exe, built beside this program with the launcher's canaries:
// how it ended, and what it wrote in its record file.
struct ProbeRun {
    DWORD exit_code = 0;
    std::string record;
};

ProbeRun run_stack_guard_probe(const std::wstring& arguments)
{
    const std::wstring probe = beside_this_program(L"stack-guard-probe.exe");
    const std::wstring record = scratch_directory() + L"\\stack-guard-probe.txt";
    DeleteFileW(record.c_str());
    // Nothing handed down: the probe tells what it saw through its record file.
    const std::wstring line = quote_argument(probe, false) + L" " + arguments + L" " + quote_argument(record, false);
    const DWORD exit_code = run_process(probe, line, 30000);
    return {exit_code, read_whole_file(record)};
}

TEST(StackGuard, IsSeededBeforeTheFirstProtectedConstructorAndDiffersFromStartToStart)
{
    std::set<std::string> guards;
    for (int start = 0; start < 2; ++start) {
        const ProbeRun run = run_stack_guard_probe(L"guard");
        ASSERT_EQ(run.exit_code, 0u);
        std::istringstream record(run.record);
        std::string seen_by_a_constructor, seen_by_wmain;
        record >> seen_by_a_constructor >> seen_by_wmain;
        ASSERT_EQ(seen_by_wmain.size(), 16u) << run.record;
        EXPECT_EQ(seen_by_a_constructor, seen_by_wmain) << "the guard changed after a protected function ran";
        EXPECT_NE(seen_by_wmain, "0000000000000000");
        guards.insert(seen_by_wmain);
    }
    EXPECT_EQ(guards.size(), 2u) << "two starts had the same guard";
}

TEST(StackGuard, SmashedCanaryEndsTheProcessAtOnceWithTheStackCookieStatus)
{
    const ProbeRun unharmed = run_stack_guard_probe(L"overrun 0");
    EXPECT_EQ(unharmed.exit_code, 0u);
    EXPECT_EQ(unharmed.record, "atexit\n");
    // No exception handler, filter or atexit function runs on the smashed stack.
    const ProbeRun smashed = run_stack_guard_probe(L"overrun 64");
    EXPECT_EQ(smashed.exit_code, static_cast<DWORD>(STATUS_STACK_BUFFER_OVERRUN));
    EXPECT_EQ(smashed.record, "");
}

TEST(TextConversion, PlatformConversionAgreesWithTheNativeOne)
{
    EXPECT_EQ(utf8_to_wide("Z\xC3\xA9\xE2\x80\x94"), L"Z\u00e9\u2014");
    EXPECT_EQ(utf8_to_wide("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(wide_to_utf8(L"\u2026"), "\xE2\x80\xA6");
    EXPECT_EQ(utf8_to_wide(""), L"");
}

} // namespace
