// Deterministic pseudo-random numbers for what our host feeds plug-ins.
#pragma once

#include <cstdint>

namespace kel::host {

// splitmix64: the same seed gives the same numbers on every machine and in both bitnesses.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    double uniform();             // [0, 1)
    int below(int count);         // 0 .. count-1; 0 when count <= 0
    int range(int low, int high); // low .. high, both included
    float value() { return static_cast<float>(uniform()); }

private:
    std::uint64_t state;
};

} // namespace kel::host
