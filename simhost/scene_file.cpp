#include "simhost/scene_file.h"

#include <cmath>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include <nlohmann/json.hpp>

#include "simhost/host_files.h"
#include "simhost/simhost_error.h"

namespace simhost {
namespace {

using Json = nlohmann::ordered_json;

constexpr double kPi = 3.14159265358979323846;

// What a host holds: positions within ten million pixels of the origin (a
// float in the render keeps a pixel's precision there), rotations and
// scales within a million degrees and percent, and comp times within a
// million seconds, so that a time in frames stays a 32-bit number at any
// frame rate up to 2000.
constexpr double kMaxCoordinate = 1e7;
constexpr double kMaxAngle = 1e6;
constexpr double kMaxScale = 1e6;
constexpr double kMaxSeconds = 1e6;

[[noreturn]] void refuse(const std::string& path, const std::string& problem) {
    // Keys are echoed as read: a NUL in one must not end the message, and a
    // huge one is cut.
    throw SimhostError("scene: " + (path.empty() ? problem : echo(path) + ": " + problem));
}

std::string child(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }
std::string item(const std::string& path, size_t i) { return path + "[" + std::to_string(i) + "]"; }

// Refuses a non-object and any key outside `known`.
void expect_keys(const Json& j, const std::string& path, std::initializer_list<const char*> known) {
    if (!j.is_object()) refuse(path, "expected an object");
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool found = false;
        for (const char* k : known) found = found || it.key() == k;
        if (!found) refuse(child(path, it.key()), "unknown key");
    }
}

double number(const Json& j, const std::string& path) {
    if (!j.is_number()) refuse(path, "expected a number");
    return j.get<double>();
}

double number_in(const Json& j, const std::string& path, double min, double max) {
    const double v = number(j, path);
    if (v < min || v > max) {
        std::ostringstream out;
        out << "expected a number from " << min << " to " << max;
        refuse(path, out.str());
    }
    return v;
}

int32_t positive_whole(const Json& j, const std::string& path) {
    if (!j.is_number_integer() || j.get<int64_t>() < 1 || j.get<int64_t>() > 30000)
        refuse(path, "expected a whole number from 1 to 30000");
    return int32_t(j.get<int64_t>());
}

// Kept as a ratio over 10000, enough for the common aspects.
A_Ratio aspect_ratio(const Json& j, const std::string& path) {
    const double a = number_in(j, path, 0.01, 100.0);
    return A_Ratio{int32_t(std::lround(a * 10000.0)), 10000};
}

bool boolean(const Json& j, const std::string& path) {
    if (!j.is_boolean()) refuse(path, "expected true or false");
    return j.get<bool>();
}

std::string text(const Json& j, const std::string& path) {
    if (!j.is_string()) refuse(path, "expected a string");
    return j.get<std::string>();
}

// [x, y] or [x, y, z], each within +-`limit`; a missing z is `z`.
AEGP_ThreeDVal point(const Json& j, const std::string& path, double limit, double z = 0.0) {
    if (!j.is_array() || j.size() < 2 || j.size() > 3) refuse(path, "expected [x, y] or [x, y, z]");
    AEGP_ThreeDVal p{number_in(j[0], item(path, 0), -limit, limit), number_in(j[1], item(path, 1), -limit, limit),
                     z};
    if (j.size() == 3) p.z = number_in(j[2], item(path, 2), -limit, limit);
    return p;
}

// The deepest a scene nests: the file's object, "keyframes", a
// parameter's keys and one [time, VALUE] pair (a light's colour and a
// layer's points are as deep). Deeper text is no scene, refused where it
// goes deeper, before the rest is read.
constexpr size_t kMaxSceneDepth = 4;

// Reads the text once without keeping it: where a parse fails, as a key
// path (the DOM parser knows only the byte offset), and what failed.
class PathFinder : public nlohmann::json_sax<Json> {
public:
    // Built once, when a refusal needs it: its length is that of the keys
    // and indices on the way down.
    std::string path() const {
        std::string p;
        for (const Level& l : levels_) {
            if (l.array) {
                p += '[';
                p += std::to_string(l.index);
                p += ']';
            } else if (l.has_key) {
                if (!p.empty()) p += '.';
                p += l.key;
            }
        }
        return p;
    }
    const std::string& problem() const { return problem_; }

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(string_t& k) override {
        levels_.back().key = k;
        levels_.back().has_key = true;
        return true;
    }
    bool end_object() override {
        levels_.pop_back();
        return value();
    }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override {
        levels_.pop_back();
        return value();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
        // A number too large for a double is no syntax error and has no
        // offset worth reading.
        problem_ = e.id == 406 ? "a number beyond what a scene holds (" + echo(e.what()) + ")"
                               : "not JSON: " + echo(e.what());
        return false;
    }

private:
    struct Level {
        bool array;
        size_t index;
        bool has_key;
        std::string key;
    };
    bool open(bool array) {
        if (levels_.size() == kMaxSceneDepth) {
            problem_ = "nested deeper than a scene goes (" + std::to_string(kMaxSceneDepth) + " levels)";
            return false;
        }
        levels_.push_back({array, 0, false, {}});
        return true;
    }
    // A finished value moves an array on to its next element.
    bool value() {
        if (!levels_.empty() && levels_.back().array) ++levels_.back().index;
        return true;
    }
    std::vector<Level> levels_;
    std::string problem_;
};

// A value as a user would type it: text as is, numbers in their shortest
// form, true and false as 1 and 0.
std::string typed_value(const Json& j, const std::string& path) {
    if (j.is_string()) return j.get<std::string>();
    if (j.is_boolean()) return j.get<bool>() ? "1" : "0";
    if (j.is_number()) return j.dump();
    refuse(path, "expected a number, a string or true or false");
}

A_Matrix4 multiply(const A_Matrix4& a, const A_Matrix4& b) {
    A_Matrix4 m{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) m.mat[r][c] += a.mat[r][k] * b.mat[k][c];
    return m;
}

// A rotation of row vectors by `degrees` about axis 0 (x), 1 (y) or 2 (z).
A_Matrix4 rotation(int axis, double degrees) {
    const double a = degrees * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    const int i = (axis + 1) % 3, k = (axis + 2) % 3;
    A_Matrix4 m = identity_matrix();
    m.mat[i][i] = c;
    m.mat[i][k] = s;
    m.mat[k][i] = -s;
    m.mat[k][k] = c;
    return m;
}

A_Matrix4 orientation_matrix(const AEGP_ThreeDVal& o) {
    return multiply(multiply(rotation(0, o.x), rotation(1, o.y)), rotation(2, o.z));
}

AEGP_ThreeDVal normalized(double x, double y, double z) {
    const double n = std::sqrt(x * x + y * y + z * z);
    return {x / n, y / n, z / n};
}

AEGP_ThreeDVal cross(const AEGP_ThreeDVal& a, const AEGP_ThreeDVal& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void load_camera(const Json& j, Scene& scene) {
    const std::string path = "camera";
    expect_keys(j, path, {"type", "position", "point_of_interest", "orientation", "zoom", "focus_distance",
                          "aperture", "blur_level", "depth_of_field"});
    AEGP_CameraType type = AEGP_CameraType_PERSPECTIVE;
    if (j.contains("type")) {
        const std::string t = text(j["type"], child(path, "type"));
        if (t == "orthographic") type = AEGP_CameraType_ORTHOGRAPHIC;
        else if (t != "perspective") refuse(child(path, "type"), "expected \"perspective\" or \"orthographic\"");
    }
    SceneLayer& cam = scene.add_camera(type);
    const SceneItem& comp = scene.comp_item();
    const double zoom = j.contains("zoom") ? number_in(j["zoom"], child(path, "zoom"), 1e-3, 1e6) : 1000.0;
    // Without a position the camera stands where the comp's default camera
    // does: centred, `zoom` in front of the comp.
    AEGP_ThreeDVal position{comp.width / 2.0, comp.height / 2.0, -zoom};
    AEGP_ThreeDVal poi{comp.width / 2.0, comp.height / 2.0, 0.0};
    AEGP_ThreeDVal orientation{0, 0, 0};
    if (j.contains("position")) position = point(j["position"], child(path, "position"), kMaxCoordinate);
    if (j.contains("point_of_interest"))
        poi = point(j["point_of_interest"], child(path, "point_of_interest"), kMaxCoordinate);
    if (j.contains("orientation")) orientation = point(j["orientation"], child(path, "orientation"), kMaxAngle);
    cam.streams[AEGP_LayerStream_POSITION].set(three_d(position.x, position.y, position.z));
    cam.streams[AEGP_LayerStream_ZOOM].set(one_d(zoom));
    if (j.contains("focus_distance"))
        cam.streams[AEGP_LayerStream_FOCUS_DISTANCE].set(
            one_d(number_in(j["focus_distance"], child(path, "focus_distance"), 1e-3, 1e9)));
    if (j.contains("aperture"))
        cam.streams[AEGP_LayerStream_APERTURE].set(one_d(number_in(j["aperture"], child(path, "aperture"), 0.0, 1e9)));
    if (j.contains("blur_level"))
        cam.streams[AEGP_LayerStream_BLUR_LEVEL].set(
            one_d(number_in(j["blur_level"], child(path, "blur_level"), 0.0, 1e9)));
    if (j.contains("depth_of_field"))
        cam.streams[AEGP_LayerStream_DEPTH_OF_FIELD].set(
            one_d(boolean(j["depth_of_field"], child(path, "depth_of_field")) ? 1.0 : 0.0));
    cam.to_world.set(aimed_matrix(position, poi, orientation));
}

void load_light(const Json& j, const std::string& path, Scene& scene) {
    expect_keys(j, path, {"type", "position", "point_of_interest", "color", "intensity", "cone_angle",
                          "cone_feather", "casts_shadows", "shadow_darkness", "shadow_diffusion", "visible"});
    if (!j.contains("type")) refuse(child(path, "type"), "missing");
    const std::string t = text(j["type"], child(path, "type"));
    AEGP_LightType type;
    if (t == "parallel") type = AEGP_LightType_PARALLEL;
    else if (t == "spot") type = AEGP_LightType_SPOT;
    else if (t == "point") type = AEGP_LightType_POINT;
    else if (t == "ambient") type = AEGP_LightType_AMBIENT;
    else refuse(child(path, "type"), "expected \"parallel\", \"spot\", \"point\" or \"ambient\"");
    SceneLayer& light = scene.add_light(type);
    const SceneItem& comp = scene.comp_item();
    AEGP_ThreeDVal position{comp.width / 2.0, comp.height / 2.0, -1000.0};
    AEGP_ThreeDVal poi{comp.width / 2.0, comp.height / 2.0, 0.0};
    if (j.contains("position")) position = point(j["position"], child(path, "position"), kMaxCoordinate);
    if (j.contains("point_of_interest"))
        poi = point(j["point_of_interest"], child(path, "point_of_interest"), kMaxCoordinate);
    light.streams[AEGP_LayerStream_POSITION].set(three_d(position.x, position.y, position.z));
    light.to_world.set(aimed_matrix(position, poi, {0, 0, 0}));
    if (j.contains("color")) {
        const Json& c = j["color"];
        const std::string cp = child(path, "color");
        if (!c.is_array() || c.size() != 3) refuse(cp, "expected [r, g, b]");
        light.streams[AEGP_LayerStream_COLOR].set(color(1.0, number_in(c[0], item(cp, 0), 0.0, 1.0),
                                                        number_in(c[1], item(cp, 1), 0.0, 1.0),
                                                        number_in(c[2], item(cp, 2), 0.0, 1.0)));
    }
    const struct {
        const char* key;
        AEGP_LayerStream stream;
        double min, max;
    } numbers[] = {{"intensity", AEGP_LayerStream_INTENSITY, -1e6, 1e6},
                   {"cone_angle", AEGP_LayerStream_CONE_ANGLE, 0.0, 180.0},
                   {"cone_feather", AEGP_LayerStream_CONE_FEATHER, 0.0, 100.0},
                   {"shadow_darkness", AEGP_LayerStream_SHADOW_DARKNESS, 0.0, 100.0},
                   {"shadow_diffusion", AEGP_LayerStream_SHADOW_DIFFUSION, 0.0, 1e6}};
    for (const auto& n : numbers)
        if (j.contains(n.key))
            light.streams[n.stream].set(one_d(number_in(j[n.key], child(path, n.key), n.min, n.max)));
    if (j.contains("casts_shadows"))
        light.streams[AEGP_LayerStream_CASTS_SHADOWS].set(
            one_d(boolean(j["casts_shadows"], child(path, "casts_shadows")) ? 1.0 : 0.0));
    if (j.contains("visible")) light.video_on = boolean(j["visible"], child(path, "visible"));
}

// An image layer's placement; returns its image path.
std::string load_image_layer(const Json& j, const std::string& path, LayerPlacement& placement, double* in_point,
                             A_Ratio* pixel_aspect) {
    if (in_point != nullptr)
        expect_keys(j, path, {"image", "position", "anchor", "scale", "orientation", "in_point", "pixel_aspect"});
    else
        expect_keys(j, path, {"image", "position", "anchor", "scale", "orientation"});
    std::string image;
    if (j.contains("image")) {
        image = text(j["image"], child(path, "image"));
        if (image.empty()) refuse(child(path, "image"), "expected a file path, not an empty one");
        if (image.find('\0') != std::string::npos)
            refuse(child(path, "image"), "a path cannot hold a NUL character: \"" + echo(image) + "\"");
    }
    if (j.contains("anchor")) placement.anchor = point(j["anchor"], child(path, "anchor"), kMaxCoordinate);
    if (j.contains("position")) placement.position = point(j["position"], child(path, "position"), kMaxCoordinate);
    if (j.contains("scale")) placement.scale = point(j["scale"], child(path, "scale"), kMaxScale, 100.0);
    if (j.contains("orientation"))
        placement.orientation = point(j["orientation"], child(path, "orientation"), kMaxAngle);
    if (in_point != nullptr && j.contains("in_point"))
        *in_point = number_in(j["in_point"], child(path, "in_point"), -kMaxSeconds, kMaxSeconds);
    if (pixel_aspect != nullptr && j.contains("pixel_aspect"))
        *pixel_aspect = aspect_ratio(j["pixel_aspect"], child(path, "pixel_aspect"));
    return image;
}

}  // namespace

A_Matrix4 aimed_matrix(const AEGP_ThreeDVal& position, const AEGP_ThreeDVal& point_of_interest,
                       const AEGP_ThreeDVal& orientation) {
    A_Matrix4 aim = identity_matrix();
    const double dx = point_of_interest.x - position.x, dy = point_of_interest.y - position.y,
                 dz = point_of_interest.z - position.z;
    if (dx != 0.0 || dy != 0.0 || dz != 0.0) {
        const AEGP_ThreeDVal z = normalized(dx, dy, dz);
        // The world's y runs down the comp; looking straight along it, the
        // layer's x stays the world's.
        AEGP_ThreeDVal x = cross({0, 1, 0}, z);
        x = (x.x == 0.0 && x.y == 0.0 && x.z == 0.0) ? AEGP_ThreeDVal{1, 0, 0} : normalized(x.x, x.y, x.z);
        const AEGP_ThreeDVal y = cross(z, x);
        const AEGP_ThreeDVal rows[3] = {x, y, z};
        for (int r = 0; r < 3; ++r) {
            aim.mat[r][0] = rows[r].x;
            aim.mat[r][1] = rows[r].y;
            aim.mat[r][2] = rows[r].z;
        }
    }
    return multiply(multiply(orientation_matrix(orientation), aim),
                    translation_matrix(position.x, position.y, position.z));
}

A_Matrix4 layer_matrix(const AEGP_ThreeDVal& anchor, const AEGP_ThreeDVal& scale, const AEGP_ThreeDVal& orientation,
                       const AEGP_ThreeDVal& position) {
    A_Matrix4 s = identity_matrix();
    s.mat[0][0] = scale.x / 100.0;
    s.mat[1][1] = scale.y / 100.0;
    s.mat[2][2] = scale.z / 100.0;
    return multiply(multiply(multiply(translation_matrix(-anchor.x, -anchor.y, -anchor.z), s),
                             orientation_matrix(orientation)),
                    translation_matrix(position.x, position.y, position.z));
}

void place_layer(const Scene& scene, SceneLayer& layer, const LayerPlacement& placement) {
    const SceneItem& size = layer.source != nullptr ? *layer.source : scene.comp_item();
    const AEGP_ThreeDVal anchor = placement.anchor.value_or(AEGP_ThreeDVal{size.width / 2.0, size.height / 2.0, 0});
    const AEGP_ThreeDVal position = placement.position.value_or(
        AEGP_ThreeDVal{scene.comp_item().width / 2.0, scene.comp_item().height / 2.0, 0});
    const AEGP_ThreeDVal& scale = placement.scale;
    layer.streams[AEGP_LayerStream_ANCHORPOINT].set(three_d(anchor.x, anchor.y, anchor.z));
    layer.streams[AEGP_LayerStream_POSITION].set(three_d(position.x, position.y, position.z));
    layer.streams[AEGP_LayerStream_SCALE].set(three_d(scale.x, scale.y, scale.z));
    // World units are comp pixels: a layer pixel is (layer aspect / comp
    // aspect) of one across.
    AEGP_ThreeDVal world_scale = scale;
    const A_Ratio comp_aspect = scene.comp_item().pixel_aspect;
    if (layer.source != nullptr && comp_aspect.num > 0 && comp_aspect.den != 0 && size.pixel_aspect.num > 0 &&
        size.pixel_aspect.den != 0)
        world_scale.x *= (double(size.pixel_aspect.num) / size.pixel_aspect.den) /
                         (double(comp_aspect.num) / comp_aspect.den);
    layer.to_world.set(layer_matrix(anchor, world_scale, placement.orientation, position));
}

SceneFile load_scene(const std::string& json_text, Scene& scene) {
    // One parse for a scene; a refused text is read again to say where. The
    // parse stops where the text nests deeper than a scene goes.
    struct TooDeep {};
    Json root;
    bool parsed = false;
    try {
        root = Json::parse(json_text, [](int depth, Json::parse_event_t event, Json&) {
            const bool opens = event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start;
            if (opens && size_t(depth) >= kMaxSceneDepth) throw TooDeep{};
            return true;
        });
        parsed = true;
    } catch (const TooDeep&) {
    } catch (const Json::exception&) {
    }
    if (!parsed) {
        PathFinder finder;
        Json::sax_parse(json_text, &finder);
        refuse(finder.path(), finder.problem());
    }
    expect_keys(root, "", {"comp", "time", "downsample", "camera", "lights", "layer", "layers", "params", "keyframes"});
    SceneFile file;
    if (root.contains("comp")) {
        const Json& c = root["comp"];
        expect_keys(c, "comp", {"width", "height", "pixel_aspect", "duration"});
        SceneItem& comp = scene.comp_item();
        int32_t w = comp.width, h = comp.height;
        if (c.contains("width")) w = positive_whole(c["width"], "comp.width");
        if (c.contains("height")) h = positive_whole(c["height"], "comp.height");
        A_Ratio aspect = comp.pixel_aspect;
        if (c.contains("pixel_aspect")) aspect = aspect_ratio(c["pixel_aspect"], "comp.pixel_aspect");
        scene.set_comp(w, h, aspect);
        if (c.contains("duration")) file.duration = number_in(c["duration"], "comp.duration", 0.0, 1e6);
    }
    if (root.contains("time")) file.time = number_in(root["time"], "time", -kMaxSeconds, kMaxSeconds);
    if (root.contains("downsample")) {
        const Json& d = root["downsample"];
        if (!d.is_array() || d.size() != 2) refuse("downsample", "expected [x, y]");
        file.downsample_x = positive_whole(d[0], "downsample[0]");
        file.downsample_y = positive_whole(d[1], "downsample[1]");
    }
    if (root.contains("layer"))
        file.effect_image = load_image_layer(root["layer"], "layer", file.effect_placement, &scene.in_point,
                                             &file.effect_pixel_aspect);
    scene.effect_layer().source->pixel_aspect = file.effect_pixel_aspect;
    place_layer(scene, scene.effect_layer(), file.effect_placement);
    if (root.contains("layers")) {
        const Json& ls = root["layers"];
        if (!ls.is_array()) refuse("layers", "expected an array");
        for (size_t i = 0; i < ls.size(); ++i) {
            SceneLayer& l = scene.add_layer(AEGP_ObjectType_AV);
            file.layer_indices.push_back(scene.layer_count() - 1);
            file.layer_placements.emplace_back();
            file.layer_images.push_back(
                load_image_layer(ls[i], item("layers", i), file.layer_placements.back(), nullptr, nullptr));
            place_layer(scene, l, file.layer_placements.back());
        }
    }
    if (root.contains("camera")) load_camera(root["camera"], scene);
    if (root.contains("lights")) {
        const Json& ls = root["lights"];
        if (!ls.is_array()) refuse("lights", "expected an array");
        for (size_t i = 0; i < ls.size(); ++i) load_light(ls[i], item("lights", i), scene);
    }
    if (root.contains("params")) {
        const Json& p = root["params"];
        if (!p.is_object()) refuse("params", "expected an object");
        for (auto it = p.begin(); it != p.end(); ++it)
            file.params.push_back({it.key(), typed_value(it.value(), child("params", it.key()))});
    }
    if (root.contains("keyframes")) {
        const Json& k = root["keyframes"];
        if (!k.is_object()) refuse("keyframes", "expected an object");
        for (auto it = k.begin(); it != k.end(); ++it) {
            const std::string path = child("keyframes", it.key());
            if (!it.value().is_array()) refuse(path, "expected an array of [time, VALUE]");
            for (size_t i = 0; i < it.value().size(); ++i) {
                const Json& key = it.value()[i];
                if (!key.is_array() || key.size() != 2) refuse(item(path, i), "expected [time, VALUE]");
                file.keyframes.push_back({it.key(), number_in(key[0], item(item(path, i), 0), -kMaxSeconds, kMaxSeconds),
                                          typed_value(key[1], item(item(path, i), 1))});
            }
        }
    }
    return file;
}

SceneFile load_scene_file(const std::string& path, Scene& scene) {
    check_path(path, "--scene");
    std::vector<uint8_t> bytes;
    try {
        bytes = read_capped(path, kMaxSceneBytes, "a scene file");
    } catch (const SimhostError& e) {
        throw SimhostError(std::string("scene: ") + e.what());
    }
    return load_scene(std::string(bytes.begin(), bytes.end()), scene);
}

std::vector<UserEdit> scene_param_edits(const SceneFile& file, const ParamStore& params) {
    std::vector<UserEdit> edits;
    for (const SceneParam& p : file.params) edits.push_back(parse_user_edit(params, p.name + "=" + p.value));
    return edits;
}

std::vector<std::pair<double, UserEdit>> scene_keyframe_edits(const SceneFile& file, const ParamStore& params) {
    std::vector<std::pair<double, UserEdit>> edits;
    for (const SceneKeyframe& k : file.keyframes)
        edits.emplace_back(k.time, parse_user_edit(params, k.name + "=" + k.value));
    return edits;
}

}  // namespace simhost
