#include "host/random.h"

namespace kel::host {

std::uint64_t Rng::next() {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::uniform() {
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

int Rng::below(int count) {
    return count <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(count));
}

int Rng::range(int low, int high) {
    return low + below(high - low + 1);
}

} // namespace kel::host
