#include "plugin/params/param_declare.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "hostaccess/plugin_errors.h"

namespace tavrel {

void copy_param_name(const PF_InData* in_data, PF_ParamDef& def, const char* name) {
    if (std::strlen(name) >= sizeof(def.name))
        throw std::length_error(std::string("parameter name longer than 31 characters: ") + name);
    in_data->utils->ansi.strcpy(def.name, name);
}

void add_fixed_slider(PF_InData* in_data, const char* name, int32_t ui_flags, int32_t flags,
                      PF_Fixed value, PF_Fixed dephault, PF_Fixed valid_min, PF_Fixed valid_max,
                      PF_Fixed slider_min, PF_Fixed slider_max, int16_t precision,
                      int16_t display_flags, int32_t disk_id) {
    PF_ParamDef def;
    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_FIX_SLIDER;
    copy_param_name(in_data, def, name);
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

ParamDeclarer::ParamDeclarer(PF_InData* in_data) : in_data_(in_data) {
    std::memset(&def_, 0, sizeof(def_));
}

void ParamDeclarer::fill_header(int32_t type, const char* name, int32_t flags, int32_t disk_id) {
    def_.param_type = type;
    copy_param_name(in_data_, def_, name);
    def_.flags = flags;
    def_.uu.id = this->disk_id(disk_id);
}

PF_ParamDef& ParamDeclarer::start(int32_t type, const char* name, int32_t flags, int32_t disk_id) {
    std::memset(&def_, 0, sizeof(def_));
    fill_header(type, name, flags, disk_id);
    return def_;
}

PF_ParamDef& ParamDeclarer::restart(int32_t type, const char* name, int32_t flags,
                                    int32_t disk_id) {
    fill_header(type, name, flags, disk_id);
    return def_;
}

PF_Err ParamDeclarer::add() { return in_data_->inter.add_param(in_data_->effect_ref, -1, &def_); }

PF_Err ParamDeclarer::group_start(const char* name, int32_t flags, int32_t disk_id) {
    start(PF_Param_GROUP_START, name, flags, disk_id);
    return add();
}

PF_Err ParamDeclarer::group_end(int32_t disk_id) {
    std::memset(&def_, 0, sizeof(def_));
    def_.param_type = PF_Param_GROUP_END;
    def_.uu.id = this->disk_id(disk_id);
    return add();
}

PF_Err ParamDeclarer::group_end_in_place(int32_t disk_id) {
    def_.param_type = PF_Param_GROUP_END;
    def_.uu.id = this->disk_id(disk_id);
    return add();
}

PF_Err ParamDeclarer::float_slider(const char* name, int32_t flags, int32_t disk_id,
                                   const FloatSliderSettings& s) {
    start(PF_Param_FLOAT_SLIDER, name, flags, disk_id);
    PF_FloatSliderDef& f = def_.u.fs_d;
    f.value = s.dephault;
    f.phase = 0.0;
    f.valid_min = s.valid_min;
    f.valid_max = s.valid_max;
    f.slider_min = s.slider_min;
    f.slider_max = s.slider_max;
    f.dephault = float(s.dephault);
    f.precision = s.precision;
    f.display_flags = s.percent ? PF_ValueDisplayFlag_PERCENT : 0;
    f.fs_flags = 0;
    f.curve_tolerance = 0.05f;
    return add();
}

PF_Err ParamDeclarer::slider(const char* name, int32_t flags, int32_t disk_id, int32_t valid_min,
                             int32_t valid_max, int32_t slider_min, int32_t slider_max,
                             int32_t dephault) {
    start(PF_Param_SLIDER, name, flags, disk_id);
    PF_SliderDef& d = def_.u.sd;
    d.value = dephault;
    d.valid_min = valid_min;
    d.valid_max = valid_max;
    d.slider_min = slider_min;
    d.slider_max = slider_max;
    d.dephault = dephault;
    return add();
}

PF_Err ParamDeclarer::angle(const char* name, int32_t flags, int32_t disk_id, double degrees) {
    std::memset(&def_, 0, sizeof(def_));
    return angle_in_place(name, flags, disk_id, degrees);
}

PF_Err ParamDeclarer::angle_in_place(const char* name, int32_t flags, int32_t disk_id,
                                     double degrees) {
    restart(PF_Param_ANGLE, name, flags, disk_id);
    def_.u.ad.value = to_fixed(degrees);
    def_.u.ad.dephault = to_fixed(degrees);
    return add();
}

PF_Err ParamDeclarer::checkbox(const char* name, int32_t flags, int32_t disk_id,
                               int32_t dephault, const char* label) {
    start(PF_Param_CHECKBOX, name, flags, disk_id);
    def_.u.bd.value = dephault;
    def_.u.bd.dephault = dephault;
    def_.u.bd.nameptr = label;
    return add();
}

PF_Err ParamDeclarer::color(const char* name, int32_t flags, int32_t disk_id, PF_Pixel dephault) {
    start(PF_Param_COLOR, name, flags, disk_id);
    def_.u.cd.value = dephault;
    def_.u.cd.dephault = dephault;
    return add();
}

PF_Err ParamDeclarer::popup(const char* name, int32_t flags, int32_t disk_id, int16_t num_choices,
                            int16_t dephault, const char* names) {
    start(PF_Param_POPUP, name, flags, disk_id);
    def_.u.pd.value = dephault;
    def_.u.pd.num_choices = num_choices;
    def_.u.pd.dephault = dephault;
    def_.u.pd.namesptr = names;
    return add();
}

PF_Err ParamDeclarer::layer(const char* name, int32_t flags, int32_t disk_id) {
    // A cleared layer record is "no default layer".
    start(PF_Param_LAYER, name, flags, disk_id);
    return add();
}

}  // namespace tavrel
