#include "scripted_curl.hpp"

#include "test_support.hpp"

const std::string ScriptedCurl::proxy = "socks5://127.0.0.1:1080";
const std::string ScriptedCurl::url = "https://geoip.example.com/geoip?format=json";

void ScriptedCurl::SetUpTestSuite()
{
    ASSERT_TRUE(install_curl_double());
}

void ScriptedCurl::SetUp()
{
    script_ = temporary_file(L"scr");
    record_ = temporary_file(L"rec");
    DeleteFileW(record_.c_str());
    set_environment(L"ORVALIS_CURL_SCRIPT", script_);
}

void ScriptedCurl::TearDown()
{
    set_environment(L"ORVALIS_CURL_SCRIPT", L"");
    set_environment(L"ORVALIS_CURL_RECORD", L"");
    DeleteFileW(script_.c_str());
    DeleteFileW(record_.c_str());
}

DiscoveryResult ScriptedCurl::probe(const std::string& script, const std::string& proxy_server,
                                    const std::string& discovery_url)
{
    write_whole_file(script_, script);
    return discover_proxy_ip(proxy_server, discovery_url);
}

std::string ScriptedCurl::step(const char* stream, const std::string& bytes)
{
    return std::string(stream) + " " + std::to_string(bytes.size()) + "\n" + bytes;
}

std::string ScriptedCurl::finish(int status)
{
    return "exit " + std::to_string(status) + "\n";
}

std::string ScriptedCurl::curl_message(const DiscoveryResult& result)
{
    return "curl exit " + std::to_string(result.curl_exit_code) + " against " + url + " via " + proxy + " after " +
           std::to_string(result.elapsed_ms) + " ms";
}
