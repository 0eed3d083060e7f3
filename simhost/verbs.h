// simhost's verbs, each run from its arguments as read by its table in
// main.cpp, and the checks of values that more than one verb takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simhost/command_line.h"

namespace simhost {

class Host;
class ParamValues;
class RenderDriver;
struct ParamValue;
struct RenderSetup;

int verb_info(const CommandLine& line);
int verb_about(const CommandLine& line);
int verb_params(const CommandLine& line);
int verb_grid(const CommandLine& line);
int verb_render(const CommandLine& line);
int verb_ui(const CommandLine& line);

// Value checks of the option table.
void check_path_option(const std::string& option, const std::string& value);
void check_edit_option(const std::string& option, const std::string& value);
void check_grid_count(const std::string& option, const std::string& value);
void check_bpc(const std::string& option, const std::string& value);
void check_size(const std::string& option, const std::string& value);
void check_window(const std::string& option, const std::string& value);
void check_click(const std::string& option, const std::string& value);
void check_drag(const std::string& option, const std::string& value);
void check_png(const std::string& option, const std::string& value);

// The instance a render or ui run sets up, from the options both take
// (--scene, --set, --grid) and render's own (--input, --size).
RenderSetup render_setup(const CommandLine& line);
// The effect's message from its global set-up (an engine that could not
// start), shown as the run goes on.
void report_setup_message(const RenderDriver& driver);

// A strict host fails the run when the effect broke a rule, even if the
// command itself succeeded: 1 then, after naming each broken rule.
int finish(const Host& host);

// Prints the grid from the flattened form the effect wrote: what the host
// stores is what the user sees.
void print_grid(const std::vector<uint8_t>& flat);

// Prints a "changed" line for each parameter whose value differs from
// `before` (the grid parameter's from the grid compare's answer).
void print_changed_params(Host& host, ParamValues& values, const std::vector<ParamValue>& before,
                          int32_t grid_index, bool grid_changed);

}  // namespace simhost
