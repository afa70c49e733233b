// The sample generators' random numbers (splitmix64): the same seed gives the same sample data
// on every machine, which the standard library's distributions do not promise.
#pragma once
#include <algorithm>
#include <cmath>

namespace zor {

class SampleRng {
public:
    // The salt keeps the streams of different generators apart for one seed.
    explicit SampleRng(unsigned long long seed, unsigned long long salt = 0x2011)
        : state_(seed * 0x9E3779B97F4A7C15ull + salt) {}
    unsigned long long Next()
    {
        unsigned long long z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n
    int Below(int n) { return n <= 0 ? 0 : (int)(Next() % (unsigned long long)n); }
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
    double Unit() { return (double)(Next() >> 11) / 9007199254740992.0; }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Unit(); }
    bool Chance(double p) { return Unit() < p; }
    // Skewed pick: low indexes are common, as a few species and sites dominate real data.
    int Skewed(int n, double power) { return std::min(n - 1, (int)(n * std::pow(Unit(), power))); }

private:
    unsigned long long state_;
};

}  // namespace zor
