// Seeded random numbers for generated instances and jitter: a 32-bit
// Mersenne Twister with a uniform distribution chosen by kind.
#pragma once

#include <cstdint>
#include <memory>

#include <boost/random/mersenne_twister.hpp>

namespace tavrel {

class RandomNumberGenerator {
public:
    static constexpr std::uint32_t kDefaultSeed = 20070528;

    // Kind 1: uniform on [-1, 1); any other kind: uniform on [0, 1).
    explicit RandomNumberGenerator(std::uint32_t kind = 1, std::uint32_t seed = kDefaultSeed);

    // A generator of the parent's kind, seeded with the parent's next raw
    // output plus the offset (modulo 2^32). Advances the parent by one.
    static RandomNumberGenerator child(RandomNumberGenerator& parent, std::uint32_t offset);

    double operator()();

    std::uint32_t kind() const { return kind_; }

private:
    static double signed_unit(std::uint32_t raw);
    static double unit(std::uint32_t raw);

    boost::random::mt19937 engine_;
    double (*distribution_)(std::uint32_t raw);
    std::uint32_t kind_;
};

// Kind 1, seed 20070528.
std::shared_ptr<RandomNumberGenerator> make_default_random_number_generator();

}  // namespace tavrel
