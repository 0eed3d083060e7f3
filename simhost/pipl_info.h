#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simhost {

struct PiplInfo {
    std::string kind;  // four-character code as read, e.g. "eFKT"
    std::string name;
    std::string match_name;
    std::string category;
    std::string entry_point;
    uint32_t version = 0;
    uint32_t out_flags = 0;
    uint32_t out_flags2 = 0;
    uint16_t spec_version_major = 0, spec_version_minor = 0;
    uint16_t pipl_version_major = 0, pipl_version_minor = 0;
};

// Parses a property list; throws SimhostError naming what is malformed.
PiplInfo parse_pipl(const std::vector<uint8_t>& bytes);

}  // namespace simhost
