#include "plugin/entry/command_dispatcher.h"

#include <exception>
#include <string>

#include "engine/core/abort_exception.h"
#include "engine/core/engine_errors.h"
#include "hostaccess/plugin_errors.h"
#include "plugin/core/return_message.h"

namespace tavrel {

void CommandDispatcher::add(PF_Cmd cmd, CommandHandler handler) {
    table_[cmd] = std::move(handler);
}

bool CommandDispatcher::has_handler(PF_Cmd cmd) const { return table_.count(cmd) != 0; }

PF_Err CommandDispatcher::invoke_command_handler(PF_Cmd cmd, PF_InData* in_data,
                                                 PF_OutData* out_data, PF_ParamDef* params[],
                                                 PF_LayerDef* output, void* extra) const {
    const auto it = table_.find(cmd);
    if (it == table_.end()) return PF_Err_NONE;
    return it->second(in_data, out_data, params, output, extra);
}

PF_Err CommandDispatcher::dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                   PF_ParamDef* params[], PF_LayerDef* output,
                                   void* extra) const noexcept {
    PF_Err err = PF_Err_NONE;
    try {
        err = invoke_command_handler(cmd, in_data, out_data, params, output, extra);
    } catch (...) {
        err = map_current_exception(in_data, out_data);
    }
    return err;
}

namespace {

// An engine failure as a user reads it: the source place an engine error
// carries is for the debugger output, not for the host's message.
const char* user_text(const std::exception& e) {
    const auto* placed = dynamic_cast<const PlacedError*>(&e);
    return placed != nullptr && !placed->user_text().empty() ? placed->user_text().c_str() : e.what();
}

}  // namespace

PF_Err map_current_exception(const PF_InData* in_data, PF_OutData* out_data) noexcept {
    // Copying the message can run out of memory; the entry point must still
    // return, and must not report success.
    try {
        try {
            throw;
        } catch (const TooManyShadowCasters& e) {
            write_return_message(in_data, out_data, e.what());
            return PF_Err_NONE;
        } catch (const long& code) {
            return PF_Err(code);
        } catch (const IAbortException& e) {
            return PF_Err(e.code());
        } catch (const PFErrException& e) {
            return e.err;
        } catch (const PluginOutOfMemoryError&) {
            return PF_Err_OUT_OF_MEMORY;
        } catch (const PluginError& e) {
            write_return_message(in_data, out_data, e.what());
            return PF_Err_NONE;
        } catch (const std::exception& e) {
            write_return_message(in_data, out_data, user_text(e));
            return PF_Err_NONE;
        } catch (...) {
            write_return_message(in_data, out_data, "Unknown Error");
            return PF_Err_NONE;
        }
    } catch (...) {
        return PF_Err_OUT_OF_MEMORY;
    }
}

}  // namespace tavrel
