#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The words of one quillmark-cli command: "--name value" options, "--flag"s and the other
// words in their order. Option names are given without their dashes.
class CCliArguments {
public:
    // False, with the reason in Error(), for an option that is neither valued nor a flag, or a
    // valued option at the end of the line.
    bool Parse(const std::vector<std::string>& args, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags = {});
    const std::string& Error() const { return m_error; }

    bool Has(const std::string& name) const { return m_options.count(name) != 0; }
    // The option's value ("" for a flag), or the fallback when it was not given.
    std::string Get(const std::string& name, const std::string& fallback = {}) const;

    std::vector<std::string> positional;

    // The one reader of the numbers of the command line: decimal digits (with a leading "-"
    // only), from min to max. Anything else - a "+", a blank, a fraction, a number too big for
    // its field - is nothing, for the command to refuse with its message.
    static std::optional<long long> ParseNumber(std::string_view text, long long min,
                                                long long max);
    // The same into an int field.
    static bool ParseNumber(std::string_view text, int min, int max, int& value);

private:
    std::map<std::string, std::string> m_options;
    std::string m_error;
};
