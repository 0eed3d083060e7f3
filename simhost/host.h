// The simulated host: the callbacks and suites an effect is handed, and a
// strict caller of its entry point that checks, after every command, what a
// careful host would check.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/host_effect.h"
#include "simhost/drawbot_recorder.h"
#include "simhost/effect_streams.h"
#include "simhost/handle_heap.h"
#include "simhost/host_trace.h"
#include "simhost/param_store.h"
#include "simhost/param_utils.h"
#include "simhost/plugin_library.h"
#include "simhost/render_session.h"
#include "simhost/scene.h"
#include "simhost/scene_suites.h"
#include "simhost/suite_registry.h"
#include "simhost/worlds.h"

namespace simhost {

// The heap policy of a host that renders frame after frame, set once for
// the process (every Host sets it; a program that starts threads first sets
// it before them): every thread allocates from one heap, blocks under
// 32 MiB come from it, and up to 64 MiB of freed heap stays with the
// process.
void set_frame_heap_policy();

struct CallResult {
    PF_Err err = 0;
    std::string message;  // return_msg as the effect left it
};

// "WHAT failed with error N: MESSAGE"; without the code where it is 0, and
// without the message where there is none.
std::string failure(const std::string& what, PF_Err err, const std::string& message);

// SimhostError with failure()'s text unless the command returned 0 and no
// message.
void require_success(const CallResult& r, const std::string& what);

struct Preference {
    std::string section;
    std::string key;
    int32_t value;
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The one live host; the suites' C functions reach their host through it.
    static Host& current();

    void load(const std::string& plugin_path);
    // The effect of the file, entered through an entry point linked into
    // this program (see PluginLibrary).
    void load_linked(const std::string& plugin_path, PF_EntryPointFunc entry);
    // Unloads the plug-in and records every handle still alive as a leak:
    // the effect disposes its global and sequence handles at set-down, and
    // the host disposes its arbitrary-data values through the effect.
    void unload();
    PluginLibrary& plugin();
    bool loaded() const { return plugin_ != nullptr; }

    // Calls the entry point with the presets and checks of a strict host.
    CallResult call(PF_Cmd cmd, PF_ParamDef* params[] = nullptr, PF_LayerDef* output = nullptr,
                    void* extra = nullptr);

    // Runs fn(in_data, out_data) in place of the entry point, with the same
    // presets and checks: for driving an effect's functions directly.
    CallResult call_with(const std::function<PF_Err(PF_InData*, PF_OutData*)>& fn);

    PF_InData& in_data() { return in_data_; }
    PF_OutData& out_data() { return out_.data; }
    SuiteRegistry& suites() { return suites_; }
    DrawbotRecorder& drawbot() { return drawbot_; }
    // Failures of new_handle and lock_handle are injected through suites()
    // under the names "host_new_handle" and "host_lock_handle".
    HandleHeap& handles() { return handles_; }
    // The parameters of the last parameter set-up.
    ParamStore& params() { return params_; }
    // The interface updates the effect made.
    ParamUIRecorder& param_ui() { return param_ui_; }
    // Effect references and effect streams handed out.
    EffectStreams& effect_streams() { return effect_streams_; }
    // The composition the effect sits in, and what the effect holds of it.
    Scene& scene() { return scene_; }
    StreamBook& streams() { return streams_; }
    Worlds& worlds() { return worlds_; }
    // Render phases and parameter checkouts.
    RenderSession& render() { return render_; }
    // The host-call log; off until switched on.
    HostTrace& trace() { return trace_; }
    // Logs a command that returned: its name (with the selector of an
    // arbitrary-data callback), result and message.
    void trace_command(PF_Cmd cmd, const void* extra, const CallResult& result);

    // A window context of the given kind (PF_Window_...).
    PF_ContextH context(int32_t window_type);

    // Everything a strict host found wrong so far, in order.
    const std::vector<std::string>& violations() const { return violations_; }
    void clear_violations() { violations_.clear(); }
    // A fault the caller found, reported with the host's own.
    void add_violation(const std::string& v) { violations_.push_back(v); }
    // Undo groups the effect opened and has not closed, innermost last.
    std::vector<std::string>& open_undo_groups() { return open_undo_groups_; }

    // Host-side records.
    std::vector<std::string> registrations;
    std::vector<Preference> preferences;
    std::vector<std::pair<std::string, std::string>> info_lines;
    // Every undo group opened, in order, closed or not.
    std::vector<std::string> undo_groups;
    int32_t next_plugin_id = 1;

private:
    void preset();
    void check_after(PF_Cmd cmd);

    struct OutBlock {
        PF_OutData data;
        // Catches a return message written past its 256 bytes.
        uint8_t canary[512];
    };

    SuiteRegistry suites_;
    DrawbotRecorder drawbot_;
    ParamUIRecorder param_ui_;
    EffectStreams effect_streams_;
    HandleHeap handles_;
    SPBasicSuite basic_{};
    PF_UtilCallbacks utils_{};
    PF_InData in_data_{};
    OutBlock out_{};
    PF_ContextOpaque contexts_[3]{};
    std::unique_ptr<PluginLibrary> plugin_;
    std::vector<std::string> violations_;
    HostTrace trace_;
    std::vector<std::string> open_undo_groups_;
    ParamStore params_{[this](PF_Handle h) { handles_.dispose(h); }};
    Scene scene_;
    StreamBook streams_;
    Worlds worlds_;
    RenderSession render_{*this};
};

const char* command_name(PF_Cmd cmd);

}  // namespace simhost
