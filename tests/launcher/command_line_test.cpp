#include "launcher/command_line.hpp"

#include <gtest/gtest.h>

TEST(PassthroughArguments, TakesTheTailAfterTheProgramCharacterForCharacter)
{
    const struct {
        std::wstring line;
        std::wstring tail;
    } cases[] = {
        {L"launcher.exe", L""},
        {L"\"C:\\a b\\launcher.exe\"", L""},
        {L"\"C:\\a b\\launcher.exe\"   ", L""},
        {L"\"C:\\a b\\launcher.exe\" --x  \"y z\"  ", L"--x  \"y z\"  "},
        {L"C:\\launcher.exe\t\t--a=\"1\"\\", L"--a=\"1\"\\"},
        // Quotes toggle anywhere in the program token, not only at its start.
        {L"C:\\a\" \"b\\l.exe --k", L"--k"},
        // Any control character ends the program token and is skipped after it.
        {L"l.exe\x01\x1f --k", L"--k"},
        // '!' (0x21), the first printable character after the blank, does not.
        {L"C:\\a!b\\l.exe --k", L"--k"},
        {L"\"unterminated quote --k", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(passthrough_arguments_from(c.line), c.tail);
}

TEST(UserDataDir, FirstSwitchWithAValueWins)
{
    using Args = std::vector<std::wstring>;
    EXPECT_EQ(user_data_dir_from(Args{L"l.exe"}), L"");
    EXPECT_EQ(user_data_dir_from(Args{}), L"");
    EXPECT_EQ(user_data_dir_from(Args{L"l.exe", L"--user-data-dir=", L"--user-data-dir=D:\\P"}), L"D:\\P");
    EXPECT_EQ(user_data_dir_from(Args{L"l.exe", L"--user-data-dir=C:\\A B", L"--user-data-dir=D:\\P"}), L"C:\\A B");
    EXPECT_EQ(user_data_dir_from(Args{L"l.exe", L"--USER-DATA-DIR=C:\\X"}), L"");
    EXPECT_EQ(user_data_dir_from(Args{L"l.exe", L"--user-data-dir=C:\\p\\"}), L"C:\\p\\");
    // The program path itself never counts.
    EXPECT_EQ(user_data_dir_from(Args{L"--user-data-dir=C:\\X"}), L"");
}
