#include "simhost/param_values.h"

#include <cmath>
#include <iterator>

#include "simhost/simhost_error.h"

namespace simhost {

ParamValue value_of(const PF_ParamDef& def) {
    ParamValue v;
    switch (def.param_type) {
        case PF_Param_SLIDER: v.whole = def.u.sd.value; break;
        case PF_Param_FIX_SLIDER: v.whole = def.u.fd.value; break;
        case PF_Param_ANGLE: v.whole = def.u.ad.value; break;
        case PF_Param_CHECKBOX: v.whole = def.u.bd.value; break;
        case PF_Param_POPUP: v.whole = def.u.pd.value; break;
        case PF_Param_FLOAT_SLIDER: v.real = def.u.fs_d.value; break;
        case PF_Param_COLOR: v.color = def.u.cd.value; break;
        case PF_Param_ARBITRARY_DATA: v.arb = def.u.arb_d.value; break;
        default: break;
    }
    return v;
}

void put_value(PF_ParamDef& def, const ParamValue& v) {
    switch (def.param_type) {
        case PF_Param_SLIDER: def.u.sd.value = v.whole; break;
        case PF_Param_FIX_SLIDER: def.u.fd.value = v.whole; break;
        case PF_Param_ANGLE: def.u.ad.value = v.whole; break;
        case PF_Param_CHECKBOX: def.u.bd.value = v.whole; break;
        case PF_Param_POPUP: def.u.pd.value = v.whole; break;
        case PF_Param_FLOAT_SLIDER: def.u.fs_d.value = v.real; break;
        case PF_Param_COLOR: def.u.cd.value = v.color; break;
        case PF_Param_ARBITRARY_DATA: def.u.arb_d.value = v.arb; break;
        default: break;
    }
}

bool same_value(int32_t type, const ParamValue& a, const ParamValue& b) {
    switch (type) {
        case PF_Param_FLOAT_SLIDER: return a.real == b.real;
        case PF_Param_COLOR:
            return a.color.alpha == b.color.alpha && a.color.red == b.color.red &&
                   a.color.green == b.color.green && a.color.blue == b.color.blue;
        case PF_Param_ARBITRARY_DATA: return a.arb == b.arb;
        default: return a.whole == b.whole;
    }
}

ParamValue blend(int32_t type, const ParamValue& a, const ParamValue& b, double t) {
    auto whole = [t](double x, double y) { return std::llround(x + (y - x) * t); };
    ParamValue v = a;
    switch (type) {
        case PF_Param_SLIDER:
        case PF_Param_FIX_SLIDER:
        case PF_Param_ANGLE: v.whole = int32_t(whole(a.whole, b.whole)); break;
        case PF_Param_FLOAT_SLIDER: v.real = a.real + (b.real - a.real) * t; break;
        case PF_Param_COLOR:
            v.color.alpha = uint8_t(whole(a.color.alpha, b.color.alpha));
            v.color.red = uint8_t(whole(a.color.red, b.color.red));
            v.color.green = uint8_t(whole(a.color.green, b.color.green));
            v.color.blue = uint8_t(whole(a.color.blue, b.color.blue));
            break;
        default: break;  // popups, checkboxes and layers hold
    }
    return v;
}

ParamValues::Frame::~Frame() {
    if (ops_ == nullptr) return;
    for (PF_ParamDef& d : defs_)
        if (d.param_type == PF_Param_ARBITRARY_DATA && d.u.arb_d.value != nullptr) {
            // Destructors must not throw; a failing disposal shows as a leak.
            try {
                ops_->dispose(d.u.arb_d.value);
            } catch (...) {
            }
        }
}

ParamValues::ParamValues(ParamStore& store, ArbOps ops) : store_(store), ops_(std::move(ops)) {}

ParamValues::~ParamValues() {
    try {
        clear();
    } catch (...) {
    }
}

ParamValues::Slot& ParamValues::slot(int32_t index) {
    if (index < 0 || index >= count()) throw SimhostError("no parameter " + std::to_string(index));
    return slots_[size_t(index)];
}

const ParamValues::Slot& ParamValues::slot(int32_t index) const {
    if (index < 0 || index >= count()) throw SimhostError("no parameter " + std::to_string(index));
    return slots_[size_t(index)];
}

void ParamValues::release(int32_t index, const ParamValue& v) {
    if (type_of(index) == PF_Param_ARBITRARY_DATA && v.arb != nullptr) ops_.dispose(v.arb);
}

void ParamValues::clear() {
    std::vector<Slot> slots;
    slots.swap(slots_);
    for (size_t i = 0; i < slots.size(); ++i) {
        release(int32_t(i), slots[i].value);
        for (const auto& k : slots[i].keys) release(int32_t(i), k.second);
    }
}

void ParamValues::reset(PF_Handle arb_value) {
    clear();
    slots_.resize(size_t(store_.count()));
    bool arb_taken = false;
    for (int32_t i = 0; i < count(); ++i) {
        const PF_ParamDef& d = store_.at(i).def;
        if (d.param_type != PF_Param_ARBITRARY_DATA) {
            slots_[size_t(i)].value = value_of(d);
        } else if (arb_value != nullptr && !arb_taken) {
            slots_[size_t(i)].value.arb = arb_value;
            arb_taken = true;
        } else {
            slots_[size_t(i)].value.arb = ops_.copy(d.u.arb_d.dephault);
        }
    }
    if (arb_value != nullptr && !arb_taken) ops_.dispose(arb_value);
}

bool ParamValues::keyframed(int32_t index) const { return !slot(index).keys.empty(); }

const ParamValue& ParamValues::stored(int32_t index) const {
    const Slot& s = slot(index);
    return s.keys.empty() ? s.value : s.keys.begin()->second;
}

ParamValue ParamValues::at(int32_t index, int32_t time) const {
    const Slot& s = slot(index);
    if (type_of(index) == PF_Param_ARBITRARY_DATA) throw SimhostError("arbitrary data has no plain value");
    if (s.keys.empty()) return s.value;
    const auto right = s.keys.lower_bound(time);
    if (right == s.keys.end()) return std::prev(right)->second;
    if (right->first == time || right == s.keys.begin()) return right->second;
    const auto left = std::prev(right);
    const double t = double(time - left->first) / double(right->first - left->first);
    return blend(type_of(index), left->second, right->second, t);
}

ParamValues::ArbKeys ParamValues::arb_keys_at(int32_t index, int32_t time) const {
    const Slot& s = slot(index);
    if (s.keys.empty()) return {s.value.arb, nullptr, 0.0};
    const auto right = s.keys.lower_bound(time);
    if (right == s.keys.end()) return {std::prev(right)->second.arb, nullptr, 0.0};
    if (right->first == time || right == s.keys.begin()) return {right->second.arb, nullptr, 0.0};
    const auto left = std::prev(right);
    const double t = double(time - left->first) / double(right->first - left->first);
    return {left->second.arb, right->second.arb, t};
}

PF_Handle ParamValues::arb_at(int32_t index, int32_t time) const {
    const ArbKeys k = arb_keys_at(index, time);
    return k.right == nullptr ? ops_.copy(k.left) : ops_.interpolate(k.left, k.right, k.t);
}

void ParamValues::store(int32_t index, int32_t time, const ParamValue& value) {
    Slot& s = slot(index);
    ParamValue& target = s.keys.empty() ? s.value : s.keys[time];
    const ParamValue old = target;
    target = value;
    if (!(type_of(index) == PF_Param_ARBITRARY_DATA && old.arb == value.arb)) release(index, old);
}

void ParamValues::set_keyframe(int32_t index, int32_t time, const ParamValue& value) {
    Slot& s = slot(index);
    const PF_ParamDef& d = store_.at(index).def;
    if (d.flags & PF_ParamFlag_CANNOT_TIME_VARY)
        throw SimhostError(std::string(d.name) + " (parameter " + std::to_string(index) + ") cannot vary in time");
    if (d.param_type == PF_Param_GROUP_START || d.param_type == PF_Param_GROUP_END ||
        d.param_type == PF_Param_NO_DATA || d.param_type == PF_Param_LAYER)
        throw SimhostError(std::string(d.name) + " (parameter " + std::to_string(index) + ") has no value to key");
    const auto it = s.keys.find(time);
    if (it != s.keys.end()) {
        const ParamValue old = it->second;
        it->second = value;
        if (old.arb != value.arb) release(index, old);
    } else {
        s.keys.emplace(time, value);
    }
}

ParamValues::Frame ParamValues::checkout(int32_t time) {
    Frame frame(&ops_, time);
    frame.defs_.reserve(size_t(count()));
    for (int32_t i = 0; i < count(); ++i) {
        PF_ParamDef d = store_.at(i).def;
        // Outside parameter set-up the union holds change flags; a stale
        // disk id would read as a change.
        d.uu.change_flags = 0;
        if (d.param_type == PF_Param_ARBITRARY_DATA) {
            d.u.arb_d.value = nullptr;
            frame.defs_.push_back(d);
            frame.defs_.back().u.arb_d.value = arb_at(i, time);
        } else {
            put_value(d, at(i, time));
            frame.defs_.push_back(d);
        }
    }
    for (PF_ParamDef& d : frame.defs_) frame.pointers_.push_back(&d);
    return frame;
}

std::vector<int32_t> ParamValues::adopt(Frame& frame) {
    std::vector<int32_t> marked;
    for (int32_t i = 0; i < count() && i < int32_t(frame.defs_.size()); ++i) {
        PF_ParamDef& d = frame.defs_[size_t(i)];
        if ((d.uu.change_flags & PF_ChangeFlag_CHANGED_VALUE) == 0) continue;
        marked.push_back(i);
        store(i, frame.time_, value_of(d));
        // The copy is the stored value now; the frame must not dispose it.
        if (d.param_type == PF_Param_ARBITRARY_DATA) d.u.arb_d.value = nullptr;
    }
    return marked;
}

}  // namespace simhost
