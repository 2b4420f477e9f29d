#include "launcher/launch_check.hpp"
#include "launcher/launch_check_mask.hpp"
#include "launcher/launch_check_options.hpp"

#include <gtest/gtest.h>

namespace {

TEST(LaunchCheckOptions, TakesOutTheCheckOptionsAndKeepsTheRestCharacterForCharacter)
{
    const struct {
        const wchar_t* arguments;
        bool json;
        const wchar_t* self_test_folder;
        const wchar_t* launcher_arguments;
        const wchar_t* bad_option;
    } cases[] = {
        {L"--user-data-dir=C:\\p --check-json", true, L"", L"--user-data-dir=C:\\p", L""},
        {L"--check-json --user-data-dir=C:\\p  x", true, L"", L"--user-data-dir=C:\\p  x", L""},
        {L"a --check-self-test=\"C:\\My Folder\"\tb", false, L"C:\\My Folder", L"a\tb", L""},
        {L"\"--check-json\" a", true, L"", L"a", L""},
        {L"\"a --check-json\"", false, L"", L"\"a --check-json\"", L""},
        {L"a\\\" --check-json", true, L"", L"a\\\"", L""},
        {L"\"a \"\" --check-json\" b", false, L"", L"\"a \"\" --check-json\" b", L""},
        {L"x --check-json   ", true, L"", L"x", L""},
        {L"x   ", false, L"", L"x   ", L""},
        {L"--check-json", true, L"", L"", L""},
        {L"--Check-json", false, L"", L"--Check-json", L""},
        {L"a --check-jsonx --check-json", true, L"", L"a", L"--check-jsonx"},
        {L"--check-self-test= a", false, L"", L"a", L"--check-self-test="},
        {L"--check-self-test --check-self-test=x", false, L"x", L"", L"--check-self-test"},
        {L"--check-self-test=x --check-self-test=y", false, L"x", L"", L"--check-self-test=y"},
    };
    for (const auto& c : cases) {
        const LaunchCheckOptions options = parse_launch_check_options(c.arguments);
        EXPECT_EQ(options.json, c.json) << c.arguments;
        EXPECT_EQ(options.self_test_folder, c.self_test_folder) << c.arguments;
        EXPECT_EQ(options.launcher_arguments, c.launcher_arguments) << c.arguments;
        EXPECT_EQ(options.bad_option, c.bad_option) << c.arguments;
    }
}

TEST(LaunchCheckMask, APasswordIsShownAsStarsWhereverItStands)
{
    const struct {
        const char* proxy;
        const char* text;
        const char* shown;
    } cases[] = {
        {"socks5://u:p@h:1", "socks5://u:p@h:1", "socks5://u:***@h:1"},
        {"socks5://u:p@h:1", "curl exit 7 against http://g/x via socks5://u:p@h:1 after 3 ms",
         "curl exit 7 against http://g/x via socks5://u:***@h:1 after 3 ms"},
        // A password holding blanks, quotes, '@' and ':' goes whole.
        {"socks5://u:a b\"@:c@h:1", "via socks5://u:a b\"@:c@h:1 after", "via socks5://u:***@h:1 after"},
        // The same credentials in another URL (curl's own proxy line).
        {"socks5://u:pw@h:1", "socks5h://u:pw@h:1", "socks5h://u:***@h:1"},
        // Another proxy's password among the engine's arguments.
        {"", "\"e.exe\" --proxy-server=socks5://x:y@h:2 chrome://version",
         "\"e.exe\" --proxy-server=socks5://x:***@h:2 chrome://version"},
        {"socks5://u@h:1", "socks5://u@h:1 http://g:1/a", "socks5://u@h:1 http://g:1/a"},
        {"socks5://u:@h:1", "socks5://u:@h:1", "socks5://u:@h:1"},
        {"socks5://h:1", "socks5://h:1", "socks5://h:1"},
    };
    for (const auto& c : cases) EXPECT_EQ(mask_proxy_password(c.text, c.proxy), c.shown) << c.text;
}

TEST(LaunchCheckOutput, APasswordThatJsonEscapesStaysMaskedInEveryMember)
{
    LaunchCheck check;
    check.settings.proxy_server = "socks5://u:a\"b\\c@h:1";
    DiscoveryAttempt attempt{"https://g/x", {}};
    attempt.result.message = "curl exit 7 against https://g/x via " + check.settings.proxy_server + " after 3 ms";
    check.probe.push_back(attempt);
    check.engine_command_line = "\"e.exe\" \"--proxy-server=" + check.settings.proxy_server + "\"";
    for (const std::string& output : {launch_check_json(check), launch_check_text(check)}) {
        EXPECT_EQ(output.find("a\\\"b"), std::string::npos) << output;
        EXPECT_EQ(output.find("a\"b"), std::string::npos) << output;
        std::size_t masked = 0;
        for (std::size_t at = output.find("u:***@h:1"); at != std::string::npos; at = output.find("u:***@h:1", at + 1))
            ++masked;
        EXPECT_EQ(masked, 3u) << output;
    }
}

} // namespace
