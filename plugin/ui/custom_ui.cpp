#include "plugin/ui/custom_ui.h"

#include "plugin/ui/ui_drawing.h"
#include "plugin/ui/ui_picking.h"

namespace tavrel {

PF_Err handle_event(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                    PF_ParamDef* params[], PF_LayerDef*, void* extra) {
    auto* event = static_cast<PF_EventExtra*>(extra);
    if (event == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    if (effect.grid <= 0) {
        // The banner alone: nothing to show or edit in the composition and
        // layer windows.
        switch (event->e_type) {
            case PF_Event_DO_CLICK: return handle_click_banner_only(effect, in_data, event);
            case PF_Event_DRAG: return handle_drag_banner_only(effect, in_data, event);
            case PF_Event_DRAW: {
                const PF_Err err = draw_ui_banner_only(effect, in_data, event);
                if (err != PF_Err_NONE) return err;
                return draw_overlay_banner_only(effect, in_data, event);
            }
            default: return PF_Err_NONE;
        }
    }
    switch (event->e_type) {
        case PF_Event_DO_CLICK: return handle_click(effect, in_data, out_data, params, event);
        case PF_Event_DRAG: return handle_drag(effect, in_data, out_data, params, event);
        case PF_Event_DRAW:
            draw_ui(effect, in_data, out_data, params, event);
            return draw_transform_gizmo_event(effect, in_data, out_data, params, event);
        default: return PF_Err_NONE;
    }
}

}  // namespace tavrel
