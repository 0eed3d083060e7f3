// Typed views of pixel and table data. The engine reads layer images, read-back
// buffers and the surface tables through these, never the host's records.
#pragma once

#include <cstdint>

#include <boost/variant.hpp>

namespace tavrel {

// The element type decides the pixel format kind: which() is 0 for 8-bit,
// 1 for 16-bit and 2 for 32-bit float channels. Pointers are writable because
// host worlds made from an accessor write through them.
using ArrayData = boost::variant<uint8_t*, uint16_t*, float*>;

// Channel layouts reported by pixel_format().
enum : uint32_t { kOneChannel = 0, kRgbChannels = 1, kFourChannels = 2 };

// Operations in their fixed slot order. There is deliberately no virtual
// destructor: owners hold implementations through shared pointers made for the
// concrete class, and the protected destructor keeps anyone from deleting one
// through this interface.
class I2dArrayAccessor {
public:
    virtual ArrayData data() const = 0;
    virtual uint64_t width() const = 0;
    virtual uint64_t height() const = 0;
    // May exceed width times the pixel size.
    virtual uint64_t row_bytes() const = 0;
    virtual uint32_t pixel_format() const = 0;

protected:
    ~I2dArrayAccessor() = default;
};

class I1dArrayAccessor {
public:
    virtual ArrayData data() const = 0;
    // In bytes.
    virtual uint64_t size() const = 0;

protected:
    ~I1dArrayAccessor() = default;
};

}  // namespace tavrel
