// The second effect's command table.
#pragma once

#include "plugin/entry/command_dispatcher.h"

namespace tavrel::varnmoor {

CommandDispatcher build_commands();

}  // namespace tavrel::varnmoor
