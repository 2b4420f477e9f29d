#include "common/text_conversion.hpp"

#include <gtest/gtest.h>

TEST(TextConversion, RoundTripsValidText)
{
    const std::string text = "Z\xC3\xA9\xE2\x80\x94\xE2\x80\xA6\xF0\x9F\x98\x80";
    const std::wstring wide = utf8_to_wide(text);
    EXPECT_EQ(wide.substr(0, 4), std::wstring(L"Z\u00e9\u2014\u2026"));
    EXPECT_EQ(wide_to_utf8(wide), text);
    EXPECT_EQ(utf8_to_wide(""), L"");
    EXPECT_EQ(wide_to_utf8(L""), "");
}

TEST(TextConversion, ReplacesInvalidSequences)
{
    EXPECT_EQ(utf8_to_wide("a\xFF" "b"), std::wstring(L"a\uFFFDb"));
    EXPECT_EQ(utf8_to_wide("a\xC3"), std::wstring(L"a\uFFFD"));
    EXPECT_EQ(utf8_to_wide("\xE2\x80" "x"), std::wstring(L"\uFFFDx"));
    EXPECT_EQ(utf8_to_wide("\xC0\xAF"), std::wstring(L"\uFFFD\uFFFD")); // overlong
    EXPECT_EQ(utf8_to_wide("\xED\xA0\x80"), std::wstring(L"\uFFFD\uFFFD\uFFFD")); // surrogate
}
