#include "simhost/pipl_info.h"

#include <algorithm>
#include <cstring>

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& b) : b_(b) {}
    void need(size_t n) const {
        if (b_.size() - pos_ < n) throw SimhostError("property list is truncated");
    }
    uint16_t u16() {
        need(2);
        const uint16_t v = uint16_t(b_[pos_] | (b_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t u32() {
        need(4);
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(b_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::vector<uint8_t> take(size_t n) {
        need(n);
        std::vector<uint8_t> out(b_.begin() + long(pos_), b_.begin() + long(pos_ + n));
        pos_ += n;
        return out;
    }
    void skip_padding(size_t length) {
        const size_t pad = (4 - length % 4) % 4;
        need(pad);
        pos_ += pad;
    }
    size_t pos() const { return pos_; }

private:
    const std::vector<uint8_t>& b_;
    size_t pos_ = 0;
};

std::string code_text(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[i] = char(code >> (8 * (3 - i)));
    return s;
}

uint32_t le32(const std::vector<uint8_t>& d, const std::string& key) {
    if (d.size() < 4) throw SimhostError("property " + key + " is too short");
    return uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
}

std::string pascal(const std::vector<uint8_t>& d, const std::string& key) {
    if (d.empty() || size_t(d[0]) + 1 > d.size())
        throw SimhostError("property " + key + " is not a Pascal string");
    return std::string(d.begin() + 1, d.begin() + 1 + d[0]);
}

}  // namespace

PiplInfo parse_pipl(const std::vector<uint8_t>& bytes) {
    Reader r(bytes);
    if (r.u16() != 1) throw SimhostError("property list has an unknown version");
    r.u32();
    const uint32_t count = r.u32();
    PiplInfo info;
    for (uint32_t i = 0; i < count; ++i) {
        const std::string vendor = code_text(r.u32());
        const std::string key = code_text(r.u32());
        r.u32();  // id
        const uint32_t length = r.u32();
        const auto data = r.take(length);
        r.skip_padding(length);
        if (vendor != "8BIM") continue;
        if (key == "kind") {
            info.kind = code_text(le32(data, key));
        } else if (key == "name") {
            info.name = pascal(data, key);
        } else if (key == "catg") {
            info.category = pascal(data, key);
        } else if (key == "8664") {
            const auto nul = std::find(data.begin(), data.end(), uint8_t(0));
            if (nul == data.end()) throw SimhostError("entry point name is not terminated");
            info.entry_point.assign(data.begin(), nul);
        } else if (key == "ePVR") {
            const uint32_t v = le32(data, key);
            info.pipl_version_major = uint16_t(v);
            info.pipl_version_minor = uint16_t(v >> 16);
        } else if (key == "eSVR") {
            const uint32_t v = le32(data, key);
            info.spec_version_major = uint16_t(v);
            info.spec_version_minor = uint16_t(v >> 16);
        } else if (key == "eVER") {
            info.version = le32(data, key);
        } else if (key == "eGLO") {
            info.out_flags = le32(data, key);
        } else if (key == "eGL2") {
            info.out_flags2 = le32(data, key);
        } else if (key == "eMNA") {
            info.match_name = pascal(data, key);
        }
    }
    if (info.kind.empty()) throw SimhostError("property list names no plug-in kind");
    if (info.entry_point.empty()) throw SimhostError("property list names no entry point");
    return info;
}

}  // namespace simhost
