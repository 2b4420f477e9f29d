#include "common/argument_quoting.hpp"
#include "tests/common/windows_argv_split.hpp"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::wstring> round_trip(const std::wstring& argument, bool always_quote)
{
    return split_windows_command_line(L"\"C:\\p\\x.exe\" " + quote_argument(argument, always_quote) + L" next");
}

TEST(ArgumentQuoting, PlainArgumentsKeepTheirBytes)
{
    for (const std::wstring plain : {L"--lang=de-DE", L"C:\\x\\", L"a\\b", L"--x=1;q=0.9,en"})
        EXPECT_EQ(quote_argument(plain), plain);
    EXPECT_EQ(quote_argument(L"https://a.example/", true), L"\"https://a.example/\"");
    EXPECT_EQ(quote_argument(L"a b", true), L"\"a b\"");
}

TEST(ArgumentQuoting, HostileArgumentsComeBackWholeAndUnchanged)
{
    const std::wstring nasty[] = {L"",          L" ",           L"\t",          L"a\"b",     L"a\\\"b",
                                  L"C:\\x y\\", L"C:\\x y\\\\", L"\\\\\"",      L"\"",       L"\"\"\"",
                                  L"x\" --evil", L"a\\\\\\\"b c", L"end\\",       L"a\tb\\\\"};
    for (const auto& argument : nasty) {
        for (const bool always : {false, true}) {
            const auto split = round_trip(argument, always);
            ASSERT_EQ(split.size(), 3u) << "argument broke out of its item";
            EXPECT_EQ(split[1], argument);
            EXPECT_EQ(split[2], L"next");
        }
    }
}

TEST(ArgumentQuoting, RandomArgumentsRoundTrip)
{
    std::mt19937 random(7);
    const std::wstring alphabet = L"ab \t\\\"=-";
    for (int round = 0; round < 20000; ++round) {
        std::wstring argument;
        const int length = static_cast<int>(random() % 9);
        for (int i = 0; i < length; ++i) argument.push_back(alphabet[random() % alphabet.size()]);
        const bool always = random() % 2;
        const auto split = round_trip(argument, always);
        ASSERT_EQ(split.size(), 3u) << round;
        ASSERT_EQ(split[1], argument) << round;
    }
}

} // namespace
