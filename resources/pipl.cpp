#include "resources/pipl.h"

#include <stdexcept>

namespace tavrel {
namespace {

constexpr uint32_t four_cc(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

class PiplWriter {
public:
    void u16(uint16_t v) {
        bytes_.push_back(uint8_t(v));
        bytes_.push_back(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
    }

    // Vendor, key, id 0, data length, data, then zeros until the data's length
    // is a multiple of 4. The 10-byte header leaves properties at offsets
    // that are not themselves multiples of 4.
    void property(const char (&key)[5], const std::vector<uint8_t>& data) {
        u32(four_cc("8BIM"));
        u32(four_cc(key));
        u32(0);
        u32(uint32_t(data.size()));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        bytes_.insert(bytes_.end(), (4 - data.size() % 4) % 4, uint8_t(0));
    }

    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

std::vector<uint8_t> two_u16(uint16_t a, uint16_t b) {
    return {uint8_t(a), uint8_t(a >> 8), uint8_t(b), uint8_t(b >> 8)};
}

// Length byte and text; one zero byte when that makes the count odd, and the
// length field of the property counts that pad.
std::vector<uint8_t> pascal_string(const std::string& text) {
    if (text.size() > 255) throw std::length_error("Pascal string longer than 255 bytes");
    std::vector<uint8_t> out;
    out.push_back(uint8_t(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    if (out.size() % 2 != 0) out.push_back(0);
    return out;
}

std::vector<uint8_t> entry_point_name(const std::string& name) {
    if (name.size() >= 16) throw std::length_error("entry point name must fit 15 bytes");
    std::vector<uint8_t> out(name.begin(), name.end());
    out.resize(16, 0);
    return out;
}

}  // namespace

std::vector<uint8_t> build_pipl(const PiplDescription& d) {
    PiplWriter w;
    w.u16(1);
    w.u32(0);
    w.u32(12);
    w.property("kind", le32(four_cc("eFKT")));
    w.property("name", pascal_string(d.name));
    w.property("catg", pascal_string(d.category));
    w.property("8664", entry_point_name(d.entry_point));
    w.property("ePVR", two_u16(2, 0));
    w.property("eSVR", two_u16(13, 0));
    w.property("eVER", le32(d.version));
    w.property("eINF", {0, 0});
    w.property("eGLO", le32(d.out_flags));
    w.property("eGL2", le32(d.out_flags2));
    w.property("eMNA", pascal_string(d.match_name));
    w.property("aeFL", le32(0));
    return std::move(w.bytes());
}

PiplDescription lattix_pro_pipl() {
    PiplDescription d;
    d.name = "Tavrel Lattix Pro";
    d.match_name = "Tavrel Lattix Pro";
    return d;
}

PiplDescription varnmoor_pipl() {
    PiplDescription d;
    d.name = "Tavrel Varnmoor";
    d.match_name = "Tavrel Varnmoor";
    return d;
}

}  // namespace tavrel
