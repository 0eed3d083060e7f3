#pragma once

#include "plugin/core/effect_description.h"
#include "plugin/entry/command_dispatcher.h"

namespace tavrel {

// The command table of the effect this library is; each effect library
// defines it once.
CommandDispatcher build_effect_commands();

// The handlers in which the effects differ.
struct EffectHandlers {
    CommandHandler about;
    CommandHandler params_setup;
    CommandHandler user_changed_param;
    CommandHandler update_params_ui;
    CommandHandler event;
};

// The table both effects answer through: the life cycle, the grid's
// arbitrary data and the render road of the shell, bound to the effect's
// description, and the effect's own handlers.
CommandDispatcher build_shared_commands(const EffectDescription& effect, const EffectHandlers& own);

// The first effect's table.
CommandDispatcher build_lattix_pro_commands();

}  // namespace tavrel
