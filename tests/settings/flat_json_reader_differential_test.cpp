// The reader must return what the ECMAScript regular-expression search of each
// read's pattern returns. std::regex serves as the reference here only, on
// short texts where its recursion is harmless.

#include "settings/flat_json_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Pieces that meet each rule of the patterns: quotes, escapes, a backslash
// before a line break, every kind of white space, braces, brackets, keys
// (repeated, nested, hyphenated, prefixed), and flag-like values.
const std::vector<std::string> pieces = {
    "\"", "\\", "\\\"", "\\\\", "\\/", "\\n", "\\u00e9", "\\q", "\\\n", "\\\r", "{", "}", "[", "]", ",",
    ":", " ", "\t", "\n", "\r", "\v", "\f", "\"k\"", "\"k\":", "\"k\" :\n", "\"k\":\"", "\"k\":{", "k\":", "\"kk\"",
    "\"a\"", "\"a\":", "\"a\":true", "\"b-c\":false", "\"_x1\":", "\"1a\"", "true", "false", "1", "null", "True",
    "x", "\xC3\xA9", "\0"s,
};

const std::vector<std::string> keys = {"k", "a", "b-c", ""};

// What an object's member list is made of, for texts that open with one.
const std::vector<std::string> member_pieces = {
    "\"", "\\\"", "{", "}", ",", ":", " ", "\n", "\v", "\"a\"", "\"a\":", "\"b-c\":", "\"_x1\":", "\"1a\":",
    "a", "true", "false", "True", "1", "\"true\"", "\"a\":true", "\"a\":false",
};
const std::vector<std::string> object_openers = {"\"k\":{", "{\"k\" :\n{", "\"k\":1,\"k\":{"};

// A third of the texts open with an object of the key "k". Half draw from a
// few pieces only, so that rare neighbours (two members back to back, a key
// sharing a quote) turn up often enough.
std::string generate(std::mt19937& random) {
    const bool object = random() % 3 == 0;
    std::vector<std::string> palette = object ? member_pieces : pieces;
    if (random() % 2 == 0) {
        std::shuffle(palette.begin(), palette.end(), random);
        palette.resize(6);
    }
    std::string text = object ? object_openers[random() % object_openers.size()] : "";
    for (auto count = random() % 24; count > 0; --count) text += palette[random() % palette.size()];
    return text;
}

std::string reference_unescape(const std::string& run) {
    const std::string from = "\"/\\bfnrt", to = "\"/\\\b\f\n\r\t";
    std::string out;
    for (std::size_t i = 0; i < run.size(); ++i) {
        const auto escape = i + 1 < run.size() && run[i] == '\\' ? from.find(run[i + 1]) : std::string::npos;
        out += escape == std::string::npos ? run[i] : to[escape];
        if (escape != std::string::npos) ++i;
    }
    return out;
}

struct Reference {
    std::regex string_field, scalar_field, key, object;
};

Reference reference_for(const std::string& key) {
    const std::string head = "\"" + key;
    return {std::regex(head + R"re("\s*:\s*"((?:\\.|[^"\\])*)")re"),
            std::regex(head + R"re("\s*:\s*(?:"([^"]*)"|([^\s,}\]]+)))re"), std::regex(head + R"re("\s*:)re"),
            std::regex(head + R"re("\s*:\s*\{([^}]*)\})re")};
}

FlagMap reference_flag_object(const std::string& text, const std::regex& object) {
    static const std::regex member(R"re("([a-zA-Z_][a-zA-Z_0-9]*)"\s*:\s*(true|false))re");
    FlagMap flags;
    std::smatch match;
    if (!std::regex_search(text, match, object)) return flags;
    const std::string body = match[1].str();
    for (std::sregex_iterator it(body.begin(), body.end(), member), end; it != end; ++it)
        flags[(*it)[1].str()] = (*it)[2] == "true";
    return flags;
}

std::string printable(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else out += "<" + std::to_string(c) + ">";
    }
    return out;
}

TEST(FlatJsonReaderDifferential, AgreesWithTheRegularExpressionSearch) {
    std::vector<Reference> references;
    for (const auto& key : keys) references.push_back(reference_for(key));
    std::mt19937 random(20240611);
    for (int round = 0; round < 4000; ++round) {
        const std::string text = generate(random);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const std::string& key = keys[k];
            const Reference& ref = references[k];
            SCOPED_TRACE("key \"" + key + "\" in " + printable(text));
            std::smatch match;
            const bool string_found = std::regex_search(text, match, ref.string_field);
            ASSERT_EQ(read_string_field(text, key), string_found ? reference_unescape(match[1].str()) : "");
            std::string scalar;
            if (std::regex_search(text, match, ref.scalar_field)) scalar = match[match[1].matched ? 1 : 2].str();
            ASSERT_EQ(read_scalar_field(text, key), scalar);
            ASSERT_EQ(read_flag_field(text, key), scalar == "true" || scalar == "1");
            ASSERT_EQ(has_field(text, key), std::regex_search(text, ref.key));
            ASSERT_EQ(read_flag_object(text, key), reference_flag_object(text, ref.object));
        }
    }
}

} // namespace
