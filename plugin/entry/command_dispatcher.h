// One table from host command number to handler, and the one place where
// exceptions become host error codes or return messages.
#pragma once

#include <functional>
#include <map>

#include "hostapi/host_effect.h"

namespace tavrel {

using CommandHandler = std::function<PF_Err(PF_InData* in_data, PF_OutData* out_data,
                                            PF_ParamDef* params[], PF_LayerDef* output,
                                            void* extra)>;

class CommandDispatcher {
public:
    // Later registrations of a command replace earlier ones.
    void add(PF_Cmd cmd, CommandHandler handler);
    bool has_handler(PF_Cmd cmd) const;

    // Runs the handler of cmd inside the failure mapping; never throws.
    PF_Err dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output, void* extra) const noexcept;

    // A command without a handler succeeds without work.
    PF_Err invoke_command_handler(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                  PF_ParamDef* params[], PF_LayerDef* output, void* extra) const;

private:
    std::map<PF_Cmd, CommandHandler> table_;
};

// Maps the exception in flight to the command's result; call only inside a
// catch block. Writes the message of the message-bearing kinds into
// out_data->return_msg.
PF_Err map_current_exception(const PF_InData* in_data, PF_OutData* out_data) noexcept;

}  // namespace tavrel
