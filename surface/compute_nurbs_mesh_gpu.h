// Samples the bicubic surface on the graphics card: one draw of one quad
// into an (n+1) x (n+1) float target of three textures, the position and its
// derivatives along s and t at the parameters (i/n, j/n).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/shaders/glsl_program.h"
#include "engine/gpu/texture_object.h"

namespace tavrel {

class GlEngine;
class RenderTarget;

class ComputeNURBSMeshGPU {
public:
    // The four basis textures in the order s weights, t weights, s
    // derivatives, t derivatives; order_s and order_t are the net's points
    // in each direction.
    ComputeNURBSMeshGPU(int order_s, int order_t, uint32_t subdivisions, std::shared_ptr<ITextureObject> s_weights,
                        std::shared_ptr<ITextureObject> t_weights, std::shared_ptr<ITextureObject> s_derivatives,
                        std::shared_ptr<ITextureObject> t_derivatives);
    virtual ~ComputeNURBSMeshGPU();

    // Attachment 0 "f_nurbs" (position), 1 "dfds_nurbs", 2 "dfdt_nurbs";
    // every texel's fourth channel is 1. The target stays bound.
    std::shared_ptr<RenderTarget> run(GlEngine& engine, const ITextureObject& control_points);

    static std::string fragment_source(int order_s, int order_t);
    static const char* vertex_source();

    uint32_t subdivisions() const { return subdivisions_; }

private:
    std::unique_ptr<TexturingProgram> program_;
    uint32_t subdivisions_;
    std::shared_ptr<ITextureObject> s_weights_;
    std::shared_ptr<ITextureObject> t_weights_;
    std::shared_ptr<ITextureObject> s_derivatives_;
    std::shared_ptr<ITextureObject> t_derivatives_;
};

}  // namespace tavrel
