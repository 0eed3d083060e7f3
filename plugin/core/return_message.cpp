#include "plugin/core/return_message.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tavrel {

void write_return_message(const PF_InData* in_data, PF_OutData* out_data, std::string_view text) {
    if (out_data == nullptr) return;
    const std::string bounded(text.substr(0, std::min<size_t>(text.size(), PF_MAX_EFFECT_MSG_LEN)));
    // An embedded NUL ends the message as it would for any C string.
    if (in_data != nullptr && in_data->utils != nullptr && in_data->utils->ansi.sprintf != nullptr) {
        in_data->utils->ansi.sprintf(out_data->return_msg, "%s", bounded.c_str());
        return;
    }
    const size_t n = std::min(std::strlen(bounded.c_str()), size_t(PF_MAX_EFFECT_MSG_LEN));
    std::memcpy(out_data->return_msg, bounded.data(), n);
    out_data->return_msg[n] = '\0';
}

}  // namespace tavrel
