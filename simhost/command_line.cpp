#include "simhost/command_line.h"

#include <algorithm>
#include <cstring>

#include "simhost/host_files.h"

namespace simhost {

namespace {

// Every verb takes these two; main() takes them out before a verb reads its
// arguments.
const Option kVerbose{"--verbose", "",
                      "the effect's debugger output (shader compiles, failures) on standard error"};
const Option kHelp{"--help", "", "this text"};

std::string option_words(const Option& o) { return *o.value ? std::string(o.name) + " " + o.value : o.name; }

}  // namespace

bool CommandLine::has(const std::string& option) const {
    return std::any_of(given.begin(), given.end(), [&](const auto& g) { return g.first == option; });
}

std::string CommandLine::value(const std::string& option) const {
    const auto last = std::find_if(given.rbegin(), given.rend(), [&](const auto& g) { return g.first == option; });
    return last == given.rend() ? std::string() : last->second;
}

std::vector<std::string> CommandLine::values(const std::string& option) const {
    std::vector<std::string> all;
    for (const auto& [name, value] : given)
        if (name == option) all.push_back(value);
    return all;
}

std::string verb_usage(const Verb& verb) {
    std::vector<Option> options = verb.options;
    options.push_back(kVerbose);
    options.push_back(kHelp);
    size_t width = 0;
    for (const Option& o : options) width = std::max(width, option_words(o).size());
    std::string text = std::string("usage: simhost ") + verb.name + " PLUGIN.so [options]\n" + verb.summary + "\n";
    for (const Option& o : options) {
        const std::string words = option_words(o);
        text += "  " + words + std::string(width - words.size() + 2, ' ') + o.text + "\n";
    }
    return text;
}

std::string general_usage(const std::vector<Verb>& verbs) {
    std::string text = "usage: simhost VERB PLUGIN.so [options]\n";
    for (const Verb& v : verbs) text += "  " + std::string(v.name) + std::string(8 - std::strlen(v.name), ' ') + v.summary + "\n";
    text += "simhost VERB --help lists the verb's options; every verb takes --verbose.\n";
    return text;
}

CommandLine read_command_line(const Verb& verb, const Args& args) {
    const auto known = [&](const std::string& word) {
        return std::find_if(verb.options.begin(), verb.options.end(),
                            [&](const Option& o) { return word == o.name; });
    };
    // The words alone first: a misspelt option is named, with the usage,
    // whatever the values around it. Values are skipped, whatever they look
    // like.
    for (size_t i = 0; i < args.size(); ++i) {
        if (i == 0 && args[i].rfind("--", 0) != 0) continue;
        const auto option = known(args[i]);
        if (option == verb.options.end()) throw UsageError("unknown option " + echo(args[i]));
        if (i == 0) throw UsageError(std::string(verb.name) + " takes the plug-in path before its options");
        if (*option->value) ++i;
    }
    if (args.empty())
        throw SimhostError(std::string(verb.name) + (verb.options.empty() ? " takes one plug-in path"
                                                                          : " takes a plug-in path"));
    CommandLine line;
    line.plugin = args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        const Option& option = *known(args[i]);
        if (!*option.value) {
            line.given.emplace_back(args[i], std::string());
            continue;
        }
        if (i + 1 >= args.size()) throw SimhostError("option " + args[i] + " needs a value");
        const std::string& value = args[++i];
        if (option.check != nullptr) option.check(option.name, value);
        line.given.emplace_back(option.name, value);
    }
    return line;
}

bool parse_whole(const std::string& text, int64_t min, int64_t max, int64_t* out) {
    const size_t digits = !text.empty() && text[0] == '-' && min < 0 ? 1 : 0;
    // Eighteen digits stay within a 64-bit number; more are out of range.
    if (text.size() == digits || text.size() - digits > 18 ||
        text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    const int64_t v = std::stoll(text);
    if (v < min || v > max) return false;
    *out = v;
    return true;
}

int32_t whole_option(const std::string& option, const std::string& text, int32_t min, int32_t max) {
    int64_t v = 0;
    if (!parse_whole(text, min, max, &v))
        throw SimhostError(option + " takes a whole number from " + std::to_string(min) + " to " +
                           std::to_string(max) + ", not \"" + echo(text) + "\"");
    return int32_t(v);
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace simhost
