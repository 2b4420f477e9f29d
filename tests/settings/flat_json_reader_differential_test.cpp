// The reader must return what the ECMAScript regular-expression search of each
// read's pattern returns. std::regex serves as the reference here only, on
// short texts where its recursion is harmless.

#include "settings/flat_json_reader.hpp"
#include "tests/settings/flat_json_reader_reference.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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
            ASSERT_EQ(read_string_field(text, key), reference_string_field(text, ref));
            const std::string scalar = reference_scalar_field(text, ref);
            ASSERT_EQ(read_scalar_field(text, key), scalar);
            ASSERT_EQ(read_flag_field(text, key), scalar == "true" || scalar == "1");
            ASSERT_EQ(has_field(text, key), std::regex_search(text, ref.key));
            ASSERT_EQ(read_flag_object(text, key), reference_flag_object(text, ref.object));
        }
    }
}

} // namespace
