// "%14.7e" by integer arithmetic.
//
// A finite v > 0 is m 2^e with m an integer below 2^53. With E the decimal
// exponent of v, X = v 10^(7-E) lies in [10^7, 10^8) and the printed digits
// are X rounded to an integer, half to even. 10^k is held as a 64-bit
// mantissa truncated from its exact value, so m times it gives X slightly
// short, by less than m units of the last place of the product; only a
// remainder that close below one half leaves the rounding open, and such a
// value (every exact tie among them) goes to the C library through kformat.
#include "platform/format_e.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/format.h"

namespace {

__extension__ typedef unsigned __int128 u128;

// Decimal exponents k of the table: 7 - E for every E of a finite double
// (-324 to 308), and one more below for the retry with E + 1.
constexpr int k_min = -302, k_max = 331;

// 10^k = (c + delta) 2^b with 2^63 <= c < 2^64 and 0 <= delta < 1.
struct pow10_entry {
  uint64_t c;
  int b;
};

// Unsigned integers of any size, just enough to build the table: 5^j and
// the long division 2^n / 5^j. Limbs of 32 bits, least significant first.
struct bignum {
  std::vector<uint32_t> limb{1};

  void times5() {
    uint64_t carry = 0;
    for (uint32_t& l : limb) {
      uint64_t p = uint64_t(l) * 5 + carry;
      l = uint32_t(p);
      carry = p >> 32;
    }
    if (carry) limb.push_back(uint32_t(carry));
  }
  int bits() const {
    int n = int(limb.size() - 1) * 32;
    for (uint32_t top = limb.back(); top; top >>= 1) ++n;
    return n;
  }
  bool bit(int i) const { return i / 32 < int(limb.size()) && (limb[size_t(i / 32)] >> (i % 32) & 1); }
  // The 64 bits from bit `from` down, truncated.
  uint64_t top64(int from) const {
    uint64_t c = 0;
    for (int i = from; i > from - 64; --i) c = c << 1 | uint64_t(i >= 0 && bit(i));
    return c;
  }
};

// r <- 2r, then subtracts d when r >= d; returns whether it did. Requires r < d.
bool double_and_reduce(bignum& r, const bignum& d) {
  uint32_t carry = 0;
  for (uint32_t& l : r.limb) {
    uint32_t next = l >> 31;
    l = l << 1 | carry;
    carry = next;
  }
  if (carry) r.limb.push_back(carry);
  while (r.limb.size() < d.limb.size()) r.limb.push_back(0);
  bool ge = r.limb.size() > d.limb.size() && r.limb.back() != 0;
  if (!ge) {
    ge = true;
    for (size_t i = d.limb.size(); i-- > 0;) {
      if (r.limb[i] != d.limb[i]) {
        ge = r.limb[i] > d.limb[i];
        break;
      }
    }
  }
  if (ge) {
    int64_t borrow = 0;
    for (size_t i = 0; i < r.limb.size(); ++i) {
      int64_t x = int64_t(r.limb[i]) - (i < d.limb.size() ? d.limb[i] : 0) - borrow;
      borrow = x < 0;
      r.limb[i] = uint32_t(x);
    }
  }
  while (r.limb.size() > 1 && r.limb.back() == 0) r.limb.pop_back();
  return ge;
}

struct pow10_table {
  pow10_entry e[k_max - k_min + 1];

  pow10_table() {
    bignum five;  // 5^j
    for (int j = 0; j <= (k_max > -k_min ? k_max : -k_min); ++j, five.times5()) {
      const int n = five.bits();
      if (j <= k_max) {
        // 10^j = 5^j 2^j: the top 64 bits of 5^j.
        e[j - k_min] = {five.top64(n - 1), j + n - 64};
      }
      if (j >= 1 && -j >= k_min) {
        // 10^-j = 2^(63+n) / 5^j times 2^(-63-n-j); 5^j lies strictly between
        // 2^(n-1) and 2^n, so the quotient has exactly 64 bits. Long
        // division from the remainder 2^(n-1).
        bignum r;
        r.limb.assign(size_t((n - 1) / 32 + 1), 0);
        r.limb.back() = uint32_t(1) << ((n - 1) % 32);
        uint64_t q = 0;
        for (int i = 0; i < 64; ++i) q = q << 1 | uint64_t(double_and_reduce(r, five));
        e[-j - k_min] = {q, -63 - n - j};
      }
    }
  }
};

const pow10_table pow10;

const char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline char* put2(char* p, unsigned v) {
  std::memcpy(p, digit_pairs + 2 * v, 2);
  return p + 2;
}

// floor(x log10 2), checked for -1100 <= x <= 1100.
inline int floor_log10_pow2(int x) { return (x * 78913) >> 18; }

char* through_kformat(char* out, double v) {
  const std::string s = kformat("%14.7e", v);
  std::memcpy(out, s.data(), s.size());
  return out + s.size();
}

}  // namespace

char* format_e14(char* out, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const bool negative = bits >> 63;
  const int biased = int(bits >> 52 & 0x7FF);
  uint64_t m = bits & ((uint64_t(1) << 52) - 1);
  if (biased == 0x7FF) return through_kformat(out, v);  // infinity, NaN
  *out = '-';
  char* p = out + negative;  // no branch: the sign of a sample is a coin toss
  if (biased == 0 && m == 0) {
    std::memcpy(p, "0.0000000e+000", 14);
    return p + 14;
  }

  // Step 1: v = m 2^e, and a first decimal exponent from its binary one.
  int e;
  if (biased == 0) {
    e = -1074;
  } else {
    m |= uint64_t(1) << 52;
    e = biased - 1075;
  }
  const int bitlen = 64 - __builtin_clzll(m);
  int E = floor_log10_pow2(e + bitlen - 1);  // v >= 2^(e+bitlen-1): E is exact or one short

  // Step 2: X = v 10^(7-E) as P 2^-shift, P short of the exact product by
  // less than m. When E was one short, X is in [10^8, 10^9): its last digit
  // joins the remainder and the unit becomes ten times larger. Selects, not
  // branches: either case comes about as often as the other.
  const pow10_entry& t = pow10.e[7 - E - k_min];
  const u128 P = u128(m) * t.c;
  const int shift = -(e + t.b);  // between 33 and 94 for every double
  uint64_t N = uint64_t(P >> shift);
  u128 frac = P & ((u128(1) << shift) - 1);
  const uint64_t big = N >= 100000000;
  const uint64_t tenth = N / 10;
  frac += u128((N - 10 * tenth) & (0 - big)) << shift;
  N = big ? tenth : N;
  E += int(big);
  const u128 half = u128(1 + 9 * big) << (shift - 1);

  // Step 3: round half to even. The exact remainder lies in [frac, frac + m).
  if (frac <= half && frac + m > half) return through_kformat(out, v);
  N += uint64_t(frac > half);
  if (N == 100000000) {
    N = 10000000;
    ++E;
  }
  if (N < 10000000) return through_kformat(out, v);  // not reached: E is never too large

  // Step 4: d.ddddddde+xxx.
  const unsigned lead = unsigned(N / 10000000), rest = unsigned(N % 10000000);
  p[0] = char('0' + lead);
  p[1] = '.';
  put2(p + 2, rest / 100000);
  put2(p + 4, rest / 1000 % 100);
  put2(p + 6, rest / 10 % 100);
  p[8] = char('0' + rest % 10);
  p[9] = 'e';
  const unsigned below = unsigned(E) >> 31;  // E < 0
  p[10] = char('+' + 2 * below);              // '+' and '-' are two apart
  const unsigned ae = unsigned((E ^ -int(below)) + int(below));
  p[11] = char('0' + ae / 100);
  put2(p + 12, ae % 100);
  return p + 14;
}
