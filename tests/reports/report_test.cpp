#include "reports/error_report.hpp"
#include "reports/rename_retry.hpp"
#include "reports/report_record.hpp"
#include "reports/result_report.hpp"

#include <gtest/gtest.h>

#include <deque>

namespace {

TEST(JsonEscape, ShortEscapesSixCharacterEscapesAndEverythingElseCopied)
{
    EXPECT_EQ(json_escape(std::string("a\t\"\\\x01/\xC3\xA9", 8)), "a\\t\\\"\\\\\\u0001/\xC3\xA9");
    EXPECT_EQ(json_escape("\x08\x0C\x1B\x7F"), "\\u0008\\u000c\\u001b\x7F");
    EXPECT_EQ(json_escape(std::string("\r\n\0", 3)), "\\r\\n\\u0000");
    EXPECT_EQ(json_escape(""), "");
}

TEST(JsonEscape, NoControlByteOrBareQuoteSurvives)
{
    std::string every;
    for (int b = 0; b < 256; ++b) every.push_back(static_cast<char>(b));
    const std::string escaped = json_escape(every);
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        EXPECT_GE(static_cast<unsigned char>(escaped[i]), 0x20u);
        if (escaped[i] == '\\') {
            ASSERT_LT(i + 1, escaped.size());
            ++i; // the escaped character
        } else {
            EXPECT_NE(escaped[i], '"');
        }
    }
}

TEST(JsonEscape, IllFormedUtf8BecomesReplacementCharactersSoTheReportStaysUtf8)
{
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string input;
        std::string escaped;
    } cases[] = {
        {"\xE2\x80\x94 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", "\xE2\x80\x94 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
        // The last three-byte lead, EF: U+FF02 (a full-width quote) and U+FFFD itself.
        {"\xEF\xBC\x82\xEF\xBF\xBD", "\xEF\xBC\x82\xEF\xBF\xBD"},
        // A reply's head cut inside a character, and one cut before a quote.
        {"ab\xD0\x9F\xD0", "ab\xD0\x9F" + fffd},
        {"\xE2\x80\"x", fffd + "\\\"x"},
        // Latin-1 from a settings file, a stray continuation byte, 0xFF.
        {"caf\xE9!", "caf" + fffd + "!"},
        {"\x80\xFF", fffd + fffd},
        // Overlong forms, a surrogate and a code point above U+10FFFF.
        {"\xC0\xAF", fffd + fffd},
        {"\xE0\x80\xAF", fffd + fffd + fffd},
        // The highest overlong three- and four-byte forms, one below the bounds.
        {"\xE0\x9F\xBF", fffd + fffd + fffd},
        {"\xF0\x8F\xBF\xBF", fffd + fffd + fffd + fffd},
        {"\xED\xA0\x80", fffd + fffd + fffd},
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
        // A second byte one above the continuation bytes.
        {"\xC3\xC0", fffd + fffd},
    };
    for (const auto& c : cases) EXPECT_EQ(json_escape(c.input), c.escaped);
}

TEST(UtcTimestamp, TwentyCharactersZeroPadded)
{
    EXPECT_EQ(format_utc_timestamp(2026, 1, 2, 3, 4, 5), "2026-01-02T03:04:05Z");
    EXPECT_EQ(format_utc_timestamp(999, 12, 31, 23, 59, 59), "0999-12-31T23:59:59Z");
}

TEST(ReportLocation, ProfileFolderThenProfileDirectoryThenLocalAppdataThenNothing)
{
    // The folder's "\\?\" form, which reaches a profile of 242 characters or more.
    const std::wstring long_directory = L"C:\\" + std::wstring(250, L'p');
    EXPECT_EQ(report_location(long_directory, L"\\\\?\\" + long_directory, L"C:\\L", L".r.json"),
              L"\\\\?\\" + long_directory + L"\\.r.json");
    EXPECT_EQ(report_location(L"p\\", L"\\\\?\\C:\\q\\p", L"", L".r.json"), L"\\\\?\\C:\\q\\p\\.r.json");
    // Without that form (a root) the directory as given.
    EXPECT_EQ(report_location(L"C:\\p", L"", L"C:\\L", L".r.json"), L"C:\\p\\.r.json");
    EXPECT_EQ(report_location(L"C:\\p\\", L"", L"", L".r.json"), L"C:\\p\\\\.r.json");
    EXPECT_EQ(report_location(L"", L"", L"C:\\L", L".r.json"), L"C:\\L\\Orvalis\\.r.json");
    EXPECT_EQ(report_location(L"", L"", L"", L".r.json"), L"");
}

TEST(ErrorReport, OptionalFieldsFollowTheirValues)
{
    DiscoveryResult result;
    result.error_code = "PROXY_TIMEOUT";
    result.message = "curl exit 28 \"x\"\n";
    result.curl_exit_code = 28;
    result.elapsed_ms = 10012;
    EXPECT_EQ(error_report_record("2026-12-07T20:00:00Z", result, "socks5://u:p@h:1", "https://g.example/geoip"),
              "{\"schema\":1,\"ts\":\"2026-12-07T20:00:00Z\",\"step\":\"discover_proxy_ip\","
              "\"error_code\":\"PROXY_TIMEOUT\",\"message\":\"curl exit 28 \\\"x\\\"\\n\","
              "\"proxy\":\"socks5://u:p@h:1\",\"discovery_url\":\"https://g.example/geoip\","
              "\"curl_exit_code\":28,\"elapsed_ms\":10012,\"launcher_version\":\"0.24.0\"}\n");

    result.curl_exit_code = -1;
    result.elapsed_ms = 0;
    const std::string bare = error_report_record("t", result, "", "");
    EXPECT_EQ(bare.find("\"proxy\""), std::string::npos);
    EXPECT_EQ(bare.find("\"discovery_url\""), std::string::npos);
    EXPECT_EQ(bare.find("curl_exit_code"), std::string::npos);

    result.curl_exit_code = 0;
    EXPECT_NE(error_report_record("t", result, "", "").find(",\"curl_exit_code\":0,"), std::string::npos);
}

TEST(ResultReport, FifteenFieldsInOrder)
{
    LaunchState state;
    state.ip = "203.0.113.7";
    state.timezone = "Europe/Z\xC3\xBCrich";
    state.country_code = "CH";
    state.geo_lat = L"47.3";
    state.geo_lng = L"-8.5";
    state.lang = L"de-CH";
    state.accept_language = L"de-CH,de;q=0.9,en;q=0.8";
    state.provider = "tessar";
    EXPECT_EQ(result_report_record("2026-12-07T20:00:00Z", "ok", state, 1234, "", ""),
              "{\"schema\":1,\"ts\":\"2026-12-07T20:00:00Z\",\"status\":\"ok\",\"ip\":\"203.0.113.7\","
              "\"timezone\":\"Europe/Z\xC3\xBCrich\",\"country_code\":\"CH\",\"lat\":\"47.3\",\"lng\":\"-8.5\","
              "\"lang\":\"de-CH\",\"accept_lang\":\"de-CH,de;q=0.9,en;q=0.8\",\"elapsed_ms\":1234,"
              "\"provider\":\"tessar\",\"error_code\":\"\",\"message\":\"\",\"launcher_version\":\"0.24.0\"}\n");
    EXPECT_EQ(result_report_record("t", "blocked", LaunchState{}, -5, "PROXY_BLOCKED", "m"),
              "{\"schema\":1,\"ts\":\"t\",\"status\":\"blocked\",\"ip\":\"\",\"timezone\":\"\",\"country_code\":\"\","
              "\"lat\":\"\",\"lng\":\"\",\"lang\":\"\",\"accept_lang\":\"\",\"elapsed_ms\":-5,\"provider\":\"\","
              "\"error_code\":\"PROXY_BLOCKED\",\"message\":\"m\",\"launcher_version\":\"0.24.0\"}\n");
}

// Each case: what the rename answers, try after try (the last answer repeats),
// whether the write counts as done, how many tries were made and the pauses between them.
TEST(RenameWithRetries, OnlyABusyTargetIsTriedAgainAndForAboutASecond)
{
    using O = RenameOutcome;
    const auto busy_then = [](std::size_t busy, O last) {
        std::deque<O> answers(busy, O::busy);
        answers.push_back(last);
        return answers;
    };
    struct Case {
        const char* name;
        std::deque<O> answers;
        bool done;
        int tries;
    };
    const Case cases[] = {
        {"done at once", {O::done}, true, 1},
        {"failed at once", {O::failed}, false, 1},
        {"busy, then failed", busy_then(2, O::failed), false, 3},
        {"busy for a moment", busy_then(3, O::done), true, 4},
        {"busy until the last try", busy_then(19, O::done), true, 20},
        {"busy for good", busy_then(40, O::done), false, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::deque<O> answers = c.answers;
        int tries = 0;
        unsigned paused = 0;
        int pauses = 0;
        const bool done = rename_with_retries(
            [&] {
                ++tries;
                const O answer = answers.front();
                if (answers.size() > 1) answers.pop_front();
                return answer;
            },
            [&](unsigned milliseconds) {
                paused += milliseconds;
                ++pauses;
            });
        EXPECT_EQ(done, c.done);
        EXPECT_EQ(tries, c.tries);
        EXPECT_EQ(pauses, c.tries - 1);
        EXPECT_EQ(paused, 50u * (c.tries - 1));
    }
}

} // namespace
