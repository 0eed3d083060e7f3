// The command line of simhost's verbs: each verb's options in one table, from
// which its usage is written and its arguments are read.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "simhost/simhost_error.h"

namespace simhost {

using Args = std::vector<std::string>;

// A wrong command line: the message, then the verb's usage; status 2.
class UsageError : public SimhostError {
public:
    using SimhostError::SimhostError;
};

// Throws SimhostError naming the option and the value it cannot take.
using OptionCheck = void (*)(const std::string& option, const std::string& value);

// One option of a verb, as its usage lists it: the name, the value it takes
// (empty for a switch), what it does, and the check its value must pass.
struct Option {
    const char* name;
    const char* value;
    const char* text;
    OptionCheck check = nullptr;
};

// A verb's arguments once read: the plug-in path, then the options given, in
// their order, switches with an empty value.
struct CommandLine {
    std::string plugin;
    std::vector<std::pair<std::string, std::string>> given;

    bool has(const std::string& option) const;
    // The last value given, or empty.
    std::string value(const std::string& option) const;
    // Every value given, in order.
    std::vector<std::string> values(const std::string& option) const;
};

struct Verb {
    const char* name;
    const char* summary;
    std::vector<Option> options;
    int (*run)(const CommandLine&);
};

std::string verb_usage(const Verb& verb);
std::string general_usage(const std::vector<Verb>& verbs);

// The plug-in path comes first, then options only: refuses (UsageError) a
// word where an option belongs that the verb does not list and an option in
// the path's place, before any value is judged; then (SimhostError) a
// missing path, an option without its value and a value its check refuses,
// in the order given.
CommandLine read_command_line(const Verb& verb, const Args& args);

// A whole number as every numeric option takes it: decimal digits, a minus
// sign first only where `min` is below 0, nothing else (no plus sign, space,
// fraction or exponent), from `min` to `max`. False otherwise.
bool parse_whole(const std::string& text, int64_t min, int64_t max, int64_t* out);

// The value of `option` as parse_whole reads it; SimhostError naming the
// option, the range and the value otherwise.
int32_t whole_option(const std::string& option, const std::string& text, int32_t min, int32_t max);

bool ends_with(const std::string& text, const std::string& end);

}  // namespace simhost
