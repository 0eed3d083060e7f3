#include "simhost/user_edits.h"

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "simhost/host_files.h"
#include "simhost/simhost_error.h"

namespace simhost {
namespace {

// The widest angle a 16.16 value holds, in whole degrees.
constexpr double kAngleLimit = 32767.0;

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// Decimal numbers as a user types them: strtod's hexadecimal forms, "inf"
// and "nan" are no such numbers. A number too small for a double is one all
// the same (strtod calls it out of range): it is the nearest double.
bool parse_number(const std::string& text, double* out) {
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    const bool underflow = errno == ERANGE && std::isfinite(v);
    if ((errno != 0 && !underflow) || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool parse_whole(const std::string& text, long min, long max, long* out) {
    double v = 0.0;
    if (!parse_number(text, &v) || v != std::floor(v) || v < double(min) || v > double(max)) return false;
    *out = long(v);
    return true;
}

// A bound as the parameter shows it: `precision` decimals without trailing
// zeros, or the float's shortest form where those decimals would hide it
// (a range stored in single precision is not printed with its binary error).
std::string shown(double v, int precision) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", std::clamp(precision, 0, 10), v);
    std::string text = buf;
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    if (float(std::strtod(text.c_str(), nullptr)) == float(v)) return text;
    return shortest_decimal(float(v));
}

std::string range(double min, double max, int precision) {
    return shown(min, precision) + ".." + shown(max, precision);
}

[[noreturn]] void refuse(const PF_ParamDef& d, const std::string& text, const std::string& valid) {
    throw SimhostError(std::string(d.name) + ": \"" + echo(text) + "\" is not a valid value (" + valid + ")");
}

// A number within [min, max], or a refusal naming the range. A slider shown
// without decimals takes whole numbers only: what it would show is what it
// holds.
double number_in(const PF_ParamDef& d, const std::string& text, double min, double max, int precision,
                 bool whole_when_no_decimals = false) {
    double v = 0.0;
    const bool whole = whole_when_no_decimals && precision == 0;
    if (!parse_number(text, &v) || v < min || v > max || (whole && v != std::floor(v)))
        refuse(d, text, (whole ? "whole numbers " : "") + range(min, max, precision));
    return v;
}

// The choices a popup offers: the first num_choices entries.
std::vector<std::string> choices(const StoredParam& p) {
    std::vector<std::string> names = split(p.names, '|');
    names.resize(size_t(std::max<int16_t>(p.def.u.pd.num_choices, 0)));
    return names;
}

int32_t to_fixed(double v) { return int32_t(std::llround(v * 65536.0)); }

}  // namespace

int32_t find_param(const ParamStore& params, const std::string& name) {
    long index = 0;
    const bool digits = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
    if (digits) {
        if (!parse_whole(name, 1, params.count() - 1, &index))
            throw SimhostError("no parameter with index " + echo(name) + " (1.." +
                               std::to_string(params.count() - 1) + ")");
        return int32_t(index);
    }
    std::vector<int32_t> found;
    for (int32_t i = 1; i < params.count(); ++i)
        if (name == params.at(i).def.name) found.push_back(i);
    if (found.empty()) throw SimhostError("no parameter named \"" + echo(name) + "\"");
    if (found.size() > 1) {
        std::string list;
        for (size_t k = 0; k < found.size(); ++k) list += (k ? ", " : "") + std::to_string(found[k]);
        throw SimhostError("\"" + echo(name) + "\" names parameters " + list + "; give its index instead");
    }
    return found[0];
}

ParamValue parse_param_value(const ParamStore& params, int32_t index, const std::string& text) {
    const StoredParam& p = params.at(index);
    const PF_ParamDef& d = p.def;
    ParamValue v;
    switch (d.param_type) {
        case PF_Param_SLIDER: {
            long w = 0;
            if (!parse_whole(text, d.u.sd.valid_min, d.u.sd.valid_max, &w))
                refuse(d, text, "whole numbers " + std::to_string(d.u.sd.valid_min) + ".." +
                                    std::to_string(d.u.sd.valid_max));
            v.whole = int32_t(w);
            break;
        }
        case PF_Param_FIX_SLIDER:
            v.whole = to_fixed(
                number_in(d, text, d.u.fd.valid_min / 65536.0, d.u.fd.valid_max / 65536.0, d.u.fd.precision, true));
            break;
        case PF_Param_FLOAT_SLIDER:
            v.real = number_in(d, text, d.u.fs_d.valid_min, d.u.fs_d.valid_max, d.u.fs_d.precision);
            break;
        case PF_Param_ANGLE: v.whole = to_fixed(number_in(d, text, -kAngleLimit, kAngleLimit, 2)); break;
        case PF_Param_CHECKBOX:
            if (text != "0" && text != "1") refuse(d, text, "0 or 1");
            v.whole = text == "1" ? 1 : 0;
            break;
        case PF_Param_POPUP: {
            const std::vector<std::string> names = choices(p);
            long n = 0;
            // A separator is no choice: its number is refused like a name.
            if (parse_whole(text, 1, long(names.size()), &n) && names[size_t(n - 1)] != "(-") {
                v.whole = int32_t(n);
                break;
            }
            std::string valid = "1.." + std::to_string(names.size());
            std::string separators;
            for (size_t k = 0; k < names.size(); ++k)
                if (names[k] == "(-") separators += (separators.empty() ? "" : ", ") + std::to_string(k + 1);
            if (!separators.empty()) valid += " except " + separators;
            for (size_t k = 0; k < names.size(); ++k) {
                if (names[k] == "(-") continue;
                if (names[k] == text) {
                    v.whole = int32_t(k + 1);
                    return v;
                }
                valid += ", \"" + names[k] + "\"";
            }
            refuse(d, text, valid);
        }
        case PF_Param_COLOR: {
            const std::vector<std::string> parts = split(text, ',');
            long c[3] = {0, 0, 0};
            if (parts.size() != 3 || !parse_whole(parts[0], 0, 255, &c[0]) ||
                !parse_whole(parts[1], 0, 255, &c[1]) || !parse_whole(parts[2], 0, 255, &c[2]))
                refuse(d, text, "R,G,B each 0..255");
            v.color = PF_Pixel{255, uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])};
            break;
        }
        case PF_Param_LAYER: {
            // Layers are named by their index in the composition; whether
            // one is there is for the scene to say.
            long n = 0;
            if (text == "none") break;
            if (index == 0 || !parse_whole(text, 0, 30000, &n)) refuse(d, text, "none or a layer index 1..30000");
            v.whole = int32_t(n);
            break;
        }
        default:
            throw SimhostError(std::string("parameter ") + std::to_string(index) + " (" +
                               param_type_name(d.param_type) + ") takes no typed value");
    }
    return v;
}

UserEdit parse_user_edit(const ParamStore& params, const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) throw SimhostError("an edit is NAME=VALUE, not \"" + echo(text) + "\"");
    const int32_t index = find_param(params, text.substr(0, eq));
    return {index, parse_param_value(params, index, text.substr(eq + 1))};
}

std::string format_param_value(const ParamStore& params, int32_t index, const ParamValue& v) {
    const StoredParam& p = params.at(index);
    switch (p.def.param_type) {
        case PF_Param_SLIDER: return std::to_string(v.whole);
        case PF_Param_FIX_SLIDER:
        case PF_Param_ANGLE: return shortest_decimal(v.whole / 65536.0);
        case PF_Param_FLOAT_SLIDER: return shortest_decimal(v.real);
        case PF_Param_CHECKBOX: return std::to_string(v.whole);
        case PF_Param_POPUP: {
            const std::vector<std::string> names = choices(p);
            const bool named = v.whole >= 1 && size_t(v.whole) <= names.size();
            return std::to_string(v.whole) + (named ? " (" + names[size_t(v.whole - 1)] + ")" : "");
        }
        case PF_Param_LAYER: return v.whole == 0 ? "none" : std::to_string(v.whole);
        case PF_Param_COLOR:
            return std::to_string(v.color.red) + "," + std::to_string(v.color.green) + "," +
                   std::to_string(v.color.blue);
        default: return "";
    }
}

}  // namespace simhost
