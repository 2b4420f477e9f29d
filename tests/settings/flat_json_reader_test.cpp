#include "settings/flat_json_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

struct TextCase {
    std::string text;
    std::string expected;
};

const std::string mib(1 << 20, 'x');

TEST(ReadStringField, FindsAndUnescapesTheFirstStringValue) {
    const std::vector<TextCase> cases = {
        {R"({"other":"v"})", ""},
        {R"({"k":""})", ""},
        {R"({"k":"a\"b\\c\/d\n"})", "a\"b\\c/d\n"},
        {R"({"k":"\b\f\r\t"})", "\b\f\r\t"},
        {R"({"k":"\u00e9\q"})", R"(\u00e9\q)"},
        {"{\"k\":\"\xC3\xA9\0z\"}"s, "\xC3\xA9\0z"s},
        {R"({"o":{"k":"de"},"k":"fr"})", "de"},
        {R"({"k":1,"o":{"k":"s"}})", "s"},
        {"{\"k\"\r\n :\n\t\"v\"}", "v"},
        {R"({"xk":"no","k":"yes"})", "yes"},
        {R"("k"k":"shared quote")", "shared quote"},
        // A backslash before a line break cannot pair up: that value fails, the next one counts.
        {"{\"k\":\"a\\\n\",\"k\":\"b\"}", "b"},
        {R"({"k":"unterminated\")", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(read_string_field(c.text, "k"), c.expected) << c.text;
}

TEST(ReadScalarField, GivesRawQuotedContentsOrBareText) {
    const std::vector<TextCase> cases = {
        {R"({"k":42,"n":1})", "42"},
        {R"({"k" : null})", "null"},
        {R"({"k":"x y"})", "x y"},
        {R"({"k":"a\"b"})", "a\\"},
        {R"({"k":[1,2]})", "[1"},
        {R"({"k":"","k":5})", ""},
        {R"({"k":,"k":7})", "7"},
        {"{\"k\":\n\"open", "\"open"},
        {R"({"other":1})", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(read_scalar_field(c.text, "k"), c.expected) << c.text;
}

TEST(ReadFlagField, OnlyTrueAndOneBareOrQuotedAreTrue) {
    for (const char* value : {"true", "1", R"("true")", R"("1")"})
        EXPECT_TRUE(read_flag_field("{\"k\": "s + value + "}", "k")) << value;
    for (const char* value : {"True", "yes", "0", "false", R"("")", "truex", "null"})
        EXPECT_FALSE(read_flag_field("{\"k\": "s + value + "}", "k")) << value;
    EXPECT_FALSE(read_flag_field("{}", "k"));
}

TEST(HasField, NeedsTheQuotedKeyAndAColon) {
    EXPECT_TRUE(has_field(R"({"k": null})", "k"));
    EXPECT_TRUE(has_field("{\"k\"\n:\"\"}", "k"));
    EXPECT_FALSE(has_field(R"({"v": "k", "kk": 1})", "k"));
    EXPECT_FALSE(has_field(R"(["k"])", "k"));
}

TEST(ReadFlagObject, TakesBareTrueFalseMembersUpToTheFirstBrace) {
    const std::vector<std::pair<std::string, FlagMap>> cases = {
        {R"({"k":{"cookies":true,"websql":false,"cookies":false}})", {{"cookies", false}, {"websql", false}}},
        {R"({"k":{"cache_storage":1,"local-storage":true,"s":"true","n":null,"t":True}})", {}},
        {R"({"k":{"a":{"b":true},"c":true}})", {{"b", true}}},
        {R"({"k":{"_a1" :
             false, "1a":true, "x":trueish}})", {{"_a1", false}, {"x", true}}},
        {R"({"k":1,"o":{"k":{"x":true}}})", {{"x", true}}},
        {R"({"k":{}})", {}},
        // A name without its closing quote is no member.
        {R"({"k":{"a :true}})", {}},
        {R"({"k":{"x":true)", {}},
        {R"({"other":{"x":true}})", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(read_flag_object(c.first, "k"), c.second) << c.first;
}

TEST(LongValues, ComeBackWhole) {
    const std::string page = "https://example.org/?q=" + mib;
    EXPECT_EQ(read_string_field(R"({"start-page": ")" + page + R"("})", "start-page"), page);
    std::string escaped;
    for (int i = 0; i < (1 << 19); ++i) escaped += R"(\"\\)";
    EXPECT_EQ(read_string_field(R"({"k":")" + escaped + R"("})", "k").size(), std::size_t{1} << 20);
    EXPECT_EQ(read_scalar_field(R"({"k":")" + mib + R"("})", "k"), mib);
    EXPECT_EQ(read_scalar_field(R"({"k":)" + mib + "}", "k"), mib);
    EXPECT_TRUE(read_flag_field(R"({"k":)" + std::string(1 << 20, ' ') + "1}", "k"));
    std::string members;
    for (int i = 0; i < (1 << 16); ++i) members += R"("m)" + std::to_string(i) + R"(":true,)";
    EXPECT_EQ(read_flag_object(R"({"k":{)" + members + "}}", "k").size(), std::size_t{1} << 16);
}

// Texts built so that a search restarting its scan at every occurrence of the
// key would take hours; the test's time limit catches that.
TEST(LongValues, RepeatedUnfinishedValuesStayLinear) {
    std::string objects, strings, members;
    for (int i = 0; i < 2'000'000; ++i) objects += R"("k":{)";
    for (int i = 0; i < 1'000'000; ++i) strings += "\"k\":\"a\\\n";
    for (int i = 0; i < 2'000'000; ++i) members += R"("a"  ")";
    EXPECT_TRUE(read_flag_object(objects, "k").empty());
    EXPECT_EQ(read_string_field(strings, "k"), "");
    EXPECT_TRUE(read_flag_object(R"({"k":{)" + members + "}", "k").empty());
    EXPECT_FALSE(has_field(std::string(10 << 20, '"'), "k"));
}

} // namespace
