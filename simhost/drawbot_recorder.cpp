#include "simhost/drawbot_recorder.h"

#include <cstdio>

#include "simhost/host.h"

namespace simhost {
namespace {

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

std::string colour(const DRAWBOT_ColorRGBA* c) {
    if (c == nullptr) return "rgba=null";
    return "rgba=" + num(c->red) + "," + num(c->green) + "," + num(c->blue) + "," + num(c->alpha);
}

DrawbotRecorder& rec() { return Host::current().drawbot(); }
SPErr fault(const char* fn) { return Host::current().suites().fault(fn); }
constexpr SPErr kBadObject = 0x44427462;  // ours

SPErr GetSupplier(DRAWBOT_DrawRef, DRAWBOT_SupplierRef* supplier) {
    if (SPErr e = fault("GetSupplier")) return e;
    *supplier = (DRAWBOT_SupplierRef)rec().supplier_ref();
    return 0;
}
SPErr GetSurface(DRAWBOT_DrawRef, DRAWBOT_SurfaceRef* surface) {
    if (SPErr e = fault("GetSurface")) return e;
    *surface = (DRAWBOT_SurfaceRef)rec().surface_ref();
    return 0;
}
SPErr NewPen(DRAWBOT_SupplierRef, const DRAWBOT_ColorRGBA* c, float size, DRAWBOT_PenRef* pen) {
    if (SPErr e = fault("NewPen")) return e;
    *pen = (DRAWBOT_PenRef)rec().new_object("pen", colour(c) + " size=" + num(size));
    return 0;
}
SPErr NewBrush(DRAWBOT_SupplierRef, const DRAWBOT_ColorRGBA* c, DRAWBOT_BrushRef* brush) {
    if (SPErr e = fault("NewBrush")) return e;
    *brush = (DRAWBOT_BrushRef)rec().new_object("brush", colour(c));
    return 0;
}
SPErr NewPath(DRAWBOT_SupplierRef, DRAWBOT_PathRef* path) {
    if (SPErr e = fault("NewPath")) return e;
    *path = (DRAWBOT_PathRef)rec().new_object("path", "");
    return 0;
}
SPErr NewImageFromBuffer(DRAWBOT_SupplierRef, int32_t w, int32_t h, int32_t row_bytes, int32_t layout,
                         const void* data, DRAWBOT_ImageRef* image) {
    if (SPErr e = fault("NewImageFromBuffer")) return e;
    if (data == nullptr || w <= 0 || h <= 0 || row_bytes < w * 4) return kBadObject;
    *image = (DRAWBOT_ImageRef)rec().new_object("image", std::to_string(w) + "x" + std::to_string(h) +
                                  " row_bytes=" + std::to_string(row_bytes) +
                                  " layout=" + std::to_string(layout));
    return 0;
}
SPErr ReleaseObject(DRAWBOT_ObjectRef object) {
    if (SPErr e = fault("ReleaseObject")) return e;
    const std::string name = rec().name_of(object);
    if (!rec().release(object)) return kBadObject;
    rec().record("ReleaseObject " + name);
    return 0;
}
SPErr StrokePath(DRAWBOT_SurfaceRef, DRAWBOT_PenRef pen, DRAWBOT_PathRef path) {
    if (SPErr e = fault("StrokePath")) return e;
    if (!rec().is_live(pen, "pen") || !rec().is_live(path, "path")) return kBadObject;
    rec().record("StrokePath " + rec().name_of(pen) + " " + rec().name_of(path));
    return 0;
}
SPErr FillPath(DRAWBOT_SurfaceRef, DRAWBOT_BrushRef brush, DRAWBOT_PathRef path, int32_t type) {
    if (SPErr e = fault("FillPath")) return e;
    if (!rec().is_live(brush, "brush") || !rec().is_live(path, "path")) return kBadObject;
    rec().record("FillPath " + rec().name_of(brush) + " " + rec().name_of(path) + " type=" +
                 std::to_string(type));
    return 0;
}
SPErr DrawImage(DRAWBOT_SurfaceRef, DRAWBOT_ImageRef image, const DRAWBOT_PointF32* origin, float alpha) {
    if (SPErr e = fault("DrawImage")) return e;
    if (!rec().is_live(image, "image") || origin == nullptr) return kBadObject;
    rec().record("DrawImage " + rec().name_of(image) + " at " + num(origin->x) + "," + num(origin->y) +
                 " alpha=" + num(alpha));
    return 0;
}
SPErr MoveTo(DRAWBOT_PathRef path, float x, float y) {
    if (SPErr e = fault("MoveTo")) return e;
    if (!rec().is_live(path, "path")) return kBadObject;
    rec().record("MoveTo " + rec().name_of(path) + " " + num(x) + " " + num(y));
    return 0;
}
SPErr LineTo(DRAWBOT_PathRef path, float x, float y) {
    if (SPErr e = fault("LineTo")) return e;
    if (!rec().is_live(path, "path")) return kBadObject;
    rec().record("LineTo " + rec().name_of(path) + " " + num(x) + " " + num(y));
    return 0;
}
SPErr AddRect(DRAWBOT_PathRef path, const DRAWBOT_RectF32* r) {
    if (SPErr e = fault("AddRect")) return e;
    if (!rec().is_live(path, "path") || r == nullptr) return kBadObject;
    rec().record("AddRect " + rec().name_of(path) + " " + num(r->left) + " " + num(r->top) + " " +
                 num(r->width) + " " + num(r->height));
    return 0;
}

const DRAWBOT_DrawbotSuite1 kDraw{GetSupplier, GetSurface};
const DRAWBOT_SupplierSuite1 kSupplier{NewPen, NewBrush, NewPath, NewImageFromBuffer, ReleaseObject};
const DRAWBOT_SurfaceSuite1 kSurface{StrokePath, FillPath, DrawImage};
const DRAWBOT_PathSuite1 kPath{MoveTo, LineTo, AddRect};

}  // namespace

DrawbotRecorder::DrawbotRecorder() = default;

DrawbotRecorder::~DrawbotRecorder() {
    for (auto& [name, object] : by_name_) delete static_cast<int*>(object);
}

const DRAWBOT_DrawbotSuite1& DrawbotRecorder::draw_suite() { return kDraw; }
const DRAWBOT_SupplierSuite1& DrawbotRecorder::supplier_suite() { return kSupplier; }
const DRAWBOT_SurfaceSuite1& DrawbotRecorder::surface_suite() { return kSurface; }
const DRAWBOT_PathSuite1& DrawbotRecorder::path_suite() { return kPath; }

DRAWBOT_DrawRef DrawbotRecorder::draw_ref() { return reinterpret_cast<DRAWBOT_DrawRef>(&draw_token_); }

std::vector<std::string> DrawbotRecorder::log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

void DrawbotRecorder::clear_log() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

std::vector<std::string> DrawbotRecorder::unreleased() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [object, name] : live_) out.push_back(name + " not released");
    return out;
}

void* DrawbotRecorder::new_object(const std::string& kind, const std::string& detail) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string name = kind + std::to_string(next_id_++);
    int* object = new int(0);
    live_[object] = name;
    by_name_[name] = object;
    log_.push_back("New " + name + (detail.empty() ? "" : " " + detail));
    return object;
}

bool DrawbotRecorder::is_live(const void* object, const char* kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = live_.find(object);
    return it != live_.end() && it->second.rfind(kind, 0) == 0;
}

std::string DrawbotRecorder::name_of(const void* object) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = live_.find(object);
    return it == live_.end() ? "<invalid>" : it->second;
}

bool DrawbotRecorder::release(const void* object) {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.erase(object) != 0;
}

void DrawbotRecorder::record(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(line);
}

}  // namespace simhost
