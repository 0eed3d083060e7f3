// The shape of an off-screen render target with texture attachments, and the
// key of the render-target pool.
#pragma once

#include <cstdint>

#include "engine/gpu/texture_description.h"

namespace tavrel {

struct RenderTargetDescriptor {
    // Shared by every colour attachment.
    TextureDescription texture;
    uint32_t colour_attachment_count = 1;
};

// The attachment count decides first: targets with a different number of
// attachments never stand in for each other.
inline bool operator<(const RenderTargetDescriptor& a, const RenderTargetDescriptor& b) {
    if (a.colour_attachment_count != b.colour_attachment_count) {
        return a.colour_attachment_count < b.colour_attachment_count;
    }
    return a.texture < b.texture;
}

}  // namespace tavrel
