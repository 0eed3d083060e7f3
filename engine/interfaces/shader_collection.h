// A set of shader parameters that the render path hands through to the
// uploads, which know the concrete set they are given.
#pragma once

namespace tavrel {

class IShaderCollection {
public:
    virtual ~IShaderCollection() = default;
};

}  // namespace tavrel
