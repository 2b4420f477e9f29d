// The launcher's arguments on their way to the engine. The input, cut at zero
// bytes into arguments (each byte one character), is written into the
// launcher's command line with quote_argument; the tail rule takes it out
// again, and the engine command line adds switches whose values are those
// arguments and a start page made of the first. Splitting that line by the
// system's documented rules must give back every argument, switch value and
// the start page exactly. The tail rule on the raw input as a command line of
// its own must also hold up: no crash, and a suffix of its input. The last
// argument, as a proxy value, must give a proxy URL of printable ASCII that
// both curls read as the value means; as the config text's proxy, with the
// first argument as its URL, each must come back from curl's reading exactly
// once and unchanged.

#include "common/argument_quoting.hpp"
#include "common/records.hpp"
#include "common/text_conversion.hpp"
#include "discovery/curl_command_line.hpp"
#include "discovery/socks5_proxy.hpp"
#include "launcher/command_line.hpp"
#include "launcher/engine_switches.hpp"
#include "tests/common/curl_config_reader.hpp"
#include "tests/common/curl_proxy_readers.hpp"
#include "tests/common/windows_argv_split.hpp"
#include "tests/fuzz/fuzz_check.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const std::wstring launcher_path = L"C:\\Program Files\\Orvalis Browser\\orvalis-browser.exe";
const std::wstring engine = L"C:\\Program Files\\Orvalis Browser\\orvalis-browser-engine.exe";

bool ends_with(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void check_raw_tail(const std::uint8_t* data, std::size_t size)
{
    const std::wstring line(data, data + size);
    const std::wstring tail = passthrough_arguments_from(line);
    require(ends_with(line, tail), "the tail is not a suffix of the command line");
    require(tail.empty() || tail.front() > L' ', "the tail starts with a blank or control character");
}

void check_config_text(const std::string& proxy, const std::string& url)
{
    const std::vector<CurlConfigOption> options = read_curl_config(curl_config_text(proxy, url));
    require(options.size() == 2, "the config text holds another option than the proxy and the URL");
    require(curl_config_values(options, "proxy") == std::vector<std::string>{proxy},
            "the proxy does not come back once, as it went in");
    require(curl_config_values(options, "url") == std::vector<std::string>{url},
            "the URL does not come back once, as it went in");
}

void check_proxy_url(const std::string& value)
{
    const std::string proxy_server = "socks5://" + value;
    const std::string url = curl_proxy(proxy_server).url;
    if (url.empty()) return;
    for (const char c : url) require(c > 0x20 && c < 0x7F, "a proxy URL with a byte that is no printable ASCII");
    const ProxyReading meant = meaning_of_proxy_value(proxy_server);
    require(read_proxy_as_curl_7_55_1(url) == meant, "curl 7.55.1 reads another proxy than the value means");
    require(read_proxy_as_curl_8(url) == meant, "curl 8 reads another proxy than the value means");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    check_raw_tail(data, size);

    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) pieces.emplace_back();
        else pieces.back().push_back(static_cast<char>(data[i]));
    }
    check_config_text(pieces.back(), pieces.front());
    check_proxy_url(pieces.back());

    std::vector<std::wstring> arguments;
    for (const auto& piece : pieces) arguments.emplace_back(piece.begin(), piece.end());
    // Windows programs skip control characters between the program and the
    // first argument, and so does the tail rule; an argument that starts with
    // one is not handed on whole by any of them.
    if (!arguments.front().empty() && arguments.front().front() < L' ' && arguments.front().front() != L'\t')
        return 0;

    std::wstring launcher_line = quote_argument(launcher_path, true);
    for (const auto& argument : arguments) launcher_line += L" " + quote_argument(argument);
    const std::wstring tail = passthrough_arguments_from(launcher_line);

    std::vector<std::wstring> expected = {engine};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    std::wstring switches;
    for (const auto& value : arguments) {
        append_switch(switches, L"lang", value);
        if (!value.empty()) expected.push_back(L"--lang=" + value);
    }
    LaunchSettings settings;
    settings.start_page = pieces.front();
    if (!switches.empty()) switches += L" ";
    switches += start_page_item(settings);
    expected.push_back(settings.start_page.empty() ? L"chrome://version" : utf8_to_wide(settings.start_page));

    const auto split = split_windows_command_line(engine_command_line(engine, tail, switches));
    require(split == expected, "the engine's arguments differ from what went in");
    return 0;
}
