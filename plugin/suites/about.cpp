#include "plugin/suites/about.h"

#include <algorithm>
#include <string>

#include "hostaccess/suite_handler.h"

namespace tavrel {

std::array<AboutEntry, kAboutEntryCount> about_table(const char* title, const char* credits) {
    std::array<AboutEntry, kAboutEntryCount> table{};
    for (int i = 0; i < kAboutEntryCount; ++i) table[i].index = static_cast<uint32_t>(i);
    const char* texts[2] = {title, credits};
    for (int k = 0; k < 2; ++k) {
        const std::string text(texts[k]);
        text.copy(table[k + 1].text, sizeof table[k + 1].text - 1);
    }
    return table;
}

const AboutEntry* about_strings() {
    static const auto table =
        about_table("Lattix Pro Version 1.5 CS6",
                    "Copyright (c) Tavrel. Bicubic surface deformation, lighting and rendering by OpenGL.");
    return table.data();
}

PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, void*) {
    return write_about_text(about_strings(), in_data, out_data);
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
