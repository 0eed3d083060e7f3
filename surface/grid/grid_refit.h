// The refit of a grid to a new size: constants and the objective's context.
#pragma once

namespace tavrel {

class LattixMeshKnots;

// Surfaces are compared in a 500 x 500 frame, whose half-size 250 brings
// lattice coordinates back with the factor 2/500.
constexpr float kRefitFrameSize = 500.0f;
constexpr float kRefitFrameToLattice = 0.004f;

// The fine fit compares the surfaces at 13 x 13 parameter pairs i/12.
constexpr int kFitSamples = 12;
constexpr int kFitResiduals = 3 * (kFitSamples + 1) * (kFitSamples + 1);  // 507
constexpr int kFitIterations = 20;
// Grids with this many cells or more in either direction keep the sampled fit.
constexpr int kFineFitCellLimit = 4;
constexpr int kParametersPerPoint = 15;

// Sample parameters stay inside the surface's open parameter range.
constexpr float kMinSampleParameter = 1.1920929e-7f;
constexpr float kMaxSampleParameter = 0.99999988f;
float clamp_sample_parameter(float u);

struct RefitContext {
    LattixMeshKnots* fitted;     // rebuilt from the parameters on every evaluation
    const LattixMeshKnots* old;  // the surface being followed
    int columns;
    int rows;
};

}  // namespace tavrel
