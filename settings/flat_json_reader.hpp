#pragma once

// Pulls single values out of a flat JSON text without parsing it into a tree.
// Each read finds the leftmost place where `"key"` followed by the read's value
// form matches, at any depth, exactly as an ECMAScript regular-expression search
// for that pattern would; nothing is reported, an unusable value reads as empty.
// Keys hold only lower-case letters, digits, '-' and '_'.

#include "common/records.hpp"

#include <string>

// "key" \s* : \s* "( (\\.|[^"\\])* )" -- the string's contents, unescaped.
std::string read_string_field(const std::string& text, const std::string& key);
// "key" \s* : \s* ( "([^"]*)" | ([^\s,}\]]+) ) -- raw quoted contents or bare text.
std::string read_scalar_field(const std::string& text, const std::string& key);
// "key" \s* : -- whether the key is set at all, whatever its value.
bool has_field(const std::string& text, const std::string& key);
// read_scalar_field gives exactly "true" or "1".
bool read_flag_field(const std::string& text, const std::string& key);
// The bare true/false members of the key's object value, up to its first '}'.
FlagMap read_flag_object(const std::string& text, const std::string& key);
