#include "simhost/host.h"

#include <malloc.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "hostapi/host_world_suites.h"
#include "simhost/simhost_error.h"

namespace simhost {
namespace {

std::atomic<Host*> g_current{nullptr};
constexpr uint8_t kCanary = 0xA5;

SPErr acquire_suite(const char* name, int32_t version, const void** suite) {
    return Host::current().suites().acquire(name, version, suite);
}

SPErr release_suite(const char* name, int32_t version) {
    Host& host = Host::current();
    const SPErr err = host.suites().release(name, version);
    if (err != 0) return err;
    // An injected failure reports after the release took place, so the
    // effect sees the failure while the books stay balanced.
    return host.suites().fault("ReleaseSuite");
}

// Unbounded like a real host's: overruns are caught by the canary behind
// the return message instead.
A_long ansi_sprintf(char* buffer, const char* format, ...) {
    if (A_Err e = Host::current().suites().fault("sprintf")) return -e;
    va_list args;
    va_start(args, format);
    const int n = std::vsprintf(buffer, format, args);
    va_end(args);
    return n;
}

char* ansi_strcpy(char* dst, const char* src) {
    Host::current().suites().fault("strcpy");
    return std::strcpy(dst, src);
}

PF_Handle host_new_handle(uint64_t size) {
    Host& host = Host::current();
    if (host.suites().fault("host_new_handle")) return nullptr;
    return host.handles().allocate(size, "effect");
}

void* host_lock_handle(PF_Handle h) {
    Host& host = Host::current();
    if (host.suites().fault("host_lock_handle")) return nullptr;
    return host.handles().lock(h);
}

void host_unlock_handle(PF_Handle h) { Host::current().handles().unlock(h); }

void host_dispose_handle(PF_Handle h) { Host::current().handles().dispose(h); }

A_Err register_with_aegp(AEGP_GlobalRefcon, const char* name, AEGP_PluginID* id) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_RegisterWithAEGP")) return e;
    if (name == nullptr || id == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    host.registrations.push_back(name);
    *id = host.next_plugin_id++;
    return 0;
}

A_Err start_undo_group(const char* name) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_StartUndoGroup")) return e;
    host.open_undo_groups().push_back(name ? name : "");
    host.undo_groups.push_back(name ? name : "");
    host.trace().add("undo group " + HostTrace::quoted(name ? name : ""));
    return 0;
}

// An injected failure reports after the group was closed, as a host that
// failed late would, so that the books stay balanced.
A_Err end_undo_group() {
    Host& host = Host::current();
    if (host.open_undo_groups().empty()) {
        host.add_violation("an undo group was ended without one open");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    host.open_undo_groups().pop_back();
    host.trace().add("undo group end");
    return host.suites().fault("AEGP_EndUndoGroup");
}

int g_application_blob;

A_Err get_application_blob(AEGP_PersistentBlobH* blob) {
    if (A_Err e = Host::current().suites().fault("AEGP_GetApplicationBlob")) return e;
    *blob = reinterpret_cast<AEGP_PersistentBlobH>(&g_application_blob);
    return 0;
}

A_Err set_long(AEGP_PersistentBlobH blob, const char* section, const char* key, A_long value) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_SetLong")) return e;
    if (blob != reinterpret_cast<AEGP_PersistentBlobH>(&g_application_blob) || section == nullptr ||
        key == nullptr)
        return PF_Err_BAD_CALLBACK_PARAM;
    host.preferences.push_back({section, key, value});
    return 0;
}

PF_Err info_draw_text(const char* line1, const char* line2) {
    Host& host = Host::current();
    if (PF_Err e = host.suites().fault("PF_InfoDrawText")) return e;
    host.info_lines.emplace_back(line1 ? line1 : "", line2 ? line2 : "");
    return 0;
}

PF_Err get_drawing_reference(PF_ContextH context, DRAWBOT_DrawRef* ref) {
    Host& host = Host::current();
    if (PF_Err e = host.suites().fault("PF_GetDrawingReference")) return e;
    if (context == nullptr || ref == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *ref = host.drawbot().draw_ref();
    return 0;
}

PF_Err add_param(PF_ProgPtr, int32_t index, PF_ParamDef* def) {
    Host& host = Host::current();
    if (PF_Err e = host.suites().fault("add_param")) return e;
    const PF_Err err = host.params().add(index, def);
    // From here on the default is the host's to dispose.
    if (err == PF_Err_NONE && def->param_type == PF_Param_ARBITRARY_DATA &&
        host.handles().live(def->u.arb_d.dephault))
        host.handles().set_owner(def->u.arb_d.dephault, "parameter default");
    return err;
}

const PF_ANSISuite1 kAnsiSuite{ansi_sprintf, ansi_strcpy};
const AEGP_UtilitySuite11 kUtilitySuite{register_with_aegp, start_undo_group, end_undo_group};
const AEGP_PersistentDataSuite3 kPersistentSuite{get_application_blob, set_long};
const PF_AdvAppSuite2 kAdvAppSuite{info_draw_text};
const PF_EffectCustomUISuite1 kCustomUISuite{get_drawing_reference};

}  // namespace

std::string failure(const std::string& what, PF_Err err, const std::string& message) {
    // A refusal with a message comes with code 0: the message is the
    // answer, and a code of 0 says nothing.
    std::string text = what + " failed";
    if (err != 0) text += " with error " + std::to_string(err);
    if (!message.empty()) text += ": " + message;
    return text;
}

void require_success(const CallResult& r, const std::string& what) {
    if (r.err != 0 || !r.message.empty()) throw SimhostError(failure(what, r.err, r.message));
}

const char* command_name(PF_Cmd cmd) {
    switch (cmd) {
        case PF_Cmd_ABOUT: return "ABOUT";
        case PF_Cmd_GLOBAL_SETUP: return "GLOBAL_SETUP";
        case PF_Cmd_GLOBAL_SETDOWN: return "GLOBAL_SETDOWN";
        case PF_Cmd_PARAMS_SETUP: return "PARAMS_SETUP";
        case PF_Cmd_SEQUENCE_SETUP: return "SEQUENCE_SETUP";
        case PF_Cmd_SEQUENCE_RESETUP: return "SEQUENCE_RESETUP";
        case PF_Cmd_SEQUENCE_FLATTEN: return "SEQUENCE_FLATTEN";
        case PF_Cmd_SEQUENCE_SETDOWN: return "SEQUENCE_SETDOWN";
        case PF_Cmd_FRAME_SETUP: return "FRAME_SETUP";
        case PF_Cmd_RENDER: return "RENDER";
        case PF_Cmd_FRAME_SETDOWN: return "FRAME_SETDOWN";
        case PF_Cmd_USER_CHANGED_PARAM: return "USER_CHANGED_PARAM";
        case PF_Cmd_UPDATE_PARAMS_UI: return "UPDATE_PARAMS_UI";
        case PF_Cmd_EVENT: return "EVENT";
        case PF_Cmd_GET_EXTERNAL_DEPENDENCIES: return "GET_EXTERNAL_DEPENDENCIES";
        case PF_Cmd_ARBITRARY_CALLBACK: return "ARBITRARY_CALLBACK";
        case PF_Cmd_SMART_PRE_RENDER: return "SMART_PRE_RENDER";
        case PF_Cmd_SMART_RENDER: return "SMART_RENDER";
        default: return "command";
    }
}

// With the C library's defaults every freed run above 128 KiB goes back to
// the system and comes back on the next frame a page fault each 4 KiB:
// Mesa's software rasteriser takes and frees its binning memory, 64 KiB
// blocks, tens of megabytes of them a 1080p frame, and whether they went
// back depended on where earlier blocks had happened to land, so the same
// frame took 150 ms in one run and 300 in the next. The thresholds alone
// left one such case: the rasteriser takes those blocks on the thread that
// draws, and a thread's own heap, once every block in it is free, goes back
// to the system whole, whatever the trim threshold; in the runs where the
// blocks had filled a second heap of that thread's, every frame faulted
// its 60 MB in again. One heap for every thread keeps them. It has to be
// set before the first thread other than the main one allocates.
void set_frame_heap_policy() {
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_ARENA_MAX, 1);
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
    });
}

Host::Host() {
    set_frame_heap_policy();
    Host* expected = nullptr;
    if (!g_current.compare_exchange_strong(expected, this))
        throw SimhostError("only one simulated host may exist at a time");

    basic_.AcquireSuite = acquire_suite;
    basic_.ReleaseSuite = release_suite;
    utils_.ansi.sprintf = ansi_sprintf;
    utils_.ansi.strcpy = ansi_strcpy;
    utils_.host_new_handle = host_new_handle;
    utils_.host_lock_handle = host_lock_handle;
    utils_.host_unlock_handle = host_unlock_handle;
    utils_.host_dispose_handle = host_dispose_handle;
    utils_.get_pixel_data8 = Worlds::get_pixel_data8;
    utils_.get_pixel_data16 = Worlds::get_pixel_data16;

    suites_.add(kPFANSISuite, kPFANSISuiteVersion1, &kAnsiSuite);
    suites_.add(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion11, &kUtilitySuite);
    suites_.add(kAEGPPersistentDataSuite, kAEGPPersistentDataSuiteVersion3, &kPersistentSuite);
    suites_.add(kPFAdvAppSuite, kPFAdvAppSuiteVersion2, &kAdvAppSuite);
    suites_.add(kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1, &kCustomUISuite);
    suites_.add(kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1, &DrawbotRecorder::draw_suite());
    suites_.add(kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1, &DrawbotRecorder::supplier_suite());
    suites_.add(kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1, &DrawbotRecorder::surface_suite());
    suites_.add(kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1, &DrawbotRecorder::path_suite());
    ParamUIRecorder::add_suites(suites_);
    EffectStreams::add_suites(suites_);
    add_scene_suites(suites_);
    Worlds::add_suites(suites_);

    in_data_.inter.add_param = add_param;
    in_data_.inter.checkout_param = RenderSession::checkout_param;
    in_data_.inter.checkin_param = RenderSession::checkin_param;
    in_data_.utils = &utils_;
    in_data_.pica_basicP = &basic_;
    in_data_.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
    in_data_.time_scale = 30;
    in_data_.time_step = 1;
    in_data_.downsample_x = {1, 1};
    in_data_.downsample_y = {1, 1};
    in_data_.pixel_aspect_ratio = {1, 1};
    for (int32_t i = 0; i < 3; ++i) contexts_[i].w_type = i;
}

Host::~Host() {
    // Unload before the suites go: a library may still release at unload.
    plugin_.reset();
    g_current.store(nullptr);
}

Host& Host::current() {
    Host* h = g_current.load();
    if (h == nullptr) {
        std::fprintf(stderr, "simhost: a suite was called with no host alive\n");
        std::abort();
    }
    return *h;
}

void Host::load(const std::string& plugin_path) {
    plugin_ = std::make_unique<PluginLibrary>(plugin_path);
}

void Host::load_linked(const std::string& plugin_path, PF_EntryPointFunc entry) {
    plugin_ = std::make_unique<PluginLibrary>(plugin_path, entry);
}

void Host::unload() {
    plugin_.reset();
    // The declared defaults are the host's own; they go with the effect.
    params_.begin();
    for (const auto& s : handles_.leaked()) violations_.push_back("unload: " + s);
}

PluginLibrary& Host::plugin() {
    if (!plugin_) throw SimhostError("no plug-in loaded");
    return *plugin_;
}

PF_ContextH Host::context(int32_t window_type) {
    if (window_type < 0 || window_type > 2) throw SimhostError("unknown window type");
    return &contexts_[window_type];
}

void Host::preset() {
    std::memset(&out_.data, 0, sizeof(out_.data));
    std::memset(out_.canary, kCanary, sizeof(out_.canary));
    out_.data.global_data = in_data_.global_data;
    out_.data.sequence_data = in_data_.sequence_data;
}

void Host::check_after(PF_Cmd cmd) {
    const std::string where = std::string(command_name(cmd)) + ": ";
    if (std::memchr(out_.data.return_msg, 0, sizeof(out_.data.return_msg)) == nullptr)
        violations_.push_back(where + "return message not terminated within 256 bytes");
    for (uint8_t b : out_.canary) {
        if (b != kCanary) {
            violations_.push_back(where + "return message written past its 256 bytes");
            break;
        }
    }
    for (const auto& s : suites_.unbalanced()) violations_.push_back(where + s);
    for (const auto& s : drawbot_.unreleased()) violations_.push_back(where + "drawing object " + s);
    for (const auto& s : handles_.take_misuse()) violations_.push_back(where + s);
    for (const auto& s : handles_.locked()) violations_.push_back(where + s);
    for (const auto& s : effect_streams_.take_outstanding()) violations_.push_back(where + s);
    for (const auto& s : effect_streams_.take_misuse()) violations_.push_back(where + s);
    for (const auto& s : render_.end_of_command()) violations_.push_back(where + s);
    for (const auto& s : streams_.undisposed()) violations_.push_back(where + s);
    for (const auto& s : worlds_.undisposed()) violations_.push_back(where + s);
    // A group left open would swallow the user's next actions into it.
    for (const auto& g : open_undo_groups_) violations_.push_back(where + "undo group \"" + g + "\" left open");
    open_undo_groups_.clear();
    if (out_.data.global_data != nullptr && out_.data.global_data != in_data_.global_data)
        handles_.set_owner(out_.data.global_data, "global data");
    if (out_.data.sequence_data != nullptr && out_.data.sequence_data != in_data_.sequence_data)
        handles_.set_owner(out_.data.sequence_data, "sequence data");
    // Adopt what the effect handed back.
    in_data_.global_data = out_.data.global_data;
    in_data_.sequence_data = out_.data.sequence_data;
}

CallResult Host::call(PF_Cmd cmd, PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
    PF_EntryPointFunc entry = plugin().entry();
    preset();
    if (cmd == PF_Cmd_PARAMS_SETUP) params_.begin();
    CallResult result;
    result.err = entry(cmd, &in_data_, &out_.data, params, output, extra);
    check_after(cmd);
    // A failed set-up is the effect's to report; only a finished one must
    // add up.
    if (cmd == PF_Cmd_PARAMS_SETUP && result.err == PF_Err_NONE) {
        for (const auto& s : params_.check(out_.data.num_params,
                                           expected_param_count(plugin().pipl().match_name)))
            violations_.push_back("PARAMS_SETUP: " + s);
    }
    result.message.assign(out_.data.return_msg,
                          strnlen(out_.data.return_msg, sizeof(out_.data.return_msg)));
    trace_command(cmd, extra, result);
    return result;
}

void Host::trace_command(PF_Cmd cmd, const void* extra, const CallResult& result) {
    if (!trace_.on()) return;
    static const char* const kSelectors[] = {"NEW",    "DISPOSE", "COPY",       "FLAT_SIZE", "FLATTEN", "UNFLATTEN",
                                             "INTERP", "COMPARE", "PRINT_SIZE", "PRINT",     "SCAN"};
    std::string name = command_name(cmd);
    if (cmd == PF_Cmd_ARBITRARY_CALLBACK && extra != nullptr) {
        const PF_FunctionSelector f = static_cast<const PF_ArbParamsExtra*>(extra)->which_function;
        name += std::string(" ") + (f >= 0 && f <= 10 ? kSelectors[f] : std::to_string(f).c_str());
    }
    trace_.add("command " + name + " -> " + std::to_string(result.err) +
               (result.message.empty() ? "" : " " + HostTrace::quoted(result.message)));
}

CallResult Host::call_with(const std::function<PF_Err(PF_InData*, PF_OutData*)>& fn) {
    preset();
    CallResult result;
    result.err = fn(&in_data_, &out_.data);
    check_after(-1);
    result.message.assign(out_.data.return_msg,
                          strnlen(out_.data.return_msg, sizeof(out_.data.return_msg)));
    return result;
}

}  // namespace simhost
