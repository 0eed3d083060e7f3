#pragma once

#include "plugin/command_dispatcher.h"

namespace tavrel {

// The command table of the effect this library is; each effect library
// defines it once.
CommandDispatcher build_effect_commands();

// The first effect's table.
CommandDispatcher build_lattix_pro_commands();

}  // namespace tavrel
