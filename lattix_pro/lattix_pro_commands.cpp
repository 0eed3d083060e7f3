#include "lattix_pro/lattix_pro_params.h"
#include "lattix_pro/lattix_pro_ui.h"
#include "lattix_pro/param_reactions.h"
#include "plugin/entry/effect_commands.h"
#include "plugin/suites/about.h"

namespace tavrel {

CommandDispatcher build_lattix_pro_commands() {
    EffectHandlers own;
    own.about = about;
    own.params_setup = run_parameter_groups;
    own.user_changed_param = user_changed_param;
    own.update_params_ui = update_param_ui;
    own.event = lattix_pro_event;
    return build_shared_commands(lattix_pro_description(), own);
}

}  // namespace tavrel
