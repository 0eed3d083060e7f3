// A three-component setting of the generated instances that may vary per
// instance: the value, and when it is randomised, the generator that the
// instances draw their variations from and the size of those variations.
#pragma once

#include <memory>

#include "engine/core/vec3.h"

namespace tavrel {

class RandomNumberGenerator;

struct RandomizedVector {
    Vec3d value;
    // Empty when the vector is not randomised. Shared by copies, so that
    // copies handed to the instances go on drawing from one sequence.
    std::shared_ptr<RandomNumberGenerator> generator;
    double amplitude = 0.0;

    void copy_from(const RandomizedVector& other) { *this = other; }
    void set_generator(std::shared_ptr<RandomNumberGenerator> g) { generator = std::move(g); }
};

}  // namespace tavrel
