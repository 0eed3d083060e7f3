// Samples the bicubic surface on the graphics card: one draw of one quad
// into an (n+1) x (n+1) float target of three textures, the position and its
// derivatives along s and t at the parameters (i/n, j/n).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/shaders/glsl_program.h"
#include "engine/gpu/texture_object.h"
#include "surface/grid/bspline_basis.h"

namespace tavrel {

class GlEngine;
class LattixMeshKnots;
class RenderTarget;

// Which net points each sample sums: only its window in each direction (the
// terms left out are exact zeros), or every net point, the plain sum that the
// windowed one is held against.
enum class NetSummation { sample_window, whole_net };

class ComputeNURBSMeshGPU {
public:
    // The four basis textures in the order s weights, t weights, s
    // derivatives, t derivatives. The windows carry the net's points and the
    // sample count of each direction; windows of the whole net give the sum
    // over every net point.
    ComputeNURBSMeshGPU(const SampleWindow& s_window, const SampleWindow& t_window,
                        std::shared_ptr<ITextureObject> s_weights, std::shared_ptr<ITextureObject> t_weights,
                        std::shared_ptr<ITextureObject> s_derivatives, std::shared_ptr<ITextureObject> t_derivatives);
    virtual ~ComputeNURBSMeshGPU();

    // Attachment 0 "f_nurbs" (position), 1 "dfds_nurbs", 2 "dfdt_nurbs";
    // every texel's fourth channel is 1. The target stays bound.
    std::shared_ptr<RenderTarget> run(GlEngine& engine, const ITextureObject& control_points);

    static std::string fragment_source(const SampleWindow& s_window, const SampleWindow& t_window);
    static const char* vertex_source();

    uint32_t subdivisions() const { return subdivisions_; }
    const SampleWindow& s_window() const { return s_window_; }
    const SampleWindow& t_window() const { return t_window_; }

private:
    std::unique_ptr<TexturingProgram> program_;
    uint32_t subdivisions_;
    SampleWindow s_window_;
    SampleWindow t_window_;
    std::shared_ptr<ITextureObject> s_weights_;
    std::shared_ptr<ITextureObject> t_weights_;
    std::shared_ptr<ITextureObject> s_derivatives_;
    std::shared_ptr<ITextureObject> t_derivatives_;
};

// Uploads the knots' four basis tables and builds the evaluation of their
// surface, summing as asked.
std::shared_ptr<ComputeNURBSMeshGPU> make_surface_evaluator(GlEngine& engine, LattixMeshKnots& knots,
                                                            NetSummation summation);

}  // namespace tavrel
