#include "plugin/drawbot_canvas.h"

#include "plugin/return_message.h"

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

void stroke_rect_on_surface(DrawbotCanvas& canvas, const PF_Rect& rect,
                            const DRAWBOT_ColorRGBA& colour) {
    const auto& supplier = canvas.supplier_suite();
    DRAWBOT_PenRef pen = nullptr;
    check_pf_err(supplier.NewPen(canvas.supplier(), &colour, 1.0f, &pen));
    DrawbotObjectGuard pen_guard(supplier, pen);
    DRAWBOT_PathRef path = nullptr;
    check_pf_err(supplier.NewPath(canvas.supplier(), &path));
    DrawbotObjectGuard path_guard(supplier, path);
    const DRAWBOT_RectF32 r = pf_rect_to_drawbot_rect(rect);
    check_pf_err(canvas.path_suite().AddRect(path, &r));
    check_pf_err(canvas.surface_suite().StrokePath(canvas.surface(), pen, path));
}

void draw_line_on_surface(DrawbotCanvas& canvas, const DRAWBOT_PointF32& from,
                          const DRAWBOT_PointF32& to, const DRAWBOT_ColorRGBA& colour) {
    const auto& supplier = canvas.supplier_suite();
    DRAWBOT_PenRef pen = nullptr;
    check_pf_err(supplier.NewPen(canvas.supplier(), &colour, 1.0f, &pen));
    DrawbotObjectGuard pen_guard(supplier, pen);
    DRAWBOT_PathRef path = nullptr;
    check_pf_err(supplier.NewPath(canvas.supplier(), &path));
    DrawbotObjectGuard path_guard(supplier, path);
    check_pf_err(canvas.path_suite().MoveTo(path, from.x, from.y));
    check_pf_err(canvas.path_suite().LineTo(path, to.x, to.y));
    check_pf_err(canvas.surface_suite().StrokePath(canvas.surface(), pen, path));
}

}  // namespace tavrel
