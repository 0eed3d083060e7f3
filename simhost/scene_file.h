// A scene as a JSON file describes it: the comp, the time and downsampling of
// the frame, an optional camera, lights, the effect's layer and other image
// layers, and parameter values and keyframes as a user types them. Unknown
// keys and values of the wrong type are refused by their path in the file,
// so that a misspelt key never passes unnoticed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simhost/param_store.h"
#include "simhost/scene.h"
#include "simhost/user_edits.h"

namespace simhost {

// A parameter value as typed, at a comp time where keyed.
struct SceneParam {
    std::string name;
    std::string value;
};
struct SceneKeyframe {
    std::string name;
    double time;
    std::string value;
};

// An image layer's placement as written. A missing anchor is the layer's
// centre and a missing position the comp's centre, as the host places a new
// layer; both need the layer's size, known only once its image is read.
struct LayerPlacement {
    std::optional<AEGP_ThreeDVal> anchor;
    std::optional<AEGP_ThreeDVal> position;
    AEGP_ThreeDVal scale{100, 100, 100};
    AEGP_ThreeDVal orientation{0, 0, 0};
};

// What the scene holds beyond the scene model: the frame to render, image
// paths (as written, for the caller to read) and parameter text, which needs
// the effect's parameters to be understood.
struct SceneFile {
    double time = 0.0;
    double duration = 0.0;
    int32_t downsample_x = 1;
    int32_t downsample_y = 1;
    std::string effect_image;                // empty: none named
    LayerPlacement effect_placement;
    A_Ratio effect_pixel_aspect{1, 1};       // the effect layer's own pixels
    std::vector<std::string> layer_images;   // one per entry of "layers", in order
    std::vector<size_t> layer_indices;       // their indices in the scene
    std::vector<LayerPlacement> layer_placements;
    std::vector<SceneParam> params;          // by name
    std::vector<SceneKeyframe> keyframes;    // by name, then in the file's order
};

// The camera's layer-to-world matrix (row vectors, translation in the fourth
// row): the orientation's rotations about x, then y, then z (degrees), then
// the turn that aims the layer's z axis from `position` at
// `point_of_interest` with its y axis kept in the plane of the world's y, then
// the translation to `position`. Lights are placed the same way.
A_Matrix4 aimed_matrix(const AEGP_ThreeDVal& position, const AEGP_ThreeDVal& point_of_interest,
                       const AEGP_ThreeDVal& orientation);
// An image layer's: anchor to the origin, scale (percent), orientation, then
// the translation to `position`.
A_Matrix4 layer_matrix(const AEGP_ThreeDVal& anchor, const AEGP_ThreeDVal& scale, const AEGP_ThreeDVal& orientation,
                       const AEGP_ThreeDVal& position);

// The largest scene file read: far more than any scene's keys and values
// take, so that a device or a stray file is refused before it is held.
constexpr size_t kMaxSceneBytes = size_t(16) << 20;

// Sets the layer's anchor, position and scale streams and its layer-to-world
// matrix, the defaults measured on its source (the comp where it has none).
// The matrix takes layer pixels to comp pixels: x is scaled by the source's
// pixel aspect over the comp's as well as by the layer's scale.
void place_layer(const Scene& scene, SceneLayer& layer, const LayerPlacement& placement);

// Fills `scene` from the JSON text. SimhostError "scene: PATH: PROBLEM" for
// anything refused; the scene may then be partly filled.
SceneFile load_scene(const std::string& json_text, Scene& scene);
// Reads the file first; a file that cannot be read is refused by its name.
SceneFile load_scene_file(const std::string& path, Scene& scene);

// The edits of "params" and "keyframes" for the effect's parameters, each
// refused as a typed "NAME=VALUE" edit would be.
std::vector<UserEdit> scene_param_edits(const SceneFile& file, const ParamStore& params);
std::vector<std::pair<double, UserEdit>> scene_keyframe_edits(const SceneFile& file, const ParamStore& params);

}  // namespace simhost
