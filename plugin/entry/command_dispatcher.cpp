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

// An engine failure as a user reads it: the engine's texts lead with the
// source file and line that raised them ("Gl error (FILE:LINE): TEXT",
// "FILE: LINE TEXT"), which say nothing to a user.
std::string user_text(const std::string& text) {
    static const std::string kGl = "Gl error (";
    if (text.rfind(kGl, 0) == 0) {
        const size_t end = text.find("): ");
        if (end != std::string::npos) return "OpenGL failed: " + text.substr(end + 3);
    }
    const size_t colon = text.find(": ");
    if (colon == std::string::npos || text.find(' ') < colon) return text;
    const std::string file = text.substr(0, colon);
    const auto ends = [&](const char* e) {
        const std::string x(e);
        return file.size() > x.size() && file.compare(file.size() - x.size(), x.size(), x) == 0;
    };
    if (!ends(".cpp") && !ends(".h")) return text;
    size_t at = colon + 2;
    const size_t digits = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == digits || at >= text.size() || text[at] != ' ') return text;
    return "OpenGL failed: " + text.substr(at + 1);
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
            write_return_message(in_data, out_data, user_text(e.what()));
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
