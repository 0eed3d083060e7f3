#include "plugin/suites/drawbot_canvas.h"

#include "plugin/core/return_message.h"

#include <optional>

namespace tavrel {

DRAWBOT_RectF32 pf_rect_to_drawbot_rect(const PF_Rect& rect) {
    return DRAWBOT_RectF32{float(rect.left) + 0.5f, float(rect.top) + 0.5f,
                           float(rect.right - rect.left), float(rect.bottom - rect.top)};
}

DrawbotCanvas::DrawbotCanvas(const PF_InData* in_data, PF_OutData* out_data,
                             const PF_EventExtra* extra)
    : draw_suite_(in_data->pica_basicP, kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1),
      supplier_suite_(in_data->pica_basicP, kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1),
      surface_suite_(in_data->pica_basicP, kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1),
      path_suite_(in_data->pica_basicP, kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1) {
    {
        SuiteHolder<PF_EffectCustomUISuite1> custom_ui(in_data->pica_basicP, kPFEffectCustomUISuite,
                                                       kPFEffectCustomUISuiteVersion1);
        try {
            custom_ui.get();
        } catch (long) {
            write_return_message(in_data, out_data, "Not able to acquire AEFX Suite.");
            return;
        }
        const PF_Err err = custom_ui->PF_GetDrawingReference(extra->contextH, &draw_ref_);
        if (custom_ui.release() != 0) {
            write_return_message(in_data, out_data, "Not able to release AEFX Suite.");
            return;
        }
        check_pf_err(err);
    }
    check_pf_err(draw_suite_->GetSupplier(draw_ref_, &supplier_));
    check_pf_err(draw_suite_->GetSurface(draw_ref_, &surface_));
    valid_ = true;
}

void DrawbotCanvas::stroke_rect(const PF_Rect& rect, const DRAWBOT_ColorRGBA& colour) {
    stroke_rect_on_surface(*this, rect, colour);
}

void DrawbotCanvas::draw_line(const DRAWBOT_PointF32& from, const DRAWBOT_PointF32& to,
                              const DRAWBOT_ColorRGBA& colour) {
    draw_line_on_surface(*this, from, to, colour);
}

void DrawbotCanvas::fill_rect(const PF_Rect& rect, const DRAWBOT_ColorRGBA& colour) {
    const DRAWBOT_SupplierSuite1& supplier = supplier_suite();
    DRAWBOT_BrushRef brush = nullptr;
    check_pf_err(supplier.NewBrush(supplier_, &colour, &brush));
    const DrawbotObjectGuard brush_guard(supplier, brush);
    DRAWBOT_PathRef path = nullptr;
    check_pf_err(supplier.NewPath(supplier_, &path));
    const DrawbotObjectGuard path_guard(supplier, path);
    const DRAWBOT_RectF32 r = pf_rect_to_drawbot_rect(rect);
    check_pf_err(path_suite().AddRect(path, &r));
    check_pf_err(surface_suite().FillPath(surface_, brush, path, kDRAWBOT_FillType_EvenOdd));
}

namespace {

// A one-pixel pen and an empty path, both released when the stroke is done
// or abandoned.
class PenAndPath {
public:
    PenAndPath(DrawbotCanvas& canvas, const DRAWBOT_ColorRGBA& colour) : supplier_(canvas.supplier_suite()) {
        check_pf_err(supplier_.NewPen(canvas.supplier(), &colour, 1.0f, &pen_));
        pen_guard_.emplace(supplier_, pen_);
        check_pf_err(supplier_.NewPath(canvas.supplier(), &path_));
        path_guard_.emplace(supplier_, path_);
    }
    DRAWBOT_PenRef pen() const { return pen_; }
    DRAWBOT_PathRef path() const { return path_; }

private:
    const DRAWBOT_SupplierSuite1& supplier_;
    DRAWBOT_PenRef pen_ = nullptr;
    DRAWBOT_PathRef path_ = nullptr;
    // Declared last so the path goes before the pen.
    std::optional<DrawbotObjectGuard> pen_guard_;
    std::optional<DrawbotObjectGuard> path_guard_;
};

}  // namespace

void DrawbotCanvas::stroke_segments(const std::vector<std::pair<DRAWBOT_PointF32, DRAWBOT_PointF32>>& segments,
                                    const DRAWBOT_ColorRGBA& colour) {
    PenAndPath p(*this, colour);
    for (const auto& [from, to] : segments) {
        check_pf_err(path_suite().MoveTo(p.path(), from.x, from.y));
        check_pf_err(path_suite().LineTo(p.path(), to.x, to.y));
    }
    check_pf_err(surface_suite().StrokePath(surface_, p.pen(), p.path()));
}

void stroke_rect_on_surface(DrawbotCanvas& canvas, const PF_Rect& rect,
                            const DRAWBOT_ColorRGBA& colour) {
    PenAndPath p(canvas, colour);
    const DRAWBOT_RectF32 r = pf_rect_to_drawbot_rect(rect);
    check_pf_err(canvas.path_suite().AddRect(p.path(), &r));
    check_pf_err(canvas.surface_suite().StrokePath(canvas.surface(), p.pen(), p.path()));
}

void draw_line_on_surface(DrawbotCanvas& canvas, const DRAWBOT_PointF32& from,
                          const DRAWBOT_PointF32& to, const DRAWBOT_ColorRGBA& colour) {
    PenAndPath p(canvas, colour);
    check_pf_err(canvas.path_suite().MoveTo(p.path(), from.x, from.y));
    check_pf_err(canvas.path_suite().LineTo(p.path(), to.x, to.y));
    check_pf_err(canvas.surface_suite().StrokePath(canvas.surface(), p.pen(), p.path()));
}

}  // namespace tavrel
