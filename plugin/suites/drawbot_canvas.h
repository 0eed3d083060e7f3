// Drawing in the host's windows through its Drawbot suites, for one event.
#pragma once

#include "hostapi/host_effect.h"
#include "hostaccess/suite_handler.h"

#include <utility>
#include <vector>

namespace tavrel {

// (left + 0.5, top + 0.5, width, height): pixel centres, so a one-pixel pen
// covers whole pixels.
DRAWBOT_RectF32 pf_rect_to_drawbot_rect(const PF_Rect& rect);

class DrawbotCanvas {
public:
    // When the custom interface suite is refused the canvas says so in the
    // return message and stays unusable (valid() is false); drawing is skipped.
    DrawbotCanvas(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra* extra);
    DrawbotCanvas(const DrawbotCanvas&) = delete;
    DrawbotCanvas& operator=(const DrawbotCanvas&) = delete;

    bool valid() const { return valid_; }

    void stroke_rect(const PF_Rect& rect, const DRAWBOT_ColorRGBA& colour);
    void draw_line(const DRAWBOT_PointF32& from, const DRAWBOT_PointF32& to,
                   const DRAWBOT_ColorRGBA& colour);
    // A brush, the rectangle as a path, one even-odd fill.
    void fill_rect(const PF_Rect& rect, const DRAWBOT_ColorRGBA& colour);
    // One pen and one path holding every segment, stroked once.
    void stroke_segments(const std::vector<std::pair<DRAWBOT_PointF32, DRAWBOT_PointF32>>& segments,
                         const DRAWBOT_ColorRGBA& colour);

    const DRAWBOT_SupplierSuite1& supplier_suite() { return supplier_suite_.get(); }
    const DRAWBOT_SurfaceSuite1& surface_suite() { return surface_suite_.get(); }
    const DRAWBOT_PathSuite1& path_suite() { return path_suite_.get(); }
    DRAWBOT_SupplierRef supplier() const { return supplier_; }
    DRAWBOT_SurfaceRef surface() const { return surface_; }

private:
    SuiteHolder<DRAWBOT_DrawbotSuite1> draw_suite_;
    SuiteHolder<DRAWBOT_SupplierSuite1> supplier_suite_;
    SuiteHolder<DRAWBOT_SurfaceSuite1> surface_suite_;
    SuiteHolder<DRAWBOT_PathSuite1> path_suite_;
    DRAWBOT_DrawRef draw_ref_ = nullptr;
    DRAWBOT_SupplierRef supplier_ = nullptr;
    DRAWBOT_SurfaceRef surface_ = nullptr;
    bool valid_ = false;
};

// Pen of width 1.0, the rectangle as a path, one stroke; pen and path are
// released on every path out.
void stroke_rect_on_surface(DrawbotCanvas& canvas, const PF_Rect& rect,
                            const DRAWBOT_ColorRGBA& colour);
void draw_line_on_surface(DrawbotCanvas& canvas, const DRAWBOT_PointF32& from,
                          const DRAWBOT_PointF32& to, const DRAWBOT_ColorRGBA& colour);

// Releases a Drawbot object when the scope ends.
class DrawbotObjectGuard {
public:
    DrawbotObjectGuard(const DRAWBOT_SupplierSuite1& suite, void* object)
        : suite_(suite), object_(static_cast<DRAWBOT_ObjectRef>(object)) {}
    DrawbotObjectGuard(const DrawbotObjectGuard&) = delete;
    DrawbotObjectGuard& operator=(const DrawbotObjectGuard&) = delete;
    ~DrawbotObjectGuard() {
        if (object_ != nullptr) suite_.ReleaseObject(object_);
    }

private:
    const DRAWBOT_SupplierSuite1& suite_;
    DRAWBOT_ObjectRef object_;
};

}  // namespace tavrel
