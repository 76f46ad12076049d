#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

// The JSON value of a --json answer; objects keep their keys in the order they were added.
using CliJson = nlohmann::ordered_json;

// The value on one line, as every --json answer prints it: ", " between members and elements,
// ": " after a key, strings escaped by the JSON library (bytes that are not UTF-8 become U+FFFD).
std::string CliJsonText(const CliJson& value);
// The value and a line break.
void PrintJson(std::ostream& out, const CliJson& value);
