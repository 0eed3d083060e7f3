#include "plugin/entry/effect_commands.h"

namespace tavrel {

CommandDispatcher build_effect_commands() { return build_lattix_pro_commands(); }

}  // namespace tavrel
