#include "plugin/about.h"

#include <algorithm>
#include <string>

#include "hostaccess/suite_handler.h"

namespace tavrel {

namespace {
const AboutEntry kAboutStrings[kAboutEntryCount] = {
    {0, ""},
    {1, "Lattix Pro Version 1.5 CS6"},
    {2, "Copyright (c) Tavrel. Bicubic surface deformation, lighting and rendering by OpenGL."},
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

PF_Err write_about_text(const AboutEntry* table, PF_InData* in_data, PF_OutData* out_data) {
    HostSuites suites(in_data);
    // Composed here and handed over as one "%s" argument, cut to the 255
    // bytes the return message holds.
    std::string text = std::string(table[1].text) + "\r" + table[2].text;
    text.resize(std::min<size_t>(text.size(), PF_MAX_EFFECT_MSG_LEN));
    suites.ansi_suite().sprintf(out_data->return_msg, "%s", text.c_str());
    return PF_Err_NONE;
}

}  // namespace tavrel
