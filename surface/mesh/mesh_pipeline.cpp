#include "surface/mesh/mesh_pipeline.h"

#include <algorithm>
#include <stdexcept>

#include "engine/gpu/gl_engine.h"
#include "engine/gpu/texture_object.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "surface/mesh/compute_nurbs_mesh_gpu.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "surface/grid/lattix_mesh_knots.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"
#include "surface/mesh/tessellation_programs.h"

namespace tavrel {

namespace {

bool pipeline_current(const SequenceData& data, int n) {
    if (!data.knots || !data.triangulator || !data.surface_evaluator) return false;
    const LattixMeshKnots& knots = *data.knots;
    return knots.samples() == n && knots.net_width() == 3 * data.grid.columns() + 1 &&
           knots.net_height() == 3 * data.grid.rows() + 1;
}

}  // namespace

bool build_mesh_pipeline(GlEngine& engine, RenderInput& input, LattixTriangleMesh& mesh, const IAbort& abort) {
    if (input.sequence_data == nullptr) throw std::invalid_argument("frame input without instance state");
    SequenceData& data = *input.sequence_data;
    input.triangle_mesh = &mesh;
    const int n = data.render_settings.subdivisions;
    if (n < 1) throw std::invalid_argument("subdivision count below 1");
    if (!data.clipping_alpha) data.clipping_alpha = std::make_shared<CombinePolyClippingAlpha>();

    const bool rebuild = !pipeline_current(data, n);
    if (rebuild) {
        auto programs = std::make_shared<TessellationPrograms>(abort);
        data.triangulator = std::make_shared<ComputeTriangleMeshGPU>(engine, programs, static_cast<uint32_t>(n));
        data.knots = std::make_shared<LattixMeshKnots>(data.grid, n);
        data.surface_evaluator = make_surface_evaluator(engine, *data.knots, NetSummation::sample_window);
    }
    data.knots->set_control_net(data.grid);
    copy_render_settings(input);
    mesh.set_knots(data.knots);
    mesh.set_requested_subdivisions(static_cast<uint32_t>(std::max(n, 10)));
    return rebuild;
}

NoiseParameters noise_parameters(const RenderSettings& rs) {
    NoiseParameters noise;
    noise.amplitude = rs.noise_amplitude;
    noise.evolution = rs.noise_evolution;
    noise.frequency = rs.noise_frequency;
    noise.octaves = rs.noise_sources;
    // Each source's amplitude is the previous one's times the amplitude
    // multiplier, its frequency the previous one's times the frequency
    // multiplier.
    noise.gain = rs.noise_amplitude_multiplier;
    noise.lacunarity = rs.noise_frequency_multiplier;
    for (float& m : noise.amplitude_multipliers) m = 1.0f;
    // The noise is two-dimensional: the third components only keep the
    // vectors whole.
    noise.frequency_multipliers[0] = rs.noise_x_frequency;
    noise.frequency_multipliers[1] = rs.noise_y_frequency;
    noise.frequency_multipliers[2] = 1.0f;
    // Evolution moves the noise along its direction at its speed: the
    // shading takes the evolution times the third component as how far each
    // source has moved, along the first two (the n-th source n times as far,
    // so that the sum changes as it moves).
    noise.evolution_multipliers[0] = rs.noise_direction[0] * rs.noise_speed;
    noise.evolution_multipliers[1] = rs.noise_direction[1] * rs.noise_speed;
    noise.evolution_multipliers[2] = 1.0f;
    return noise;
}

void copy_render_settings(RenderInput& input) {
    const RenderSettings& rs = input.sequence_data->render_settings;
    input.render_mode = rs.render_mode;
    DisplacementSettings& d = input.displacement;
    d.use_alpha_as_mask = rs.use_alpha_as_mask;
    d.clip = rs.polygonal_alpha_clip;
    d.premultiply = rs.premultiply;
    d.scale = static_cast<float>(rs.displacement_height);
    // The second effect's extrusion thickness lifts the whole surface off its
    // base; the first effect keeps it at 0.
    d.bias = rs.thickness;
    d.alpha_clip_threshold = rs.alpha_level;
    d.noise = noise_parameters(rs);
    d.noise_channel = static_cast<uint32_t>(rs.noise_channel);
    if (rs.has_displacement != 0) {
        d.channel = static_cast<uint32_t>(rs.displacement_channel);
        d.noise_start = rs.noise_start;
        d.noise_start_fade = rs.noise_smooth_start;
        d.noise_stop = rs.noise_stop;
        d.noise_stop_fade = rs.noise_smooth_stop;
    } else {
        d.channel = 4;
        d.noise_start = 0.0f;
        d.noise_start_fade = 0.0f;
        d.noise_stop = 1.0f;
        d.noise_stop_fade = 0.0f;
    }
}

void SetupInputFct::operator()(GlEngine& engine) const {
    // Refused, never dereferenced: an instance whose set-up failed has none.
    if (!input || !mesh || abort == nullptr)
        throw std::invalid_argument("mesh set-up without its input, triangle mesh or abort object");
    // Every frame starts here. Rendering into framebuffer objects would go
    // on without the X server; the frame fails in words instead.
    engine.check_connection();
    build_mesh_pipeline(engine, *input, *mesh, *abort);
}

}  // namespace tavrel
