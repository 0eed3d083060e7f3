// Parameter values as a user types and reads them: "NAME=VALUE" edits and
// the values shown back.
#pragma once

#include <cstdint>
#include <string>

#include "simhost/param_store.h"
#include "simhost/param_values.h"

namespace simhost {

struct UserEdit {
    int32_t index;
    ParamValue value;
};

// The parameter a user names: its name, or its index (needed where a name
// repeats). SimhostError for an unknown name and for a repeated one, naming
// the indices it matches.
int32_t find_param(const ParamStore& params, const std::string& name);

// A value as typed for parameter `index`: sliders and angles as plain numbers
// (fixed sliders in their units), popups by choice number from 1 or by name,
// checkboxes 0 or 1, colours as R,G,B from 0 to 255, layers by their index
// in the composition (none or 0 for no layer). SimhostError, with the
// valid range, for text that does not parse or lies outside it.
ParamValue parse_param_value(const ParamStore& params, int32_t index, const std::string& text);

// "NAME=VALUE".
UserEdit parse_user_edit(const ParamStore& params, const std::string& text);

// The value as a user would type it; empty for values without a text form.
std::string format_param_value(const ParamStore& params, int32_t index, const ParamValue& value);

}  // namespace simhost
