#include "plugin/entry/effect_commands.h"
#include "varnmoor/banner_only_interface.h"
#include "varnmoor/param_reactions.h"
#include "varnmoor/varnmoor_about.h"
#include "varnmoor/varnmoor_commands.h"
#include "varnmoor/varnmoor_params.h"

namespace tavrel::varnmoor {

CommandDispatcher build_commands() {
    EffectHandlers own;
    own.about = varnmoor::about;
    own.params_setup = varnmoor::run_parameter_groups;
    own.user_changed_param = varnmoor::user_changed_param;
    own.update_params_ui = varnmoor::update_param_ui;
    own.event = varnmoor::handle_event;
    return build_shared_commands(description(), own);
}

}  // namespace tavrel::varnmoor
