// The jittered views that multi-view rendering averages: sub-pixel offsets
// for anti-aliasing, lens offsets for depth of field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>

namespace tavrel {

struct ViewSample {
    // A fraction of a pixel (sub-pixel) or of the lens (lens), in -0.5..0.5.
    float x = 0.0f;
    float y = 0.0f;
    // false: sub-pixel offset; true: lens offset.
    bool kind = false;
};

// Offsets closer than this count as the same view, so a set keeps it once.
constexpr float view_sample_tolerance = 0.001f;

// x, then y, each equal within the tolerance, then the kind (sub-pixel first).
bool operator<(const ViewSample& a, const ViewSample& b);

using ViewSampleSet = std::set<ViewSample>;

// The largest jitter table; larger requests get this many views.
constexpr std::size_t max_view_samples = 66;

struct JitterPoint {
    float x;
    float y;
};

struct JitterTable {
    const JitterPoint* points;
    std::size_t size;
};

// The smallest table with at least count points (count 0 and 1 take the
// 2-point table; a count above the largest table takes the largest).
JitterTable jitter_table(std::size_t count);

// Insert the first count points of the table for count, clamped to
// max_view_samples, as sub-pixel (aa) or lens (dof) samples.
void aa_view_samples(std::size_t count, ViewSampleSet& samples);
void dof_view_samples(std::size_t count, ViewSampleSet& samples);

}  // namespace tavrel
