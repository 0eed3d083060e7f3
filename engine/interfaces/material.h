// Surface colours of the rendered layer.
#pragma once

namespace tavrel {

class IMaterial {
public:
    virtual ~IMaterial() = default;
    // Each points to four floats, RGBA, owned by the material.
    virtual const float* ambient() const = 0;
    virtual const float* diffuse() const = 0;
    virtual const float* specular() const = 0;
    virtual float shininess() const { return 1.0f; }
    virtual float metal() const { return 0.0f; }
};

}  // namespace tavrel
