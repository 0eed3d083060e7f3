#include "plugin/entry/effect_commands.h"
#include "varnmoor/varnmoor_commands.h"

namespace tavrel {

CommandDispatcher build_effect_commands() { return varnmoor::build_commands(); }

}  // namespace tavrel
