// What a renderer tree is built for, and the key of the renderer pool.
#pragma once

#include <cstdint>
#include <optional>
#include <tuple>

#include "engine/shaders/shading_switches.h"

namespace tavrel {

class GlEngine;

// A description's render modes: how the shading colours back faces, or that
// it leaves them out. Every mode but the last draws both sides with
// two-sided lighting; the pool key orders them as signed numbers.

// The front texture on both sides.
inline constexpr uint32_t kRenderModeFrontTexture = 0;
// Constant white: the untextured surface.
inline constexpr uint32_t kRenderModeUntexturedWhite = 1;
// The back-face texture on back faces, the front texture on front faces.
inline constexpr uint32_t kRenderModeBackFaceTexture = 2;
// Back faces culled; front faces take the front texture.
inline constexpr uint32_t kRenderModeCullBackFaces = 3;

struct RendererDescription {
    // Gives pooled buffers and shared programs to the renderers; not part of
    // the key.
    GlEngine* engine = nullptr;
    uint32_t format_kind = 0;
    // The shading's alpha multiplied by the height map's alpha (where the
    // program's flag for it is set).
    bool multiply_height_map_alpha = false;
    // The colour textures projected through texture matrix 0 and fetched
    // projectively, the front texture on both sides.
    bool projective_texture = false;
    // What the shading programs leave out; by default nothing (the general
    // programs). Each combination is compiled once and pooled.
    ShadingSwitches shading;
    // Present: transparency by dual depth peeling with this many passes;
    // 0xFFFFFFFF (-1) peels until nothing is left.
    std::optional<uint32_t> peeling_layers;
    // One of the kRenderMode values above; any other value colours as
    // kRenderModeFrontTexture does.
    uint32_t render_mode = kRenderModeFrontTexture;
    uint32_t antialiasing_samples = 0;
    uint32_t lens_samples = 0;
    uint32_t subpixel_samples = 0;
    bool depth_only = false;

    bool has_view_samples() const { return lens_samples != 0 || subpixel_samples != 0; }
};

// Only whether there are view samples at all takes part, not their counts: a
// pooled renderer tree is rebuilt around its kept inner renderer for the exact
// counts, which is cheap, while its compiled programs are what the pool keeps.
inline bool operator<(const RendererDescription& a, const RendererDescription& b) {
    auto rank = [](const RendererDescription& d) {
        const bool peeling = d.peeling_layers.has_value();
        return std::make_tuple(int32_t(d.format_kind), d.multiply_height_map_alpha, d.projective_texture,
                               peeling, peeling ? int32_t(*d.peeling_layers) : 0,
                               int32_t(d.render_mode), d.antialiasing_samples,
                               d.has_view_samples(), d.depth_only, d.shading.tied());
    };
    return rank(a) < rank(b);
}

}  // namespace tavrel
