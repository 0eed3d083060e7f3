// Absolute comparison of grid coordinates: grids that went through a host
// round trip or an edit that moved nothing must still compare equal.
#pragma once

#include <cmath>

namespace tavrel {

class Tolerance {
public:
    explicit Tolerance(float tolerance) : tolerance_(tolerance) {}
    bool within(float a, float b) const { return std::fabs(a - b) <= tolerance_; }
    float value() const { return tolerance_; }

private:
    float tolerance_;
};

}  // namespace tavrel
