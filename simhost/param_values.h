// The values of an instance's parameters as the host keeps them: each one
// static or keyed by layer time, handed to every command as a fresh
// parameter array and taken back where the effect marked a change.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "hostapi/host_effect.h"
#include "simhost/param_store.h"

namespace simhost {

// One value, in the field its parameter type uses.
struct ParamValue {
    // slider, fixed slider, angle (16.16), checkbox, popup; for a layer
    // parameter the index of the scene layer it names, 0 for none
    int32_t whole = 0;
    double real = 0.0;        // float slider
    PF_Pixel color{};         // colour
    PF_Handle arb = nullptr;  // arbitrary data
};

ParamValue value_of(const PF_ParamDef& def);
void put_value(PF_ParamDef& def, const ParamValue& value);
// Arbitrary data compares by handle here; the effect compares contents.
bool same_value(int32_t type, const ParamValue& a, const ParamValue& b);
// Between a (t = 0) and b (t = 1): numbers linearly, whole numbers rounded;
// popups, checkboxes and layers hold a. Not for arbitrary data.
ParamValue blend(int32_t type, const ParamValue& a, const ParamValue& b, double t);

class ParamValues {
public:
    // What the host asks of the effect for arbitrary data. Each throws
    // SimhostError when the effect fails.
    struct ArbOps {
        std::function<PF_Handle(PF_Handle)> copy;
        std::function<PF_Handle(PF_Handle, PF_Handle, double)> interpolate;
        std::function<void(PF_Handle)> dispose;
    };

    // A command's parameter array: values at one time, change flags zeroed,
    // arbitrary data as host-made copies that die with the frame unless
    // adopted.
    class Frame {
    public:
        Frame(Frame&& other) noexcept = default;
        ~Frame();
        PF_ParamDef** list() { return pointers_.data(); }
        PF_ParamDef& operator[](int32_t index) { return defs_.at(size_t(index)); }
        int32_t time() const { return time_; }

    private:
        friend class ParamValues;
        Frame(const ArbOps* ops, int32_t time) : ops_(ops), time_(time) {}
        const ArbOps* ops_;
        int32_t time_;
        std::vector<PF_ParamDef> defs_;
        std::vector<PF_ParamDef*> pointers_;
    };

    ParamValues(ParamStore& store, ArbOps ops);
    ~ParamValues();
    ParamValues(const ParamValues&) = delete;
    ParamValues& operator=(const ParamValues&) = delete;

    // Every parameter back to its declared value; arbitrary data as a copy
    // of the declared default, or `arb_value` (taken over) where given.
    void reset(PF_Handle arb_value = nullptr);
    // Disposes every arbitrary-data value held.
    void clear();

    int32_t count() const { return int32_t(slots_.size()); }
    bool keyframed(int32_t index) const;
    // The value a command at `time` sees (not for arbitrary data).
    ParamValue at(int32_t index, int32_t time) const;
    // The static value, or the first keyframe's.
    const ParamValue& stored(int32_t index) const;
    // What the arbitrary-data value at `time` is made of: the held handle
    // (`right` null), or the keys on either side and where `time` lies
    // between them.
    struct ArbKeys {
        PF_Handle left;
        PF_Handle right;
        double t;
    };
    ArbKeys arb_keys_at(int32_t index, int32_t time) const;

    // A user's edit or an adopted change: the static value, or the keyframe
    // at `time` when the parameter is animated. Arbitrary data is taken over.
    void store(int32_t index, int32_t time, const ParamValue& value);
    // Refused with SimhostError for parameters that cannot vary in time.
    void set_keyframe(int32_t index, int32_t time, const ParamValue& value);

    Frame checkout(int32_t time);
    // Takes every value the effect marked changed; returns their indices.
    // Unmarked arbitrary-data copies are disposed with the frame.
    std::vector<int32_t> adopt(Frame& frame);

private:
    struct Slot {
        ParamValue value;
        std::map<int32_t, ParamValue> keys;
    };
    Slot& slot(int32_t index);
    const Slot& slot(int32_t index) const;
    int32_t type_of(int32_t index) const { return store_.at(index).def.param_type; }
    void release(int32_t index, const ParamValue& v);
    PF_Handle arb_at(int32_t index, int32_t time) const;

    ParamStore& store_;
    ArbOps ops_;
    std::vector<Slot> slots_;
};

}  // namespace simhost
