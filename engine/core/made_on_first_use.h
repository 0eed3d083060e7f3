// Objects a pointer slot holds from the first time they are asked for, so
// that a frame makes only what it uses (the engine's programs above all).
#pragma once

namespace tavrel {

// The object in the slot, made there first when it is empty. A failed make
// throws and leaves the slot empty, so that the next request tries again and
// reports the failure again.
template <typename Slot, typename Make>
auto& made_on_first_use(Slot& slot, Make make) {
    if (!slot) slot = make();
    return *slot;
}

}  // namespace tavrel
