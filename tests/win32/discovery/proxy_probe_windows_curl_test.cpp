// The probe with each real Windows curl in the prefix's system32 (the shared
// builds of the versions Windows has shipped); run by
// tests/tools/curl/windows_curl_rig.py, which provides a SOCKS5 greeting
// recorder, microsocks with user and password, and the geo-IP stand-in.

#include "discovery/curl_command_line.hpp"
#include "discovery/proxy_probe.hpp"

#include "common/text_conversion.hpp"
#include "system_curl.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> versions()
{
    std::istringstream words(environment_text("ORVALIS_CURL_VERSIONS"));
    std::vector<std::string> found;
    for (std::string word; words >> word;) found.push_back(word);
    return found;
}

bool install_windows_curl(const std::string& version)
{
    const std::wstring source =
        windows_path_of(environment_text("ORVALIS_WINDOWS_CURLS") + "/" + version + "/curl.exe");
    // The shared builds are read-only, and the copy would be too: the next
    // test could not replace it.
    return CopyFileW(source.c_str(), system_curl_path().c_str(), FALSE) != 0 &&
           SetFileAttributesW(system_curl_path().c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

std::string loopback(const char* port_variable)
{
    return "127.0.0.1:" + environment_text(port_variable);
}

std::string geoip_url(const std::string& path)
{
    return "http://" + loopback("ORVALIS_TEST_GEOIP_PORT") + path;
}

// curl run with the launcher's own line and a standard input that ends at
// once, as a curl that never gets the config text meets it; its exit status.
DWORD run_without_input(std::string& output)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE input_read = nullptr, input_write = nullptr, output_read = nullptr, output_write = nullptr;
    if (!CreatePipe(&input_read, &input_write, &inheritable, 0)) return 1000;
    if (!CreatePipe(&output_read, &output_write, &inheritable, 0)) return 1000;
    CloseHandle(input_write);
    SetHandleInformation(output_read, HANDLE_FLAG_INHERIT, 0);
    const std::wstring line = curl_command_line(system_curl_path());
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_read;
    startup.hStdOutput = output_write;
    startup.hStdError = output_write;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(input_read);
    CloseHandle(output_write);
    DWORD status = 1001;
    if (started) {
        char piece[1024];
        DWORD got = 0;
        while (ReadFile(output_read, piece, sizeof piece, &got, nullptr) && got > 0) output.append(piece, got);
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(output_read);
    return status;
}

class WindowsCurl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_FALSE(versions().empty()) << "run through windows_curl_rig.py"; }
    static void TearDownTestSuite() { remove_system_curl(); }

    const std::wstring greetings = windows_path_of(environment_text("ORVALIS_TEST_RECORDER_FILE"));
};

TEST_F(WindowsCurl, EachOffersTheProxyNoAuthenticationOrUserAndPasswordButNeverGssApi)
{
    // 05, the number of methods, the methods: 00 none, 02 user and password;
    // never 01, GSS-API, a Kerberos login as the Windows user.
    const struct {
        const char* credentials;
        const char* greeting;
    } cases[] = {{"orvalis:secret@", "05020002\n"}, {"", "050100\n"}};
    for (const std::string& version : versions()) {
        ASSERT_TRUE(install_windows_curl(version)) << version;
        for (const auto& c : cases) {
            write_whole_file(greetings, "");
            const DiscoveryResult result = discover_proxy_ip(
                "socks5://" + std::string(c.credentials) + loopback("ORVALIS_TEST_RECORDER_PORT"), geoip_url("/myip"));
            EXPECT_NE(result.error_code, "") << version;
            EXPECT_EQ(read_whole_file(greetings), c.greeting) << version << " " << c.credentials;
        }
    }
}

TEST_F(WindowsCurl, EachTakesTheProxyAndTheUrlFromItsInputAndLogsInThrough)
{
    // The password holds U+00E9, U+FF02, a blank and " \ # / ? @ : %.
    const std::string proxy = "socks5://" + environment_text("ORVALIS_TEST_PROXY_USER") + ":" +
                              environment_text("ORVALIS_TEST_PROXY_PASSWORD") + "@" +
                              loopback("ORVALIS_TEST_AUTH_SOCKS_PORT");
    for (const std::string& version : versions()) {
        ASSERT_TRUE(install_windows_curl(version)) << version;
        const DiscoveryResult result = discover_proxy_ip(proxy, geoip_url("/geoip?format=json"));
        EXPECT_EQ(result.error_code, "") << version << ": " << result.message;
        EXPECT_EQ(result.ip, environment_text("ORVALIS_TEST_PROXY_EXIT")) << version;
        EXPECT_EQ(result.country_code, "DE") << version;
    }
}

TEST_F(WindowsCurl, WithoutItsInputNoneHasAnythingToFetch)
{
    for (const std::string& version : versions()) {
        ASSERT_TRUE(install_windows_curl(version)) << version;
        std::string output;
        // 2: curl's "no URL specified".
        EXPECT_EQ(run_without_input(output), 2u) << version << ": " << output;
    }
}

} // namespace
