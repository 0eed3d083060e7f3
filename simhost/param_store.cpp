#include "simhost/param_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace simhost {
namespace {

constexpr size_t kNameField = sizeof(PF_ParamDef::name);

// Entries of a popup's names string as the host counts them: every '|'
// starts a new one, "(-" separators included.
int count_entries(const std::string& names) {
    int n = 1;
    for (char c : names)
        if (c == '|') ++n;
    return n;
}

std::string fixed_decimal(PF_Fixed v) { return shortest_decimal(double(v) / 65536.0); }

std::string hex(uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

}  // namespace

std::string param_type_name(int32_t type) {
    switch (type) {
        case PF_Param_LAYER: return "PF_Param_LAYER";
        case PF_Param_SLIDER: return "PF_Param_SLIDER";
        case PF_Param_FIX_SLIDER: return "PF_Param_FIX_SLIDER";
        case PF_Param_ANGLE: return "PF_Param_ANGLE";
        case PF_Param_CHECKBOX: return "PF_Param_CHECKBOX";
        case PF_Param_COLOR: return "PF_Param_COLOR";
        case PF_Param_POPUP: return "PF_Param_POPUP";
        case PF_Param_ARBITRARY_DATA: return "PF_Param_ARBITRARY_DATA";
        case PF_Param_FLOAT_SLIDER: return "PF_Param_FLOAT_SLIDER";
        case PF_Param_GROUP_START: return "PF_Param_GROUP_START";
        case PF_Param_GROUP_END: return "PF_Param_GROUP_END";
        case PF_Param_NO_DATA: return "PF_Param_NO_DATA";
        default: return "PF_Param_" + std::to_string(type);
    }
}

// %g's own six digits at least, so that whole numbers such as 20 do not turn
// into exponent forms; more only where six do not read back exactly.
std::string shortest_decimal(double v) {
    char buf[40];
    for (int precision = 6; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof(buf), "%.*g", precision, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

std::string shortest_decimal(float v) {
    char buf[40];
    for (int precision = 6; precision <= 9; ++precision) {
        std::snprintf(buf, sizeof(buf), "%.*g", precision, double(v));
        if (std::strtof(buf, nullptr) == v) break;
    }
    return buf;
}

std::optional<int32_t> expected_param_count(const std::string& match_name) {
    if (match_name == "Tavrel Lattix Pro") return 276;
    if (match_name == "Tavrel Varnmoor") return 180;
    return std::nullopt;
}

ParamStore::ParamStore(HandleDisposer dispose) : dispose_(std::move(dispose)) { begin(); }

ParamStore::~ParamStore() {
    for (const auto& p : params_)
        if (p->def.param_type == PF_Param_ARBITRARY_DATA && p->def.u.arb_d.dephault && dispose_)
            dispose_(p->def.u.arb_d.dephault);
}

void ParamStore::begin() {
    for (const auto& p : params_)
        if (p->def.param_type == PF_Param_ARBITRARY_DATA && p->def.u.arb_d.dephault && dispose_)
            dispose_(p->def.u.arb_d.dephault);
    params_.clear();
    problems_.clear();
    auto input = std::make_unique<StoredParam>();
    input->def.param_type = PF_Param_LAYER;
    params_.push_back(std::move(input));
}

PF_Err ParamStore::add(int32_t index, const PF_ParamDef* def) {
    const int32_t at_index = count();
    const std::string where = "parameter " + std::to_string(at_index) + ": ";
    if (def == nullptr) {
        problems_.push_back(where + "add_param without a definition");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (index != -1)
        problems_.push_back(where + "add_param at index " + std::to_string(index) +
                            " instead of appending (-1)");

    auto p = std::make_unique<StoredParam>();
    PF_ParamDef& d = p->def;
    d.uu.id = def->uu.id;
    d.ui_flags = def->ui_flags;
    d.ui_width = def->ui_width;
    d.ui_height = def->ui_height;
    d.param_type = def->param_type;
    d.flags = def->flags;
    if (std::memchr(def->name, 0, kNameField) == nullptr) {
        problems_.push_back(where + "name does not fit 31 characters and the NUL");
    } else if (def->param_type != PF_Param_GROUP_END) {
        // A group end has no name of its own; whatever its record still holds
        // from an earlier declaration is not shown.
        std::strcpy(d.name, def->name);
    }

    // Only the declared type's part of the union is read.
    switch (def->param_type) {
        case PF_Param_SLIDER: d.u.sd = def->u.sd; break;
        case PF_Param_FIX_SLIDER: d.u.fd = def->u.fd; break;
        case PF_Param_FLOAT_SLIDER: d.u.fs_d = def->u.fs_d; break;
        case PF_Param_ANGLE: d.u.ad = def->u.ad; break;
        case PF_Param_COLOR: d.u.cd = def->u.cd; break;
        case PF_Param_CHECKBOX:
            d.u.bd = def->u.bd;
            if (def->u.bd.nameptr == nullptr)
                problems_.push_back(where + "checkbox without a label string");
            else
                p->label = def->u.bd.nameptr;
            d.u.bd.nameptr = p->label.c_str();
            break;
        case PF_Param_POPUP:
            d.u.pd = def->u.pd;
            if (def->u.pd.namesptr == nullptr) {
                problems_.push_back(where + "popup without a names string");
            } else {
                p->names = def->u.pd.namesptr;
                if (def->u.pd.num_choices < 1 || def->u.pd.num_choices > count_entries(p->names))
                    problems_.push_back(where + "popup offers " +
                                        std::to_string(def->u.pd.num_choices) + " choices of " +
                                        std::to_string(count_entries(p->names)) + " names");
            }
            d.u.pd.namesptr = p->names.c_str();
            break;
        case PF_Param_ARBITRARY_DATA:
            // The default handle is the host's from here on.
            d.u.arb_d.id = def->u.arb_d.id;
            d.u.arb_d.refconPV = def->u.arb_d.refconPV;
            d.u.arb_d.dephault = def->u.arb_d.dephault;
            if (def->u.arb_d.dephault == nullptr)
                problems_.push_back(where + "arbitrary data without a default");
            break;
        case PF_Param_LAYER:
        case PF_Param_GROUP_START:
        case PF_Param_GROUP_END:
        case PF_Param_NO_DATA: break;
        default: problems_.push_back(where + "unknown parameter type " + std::to_string(def->param_type));
    }
    params_.push_back(std::move(p));
    return PF_Err_NONE;
}

std::vector<std::string> ParamStore::check(int32_t num_params,
                                           std::optional<int32_t> expected) const {
    std::vector<std::string> out = problems_;
    if (num_params != count())
        out.push_back("num_params " + std::to_string(num_params) + " but " +
                      std::to_string(count() - 1) + " parameters declared after the input layer");
    if (expected && num_params != *expected)
        out.push_back("num_params " + std::to_string(num_params) + " where the effect has " +
                      std::to_string(*expected));
    int depth = 0;
    for (int32_t i = 1; i < count(); ++i) {
        const int32_t type = params_[size_t(i)]->def.param_type;
        if (type == PF_Param_GROUP_START) ++depth;
        if (type == PF_Param_GROUP_END && --depth < 0) {
            out.push_back("parameter " + std::to_string(i) + ": group end without a group start");
            depth = 0;
        }
    }
    if (depth != 0) out.push_back(std::to_string(depth) + " group(s) not ended");
    return out;
}

const StoredParam& ParamStore::at(int32_t index) const {
    if (index < 0 || index >= count())
        throw std::out_of_range("no parameter " + std::to_string(index));
    return *params_[size_t(index)];
}

PF_ParamDef& ParamStore::def(int32_t index) {
    if (index < 0 || index >= count())
        throw std::out_of_range("no parameter " + std::to_string(index));
    return params_[size_t(index)]->def;
}

std::string ParamStore::describe(int32_t index) const {
    const PF_ParamDef& d = at(index).def;
    std::ostringstream s;
    s << index << '\t' << d.name << '\t' << param_type_name(d.param_type) << '\t' << d.uu.id
      << '\t' << hex(uint32_t(d.flags)) << '\t';

    std::vector<std::string> settings;
    auto percent = [&](int16_t display_flags) {
        if (display_flags & PF_ValueDisplayFlag_PERCENT) settings.push_back("percent");
    };
    // Valid range, slider range and default, each number in its type's form.
    auto range_settings = [&](const auto& f, const auto& number) {
        settings.push_back("valid=" + number(f.valid_min) + ".." + number(f.valid_max));
        settings.push_back("slider=" + number(f.slider_min) + ".." + number(f.slider_max));
        settings.push_back("default=" + number(f.dephault));
    };
    switch (d.param_type) {
        case PF_Param_FIX_SLIDER:
            range_settings(d.u.fd, fixed_decimal);
            settings.push_back("precision=" + std::to_string(d.u.fd.precision));
            percent(d.u.fd.display_flags);
            break;
        case PF_Param_FLOAT_SLIDER:
            range_settings(d.u.fs_d, [](float v) { return shortest_decimal(v); });
            settings.push_back("precision=" + std::to_string(d.u.fs_d.precision));
            percent(d.u.fs_d.display_flags);
            break;
        case PF_Param_SLIDER:
            range_settings(d.u.sd, [](int32_t v) { return std::to_string(v); });
            break;
        case PF_Param_ANGLE: settings.push_back("default=" + fixed_decimal(d.u.ad.dephault)); break;
        case PF_Param_CHECKBOX:
            settings.push_back("default=" + std::to_string(d.u.bd.dephault));
            settings.push_back("label=\"" + at(index).label + "\"");
            break;
        case PF_Param_COLOR: {
            const PF_Pixel& c = d.u.cd.dephault;
            settings.push_back("default=" + std::to_string(c.red) + "," + std::to_string(c.green) +
                               "," + std::to_string(c.blue) + "," + std::to_string(c.alpha));
            break;
        }
        case PF_Param_POPUP:
            settings.push_back("choices=" + std::to_string(d.u.pd.num_choices));
            settings.push_back("default=" + std::to_string(d.u.pd.dephault));
            settings.push_back("names=\"" + at(index).names + "\"");
            break;
        case PF_Param_LAYER: settings.push_back("default=none"); break;
        case PF_Param_ARBITRARY_DATA:
            settings.push_back("id=" + std::to_string(d.u.arb_d.id));
            settings.push_back("refcon=" + hex(reinterpret_cast<uintptr_t>(d.u.arb_d.refconPV)));
            break;
        default: break;
    }
    if (d.ui_flags != 0) settings.push_back("ui=" + hex(uint32_t(d.ui_flags)));
    if (d.ui_width != 0 || d.ui_height != 0)
        settings.push_back("ui_size=" + std::to_string(d.ui_width) + "x" + std::to_string(d.ui_height));
    for (size_t i = 0; i < settings.size(); ++i) s << (i ? " " : "") << settings[i];
    return s.str();
}

}  // namespace simhost
