// The long proof of format_e14: tens of millions of values of every kind
// against kformat("%14.7e"), in two halves that ctest can run side by side.
#include <cstdio>
#include <cstdlib>

#include "tests/format_e_cases.h"

int main(int argc, char** argv) {
  const unsigned long long seed = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
  const unsigned long long count = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20000000;
  double first_bad = 0;
  const unsigned long long bad = format_e_cases::compare(seed, count, first_bad);
  std::printf("%llu values from seed %llu, %llu differ\n", count, seed, bad);
  if (bad) std::printf("first: %a\n", first_bad);
  return bad ? 1 : 0;
}
