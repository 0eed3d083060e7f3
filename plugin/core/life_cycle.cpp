#include "plugin/core/life_cycle.h"

#include <exception>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>

#include "hostaccess/host_handle_lock.h"
#include "hostaccess/plugin_errors.h"
#include "hostaccess/suite_handler.h"
#include "plugin/core/data_locks.h"
#include "plugin/core/global_data.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/sequence_data.h"

#include "engine/render/render_thread.h"

namespace tavrel {

namespace {

constexpr const char kEngineFailed[] = "Tavrel OpenGL Engine Initialization Failed.";

// Records constructed here and still alive. A host handle may hold a byte
// copy of a record, or a record whose construction never happened; only the
// records in these sets own what their pointers hold.
std::mutex g_live_mutex;
std::set<const SequenceData*> g_live_sequences;
std::set<const GlobalData*> g_live_globals;

template <class T>
bool is_live(const std::set<const T*>& set, const T* data) {
    std::lock_guard<std::mutex> lock(g_live_mutex);
    return data != nullptr && data->constructed_at == data && set.count(data) != 0;
}

template <class T>
void mark(std::set<const T*>& set, const T* data, bool live) {
    std::lock_guard<std::mutex> lock(g_live_mutex);
    if (live)
        set.insert(data);
    else
        set.erase(data);
}

std::shared_ptr<RenderThread> start_render_thread() { return std::make_shared<RenderThread>(); }

const PF_UtilCallbacks& utils_of(const PF_InData* in_data) {
    if (in_data == nullptr || in_data->utils == nullptr) throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    return *in_data->utils;
}

// Destroys a live global record in its locked block: the thread is stopped
// before the memory can go.
void destroy_global(GlobalData* global) {
    reset_render_thread(*global);
    mark(g_live_globals, static_cast<const GlobalData*>(global), false);
    global->~GlobalData();
}

// Destroys a live sequence record, on the rendering thread when there is
// one. Without a thread no engine ever ran, so no GL object can exist and the
// record may die here.
void destroy_sequence(const PF_InData* in_data, SequenceData* data) {
    GlobalDataLock global(in_data);
    const LXGlobalGLCleanUp cleanup{data};
    if (global->render_thread) {
        global->render_thread->execute(cleanup);
        return;
    }
    // No engine ever ran, so the record holds no GL object.
    cleanup.destroy();
}

PF_Err setup_sequence(PF_InData* in_data, PF_OutData* out_data) {
    const PF_UtilCallbacks& utils = utils_of(in_data);
    if (out_data->sequence_data != nullptr) {
        // A handle that still holds a live record (the host re-set-up an
        // instance without setting it down) gives its GPU objects back first.
        PF_Handle old = out_data->sequence_data;
        {
            HostHandleLock lock(in_data, old);
            auto* data = lock.as<SequenceData>();
            if (is_live_sequence_data(data)) destroy_sequence(in_data, data);
        }
        utils.host_dispose_handle(old);
        out_data->sequence_data = nullptr;
    }
    PF_Handle handle = utils.host_new_handle(sizeof(SequenceData));
    out_data->sequence_data = handle;
    if (handle == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;

    GlobalDataLock global(in_data);
    HostHandleLock lock(in_data, handle);
    if (lock.data() == nullptr) throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
    auto* data = new (lock.data()) SequenceData();
    mark(g_live_sequences, static_cast<const SequenceData*>(data), true);
    // The record stays constructed (and set down normally) when this fails.
    attach_triangle_mesh(*data);
    return PF_Err_NONE;
}

}  // namespace

RenderThread& require_render_thread(GlobalData& global) {
    if (!global.render_thread) throw std::runtime_error(kEngineFailed);
    return *global.render_thread;
}

void reset_render_thread(GlobalData& global) { global.render_thread.reset(); }

bool is_live_sequence_data(const SequenceData* data) { return is_live(g_live_sequences, data); }

namespace {

std::mutex& maker_mutex() {
    static std::mutex m;
    return m;
}

TriangleMeshMaker& installed_maker() {
    static TriangleMeshMaker maker;
    return maker;
}

}  // namespace

TriangleMeshMaker set_triangle_mesh_maker(TriangleMeshMaker make) {
    std::lock_guard<std::mutex> lock(maker_mutex());
    installed_maker().swap(make);
    return make;
}

void require_triangle_mesh(SequenceData& data) {
    if (!data.triangle_mesh) attach_triangle_mesh(data);
}

void attach_triangle_mesh(SequenceData& data, const TriangleMeshMaker& make) {
    std::shared_ptr<LattixTriangleMesh> mesh;
    TriangleMeshMaker installed;
    if (!make) {
        std::lock_guard<std::mutex> lock(maker_mutex());
        installed = installed_maker();
    }
    try {
        if (make) mesh = make();
        else mesh = installed ? installed() : std::make_shared<LattixTriangleMesh>();
    } catch (const std::bad_alloc&) {
        mesh.reset();
    }
    if (!mesh) throw std::runtime_error(kOutOfMemory);
    data.triangle_mesh = std::move(mesh);
}

void LXGlobalGLCleanUp::destroy() const {
    // The magic goes first, so that a lock of the dead record fails.
    data->magic = 0;
    mark(g_live_sequences, static_cast<const SequenceData*>(data), false);
    data->~SequenceData();
}

uint32_t register_with_aegp(const PF_InData* in_data, const char* name) {
    HostSuites suites(in_data);
    AEGP_PluginID id = 0;
    check_pf_err(suites.utility_suite().AEGP_RegisterWithAEGP(nullptr, name, &id));
    return static_cast<uint32_t>(id);
}

void set_mp_compatibility(const PF_InData* in_data, const char* name) {
    HostSuites suites(in_data);
    const AEGP_PersistentDataSuite3& pd = suites.persistent_data_suite();
    AEGP_PersistentBlobH blob = nullptr;
    check_pf_err(pd.AEGP_GetApplicationBlob(&blob));
    check_pf_err(pd.AEGP_SetLong(blob, kMPCompatibilitySection, name, 0));
}

PF_Err global_setup(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data) {
    out_data->my_version = 0x00080001;
    out_data->out_flags = 0x03088003;
    out_data->out_flags2 = 0x00021406;
    const PF_UtilCallbacks& utils = utils_of(in_data);

    if (out_data->global_data != nullptr) {
        // A live record's thread is stopped before its memory goes.
        PF_Handle old = out_data->global_data;
        {
            HostHandleLock lock(in_data, old);
            auto* global = lock.as<GlobalData>();
            if (is_live(g_live_globals, static_cast<const GlobalData*>(global))) destroy_global(global);
        }
        utils.host_dispose_handle(old);
        out_data->global_data = nullptr;
    }
    PF_Handle handle = utils.host_new_handle(sizeof(GlobalData));
    out_data->global_data = handle;
    if (handle == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;

    // The record is valid before anything that can fail runs, so that every
    // later command (set-downs included) finds a record it can use.
    std::exception_ptr engine_failure;
    {
        HostHandleLock lock(in_data, handle);
        if (lock.data() == nullptr) throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
        auto* global = new (lock.data()) GlobalData();
        mark(g_live_globals, static_cast<const GlobalData*>(global), true);
        global->parameter_count = static_cast<uint32_t>(effect.parameter_count);
        global->plugin_id = register_with_aegp(in_data, effect.name);
        try {
            global->render_thread = start_render_thread();
        } catch (const std::exception&) {
            // Reported once the set-up is complete: the effect stays loaded
            // and says why it cannot render.
            engine_failure = std::current_exception();
        }
    }
    set_mp_compatibility(in_data, effect.name);
    if (engine_failure) std::rethrow_exception(engine_failure);
    return PF_Err_NONE;
}

PF_Err global_setdown(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    if (in_data == nullptr || in_data->global_data == nullptr) return PF_Err_NONE;
    const PF_UtilCallbacks& utils = utils_of(in_data);
    PF_Handle handle = in_data->global_data;
    {
        HostHandleLock lock(in_data, handle);
        if (lock.data() == nullptr) throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
        auto* global = lock.as<GlobalData>();
        if (is_live(g_live_globals, static_cast<const GlobalData*>(global))) destroy_global(global);
    }
    utils.host_dispose_handle(handle);
    out_data->global_data = nullptr;
    return PF_Err_NONE;
}

PF_Err sequence_setup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    return setup_sequence(in_data, out_data);
}

PF_Err sequence_resetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    return setup_sequence(in_data, out_data);
}

PF_Err sequence_setdown(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    if (in_data == nullptr || in_data->sequence_data == nullptr) return PF_Err_NONE;
    const PF_UtilCallbacks& utils = utils_of(in_data);
    PF_Handle handle = in_data->sequence_data;
    {
        GlobalDataLock global(in_data);
        HostHandleLock lock(in_data, handle);
        if (lock.data() == nullptr) throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
        auto* data = lock.as<SequenceData>();
        // Only a record constructed here and still alive is destroyed; an
        // unconstructed block or a byte copy is just memory.
        if (data->magic == SequenceData::kMagic && is_live_sequence_data(data))
            destroy_sequence(in_data, data);
    }
    utils.host_dispose_handle(handle);
    out_data->sequence_data = nullptr;
    return PF_Err_NONE;
}

PF_Err frame_setdown(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*) { return PF_Err_NONE; }

}  // namespace tavrel
