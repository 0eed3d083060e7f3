#include "engine/gpu/supported_bpc.h"

#include "engine/core/engine_errors.h"

namespace tavrel {

std::uint64_t supported_bpc(int pixel_format_kind) {
    // Compared as unsigned so that a negative kind is refused by the same test.
    switch (static_cast<unsigned>(pixel_format_kind)) {
        case 0: return 4;
        case 1: return 8;
        case 2: return 16;
        default: throw TAVREL_LOCATED_ERROR("Unsupported bpc.");
    }
}

}  // namespace tavrel
