// Names strings of the popups. The host offers as many entries as a popup's
// choice count, taken from the front; "(-" is a separator entry.
#pragma once

namespace tavrel {

inline constexpr const char kManipulationNames[] = "X,Y,Z|X only|Y only|Z only";
inline constexpr const char kTangentAlignmentNames[] = "Off|On";
inline constexpr const char kUseLayersNames[] = "RGB (Luma)|Red|Green|Blue|Alpha";
inline constexpr const char kMapChannelNames[] =
    "None|(-|RGB (Luma)|Red|Green|Blue|Alpha|(-|RGB (Luma) Inverted|Red Inverted|Green "
    "Inverted|Blue Inverted|Alpha Inverted";
inline constexpr const char kReflectionMappingNames[] = "Spherical|Cubic|Equirectangular";
// 31 names; the blending popups offer 30, so "Luminosity" never shows.
inline constexpr const char kBlendingNames[] =
    "Normal|(-|Darken|Multiply|Color Burn|Linear Burn|Darker Color|(-|Lighten|Screen|Color "
    "Dodge|Linear Dodge (Add)|Lighter Color|(-|Overlay|Soft Light|Hard Light|Vivid Light|Linear "
    "Light|Pin Light|Hard Mix|(-|Difference|Exclusion|Subtract|Divide|(-|Hue|Saturation|Color|"
    "Luminosity";
inline constexpr const char kRenderModeNames[] = "Wireframe|Full Render|Depth";
inline constexpr const char kAntialiasingNames[] = "None|Low|Medium|High|Very High|Ultra High";
inline constexpr const char kTransparencyNames[] = "Disabled|2 layers|4 layers|All layers";
inline constexpr const char kSpatialDistributionNames[] =
    "Behind Master|In Front of Master|Distribute Equally From Center";
inline constexpr const char kRandomModelNames[] = "Normal|Uniform";
// 4 names; the mist and fog types offer 3, so "Smooth" never shows.
inline constexpr const char kMistTypeNames[] = "None|Linear|Exponential|Smooth";

}  // namespace tavrel
