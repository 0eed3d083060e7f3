#include "plugin/param_declare.h"

#include <cstring>
#include <stdexcept>

#include "plugin/plugin_errors.h"

namespace tavrel {

void add_fixed_slider(PF_InData* in_data, const char* name, int32_t ui_flags, int32_t flags,
                      PF_Fixed value, PF_Fixed dephault, PF_Fixed valid_min, PF_Fixed valid_max,
                      PF_Fixed slider_min, PF_Fixed slider_max, int16_t precision,
                      int16_t display_flags, int32_t disk_id) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_FIX_SLIDER;
    // The host copies into a 32-byte field; a longer name would overrun it.
    if (std::strlen(name) >= sizeof(def.name))
        throw std::length_error(std::string("parameter name longer than 31 characters: ") + name);
    in_data->utils->ansi.strcpy(def.name, name);
    def.ui_flags = ui_flags;
    def.flags = flags;
    def.u.fd.value = value;
    def.u.fd.dephault = dephault;
    def.u.fd.valid_min = valid_min;
    def.u.fd.valid_max = valid_max;
    def.u.fd.slider_min = slider_min;
    def.u.fd.slider_max = slider_max;
    def.u.fd.precision = precision;
    def.u.fd.display_flags = display_flags;
    def.uu.id = disk_id;
    check_pf_err(in_data->inter.add_param(in_data->effect_ref, -1, &def));
}

}  // namespace tavrel
