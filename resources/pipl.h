// Property list through which a host finds an effect: name, category, entry
// point, version and out flags. Built once at build time and embedded in the
// plug-in library, where a host reads it as it would read a resource.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrel {

struct PiplDescription {
    std::string name;
    std::string match_name;
    std::string category = "Tavrel";
    std::string entry_point = "EntryPointFunc";
    uint32_t version = 0x00080001;
    uint32_t out_flags = 0x03088003;
    uint32_t out_flags2 = 0x00021406;
};

// Little-endian, packed; four-character codes stored as 32-bit numbers, so
// their bytes read reversed in the file.
std::vector<uint8_t> build_pipl(const PiplDescription& description);

// The description of each effect, shared by the build step and the tests.
PiplDescription lattix_pro_pipl();
PiplDescription varnmoor_pipl();

// Name of the ELF section that carries the property list in a plug-in.
inline constexpr const char* kPiplSectionName = ".pipl";

}  // namespace tavrel
