// Values for the proof of format_e14 against kformat("%14.7e"), by kind,
// from one named generator with a fixed seed, and the comparison loop.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "platform/format.h"
#include "platform/format_e.h"

namespace format_e_cases {

inline double from_bits(uint64_t b) {
  double v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// An exact tie at the 8th significant digit: (2N + 1)/2 10^(E-7) for an
// 8-digit N, which is a double only when the power of 5 it needs fits in 53
// bits: q / 2^(j+1) with q odd and q 5^j in [2 10^7, 2 10^8) for j >= 0,
// and q 5^i 2^(i-1) for an odd 9-digit q and i >= 1.
inline double tie(std::mt19937_64& gen) {
  const int j = int(gen() % 24) - 12;
  if (j >= 0) {
    uint64_t p5 = 1;
    for (int i = 0; i < j; ++i) p5 *= 5;
    const uint64_t lo = (20000000 + p5 - 1) / p5, hi = 200000000 / p5;
    if (hi <= lo) return 12345678.5;
    uint64_t q = lo + gen() % (hi - lo);
    q |= 1;
    if (q * p5 >= 200000000) q -= 2;
    return std::ldexp(double(q), -(j + 1));
  }
  const int i = -j;  // 1 .. 12
  uint64_t q = (20000001 + 2 * (gen() % 90000000)) | 1;
  double v = double(q);
  for (int k = 0; k < i; ++k) v *= 5;  // exact while below 2^53
  return std::ldexp(v, i - 1);
}

// The value of the n-th case; the kinds take turns.
inline double value(std::mt19937_64& gen, uint64_t n) {
  switch (n % 12) {
    case 0:  // any bit pattern: every exponent, both signs, infinities, NaNs
    case 1:
      return from_bits(gen());
    case 2: {  // a float widened, as the acceleration is
      const uint32_t b = uint32_t(gen());
      float f;
      std::memcpy(&f, &b, sizeof f);
      return f;
    }
    case 3: {  // the difference of two floats, as velocity and displacement are
      std::normal_distribution<float> normal(0, float(std::ldexp(1.0, int(gen() % 40) - 20)));
      return double(normal(gen)) - double(normal(gen));
    }
    case 4: {  // a sample time i dt + t0
      const float dt = float(1.0 / double(1 + gen() % 100000));
      return double(gen() % 65536) * double(dt) + double(gen() % 200) * 65536 * double(dt);
    }
    case 5: {  // a tie, and its neighbours
      const double t = tie(gen);
      const int side = int(gen() % 3);
      const double v = side == 0 ? t : std::nextafter(t, side == 1 ? 0.0 : INFINITY);
      return gen() & 1 ? -v : v;
    }
    case 6: {  // powers of ten and their neighbours
      const int k = int(gen() % 633) - 324;
      const double p = std::strtod(("1e" + std::to_string(k)).c_str(), nullptr);
      const int side = int(gen() % 3);
      return side == 0 ? p : std::nextafter(p, side == 1 ? 0.0 : INFINITY);
    }
    case 7:  // subnormals
      return from_bits((gen() % ((uint64_t(1) << 52) - 1) + 1) | (gen() & (uint64_t(1) << 63)));
    case 8: {  // near the largest and the smallest values
      const uint64_t k = gen() % 1000;
      const uint64_t b = gen() & 1 ? 0x7FEFFFFFFFFFFFFF - k : 0x0010000000000000 + k;
      return from_bits(b | (gen() & (uint64_t(1) << 63)));
    }
    case 9: {  // one rounding away from 10^8 - 1/2 and the carry to the next exponent
      const int k = int(gen() % 40) - 20;
      return std::nextafter(9.99999995 * std::pow(10.0, k), gen() & 1 ? 0.0 : INFINITY);
    }
    case 10: {  // ordinary magnitudes
      std::uniform_real_distribution<double> u(-30, 30);
      return std::pow(10.0, u(gen)) * (gen() & 1 ? -1 : 1);
    }
    default: {  // the special values
      const double specials[] = {0.0,     -0.0,    INFINITY, -INFINITY, NAN,      -NAN,
                                 DBL_MAX, -DBL_MAX, DBL_MIN,  DBL_TRUE_MIN, -DBL_TRUE_MIN, 1.0};
      return specials[gen() % 12];
    }
  }
}

// Compares count values; returns the number that differ and keeps the first.
inline uint64_t compare(uint64_t seed, uint64_t count, double& first_bad) {
  std::mt19937_64 gen(seed);
  uint64_t bad = 0;
  char buf[2 * e14_max];
  for (uint64_t n = 0; n < count; ++n) {
    const double v = value(gen, n);
    const std::string expected = kformat("%14.7e", v);
    const char* end = format_e14(buf, v);
    if (expected.size() != size_t(end - buf) || std::memcmp(expected.data(), buf, expected.size()) != 0) {
      if (bad++ == 0) first_bad = v;
    }
  }
  return bad;
}

}  // namespace format_e_cases
