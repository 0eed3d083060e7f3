#include "varnmoor/varnmoor_about.h"

namespace tavrel::varnmoor {

namespace {
const AboutEntry kAboutStrings[kAboutEntryCount] = {
    {0, ""},
    {1, "Varnmoor Version 1.5 CS6"},
    {2, "Copyright (c) Tavrel. Twist, bend and bulge inside a box region, extrusion, lighting and rendering by "
        "OpenGL."},
    {3, ""},
    {4, ""},
    {5, ""},
    {6, ""},
    {7, ""},
    {8, ""},
    {9, ""},
    {10, ""},
    {11, ""},
    {12, ""},
};
}  // namespace

const AboutEntry* about_strings() { return kAboutStrings; }

PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    return write_about_text(kAboutStrings, in_data, out_data);
}

}  // namespace tavrel::varnmoor
