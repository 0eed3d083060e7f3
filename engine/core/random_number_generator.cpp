#include "engine/core/random_number_generator.h"

namespace tavrel {

RandomNumberGenerator::RandomNumberGenerator(std::uint32_t kind, std::uint32_t seed)
    : engine_(seed), distribution_(kind == 1 ? &signed_unit : &unit), kind_(kind) {}

RandomNumberGenerator RandomNumberGenerator::child(RandomNumberGenerator& parent,
                                                   std::uint32_t offset) {
    const std::uint32_t seed = static_cast<std::uint32_t>(parent.engine_()) + offset;
    return RandomNumberGenerator(parent.kind_, seed);
}

double RandomNumberGenerator::operator()() {
    return distribution_(static_cast<std::uint32_t>(engine_()));
}

double RandomNumberGenerator::unit(std::uint32_t raw) {
    // 1 / 2^32: the engine's range plus one, so 1.0 itself is never reached.
    return raw * (1.0 / 4294967296.0);
}

double RandomNumberGenerator::signed_unit(std::uint32_t raw) { return unit(raw) * 2.0 - 1.0; }

std::shared_ptr<RandomNumberGenerator> make_default_random_number_generator() {
    return std::make_shared<RandomNumberGenerator>(1, RandomNumberGenerator::kDefaultSeed);
}

}  // namespace tavrel
