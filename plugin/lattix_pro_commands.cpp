#include "plugin/about.h"
#include "plugin/effect_commands.h"

namespace tavrel {

CommandDispatcher build_lattix_pro_commands() {
    CommandDispatcher d;
    d.add(PF_Cmd_ABOUT, about);
    return d;
}

}  // namespace tavrel
