#include "varnmoor/varnmoor_about.h"

namespace tavrel::varnmoor {

const AboutEntry* about_strings() {
    static const auto table =
        about_table("Varnmoor Version 1.5 CS6",
                    "Copyright (c) Tavrel. Twist, bend and bulge inside a box region, extrusion, lighting and "
                    "rendering by OpenGL.");
    return table.data();
}

PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    return write_about_text(about_strings(), in_data, out_data);
}

}  // namespace tavrel::varnmoor
