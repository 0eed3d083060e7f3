// Where the render road reads an effect's parameters. Each effect hands its
// own table (the groups both effects have sit at different indices in each);
// an index of 0 means the effect has no such parameter. Inside each run the
// parameters keep the same order in both effects, so the offsets from a
// run's first parameter are named here once.
#pragma once

#include <cstdint>

namespace tavrel {

struct RenderParamIndices {
    // "Enable" of the auto tangents, then its settings.
    int32_t auto_tangents_enable = 0;
    enum AutoTangentsOffset : int32_t {
        kTangentTension = 1,
        kRowsEndpointsBias = 2,
        kRowsMidpointsBias = 3,
        kColsEndpointsBias = 4,
        kColsMidpointsBias = 5,
        kRowsEndpointOpposite = 6,
        kColsEndpointOpposite = 7,
    };
    // The first of three (x, y, z) sliders each (y and z at kAxisY and
    // kAxisZ).
    int32_t position_x = 0;
    int32_t rotation_x = 0;
    int32_t scale_x = 0;
    int32_t anchor_x = 0;
    // "Tie to layer", then the 2-D position and anchor.
    int32_t tie_to_layer = 0;
    enum TieToLayerOffset : int32_t {
        kPosition2dX = 1,
        kPosition2dY = 2,
        kAnchor2dX = 3,
        kAnchor2dY = 4,
    };
    // "Ambient", the first of the material sliders (their offsets are
    // MaterialOffset, beside the material's reader).
    int32_t ambient = 0;
    int32_t backside_layer = 0;
    // "Displacement Layer", then its settings.
    int32_t displacement_layer = 0;
    enum DisplacementOffset : int32_t {
        kUseLayers = 1,
        kDisplacementHeight = 2,
        kPolygonalAlphaClip = 3,
        kPremultiply = 4,
        kUseAlphaAsMask = 5,
    };
    // "Use for Specular" to "Use for D. Noise", one channel popup each.
    int32_t use_for_specular = 0;
    enum MapChannelOffset : int32_t {
        kUseForSpecular = 0,
        kUseForShininess = 1,
        kUseForMetal = 2,
        kUseForOpacity = 3,
        kUseForReflection = 4,
        kUseForNoise = 5,
    };
    // "D. Noise Amplitude" to "D. Noise Direction"; the gaps are group
    // starts and ends.
    int32_t noise_amplitude = 0;
    enum NoiseOffset : int32_t {
        kNoiseFrequency = 1,
        kNoiseSources = 2,
        kNoiseAmplitudeMultiplier = 3,
        kNoiseFrequencyMultiplier = 4,
        kNoiseXFrequency = 6,
        kNoiseYFrequency = 7,
        kNoiseSpeed = 8,
        kNoiseStart = 10,
        kNoiseStop = 11,
        kNoiseSmoothStart = 12,
        kNoiseSmoothStop = 13,
        kNoiseEvolution = 16,
        kNoiseDirection = 17,
    };
    // "Alpha Level", then the rest of the contour.
    int32_t alpha_level = 0;
    enum ContourOffset : int32_t { kPreBlur = 1, kDisableAlphaDecal = 2 };
    // "Reflection Layer", then its settings.
    int32_t reflection_layer = 0;
    enum ReflectionOffset : int32_t {
        kReflectionMapping = 1,
        kReflectionHorizontalOffset = 2,
        kReflectionVerticalOffset = 3,
        kReflectionBlending = 4,
    };
    // "Render Mode", then the rest of the render quality.
    int32_t render_mode = 0;
    enum RenderModeOffset : int32_t { kAntialiasing = 1, kTransparency = 2 };
    // "Min Light Grazing Angle", then "Light/Object Min Distance".
    int32_t min_light_grazing_angle = 0;
    enum LightOffset : int32_t { kLightObjectMinDistance = 1 };
    // "Adaptive", then the rest of the tessellation.
    int32_t adaptive = 0;
    enum TessellationOffset : int32_t { kSubdivisions = 1, kMaxIterations = 2, kTolerance = 3 };
    // "Instances", the first of the generator's parameters (their offsets
    // are AEGeneratorInstancingParams::Offset, beside their reader).
    int32_t generator_base = 0;
    // "Mist Type" to "Fog Blending"; the gap is the fog's group start.
    int32_t mist_type = 0;
    enum EnvironmentOffset : int32_t {
        kMistIntensity = 1,
        kMistColor = 2,
        kMistOpacity = 3,
        kMistNearX = 4,  // then y and z
        kMistFarX = 7,   // then y and z
        kMistPreserveAlpha = 10,
        kMistBlending = 11,
        kFogType = 14,
        kFogIntensity = 15,
        kFogColor = 16,
        kFogOpacity = 17,
        kFogNear = 18,
        kFogFar = 19,
        kFogPreserveAlpha = 20,
        kFogBlending = 21,
    };
    int32_t thickness = 0;
    int32_t soften_layer_edge = 0;
};

}  // namespace tavrel
