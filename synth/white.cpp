#include <cmath>
#include <cstring>

#include "driver/state.h"
#include "platform/console.h"
#include "synth/synth.h"

namespace {

constexpr int draw_count = 32768;  // rand15 gives 0 .. 32767

// The Gaussian table depends on inv_sqrt_2pi alone: it is built by the
// first gauss() of a run and copied into the state by every later one.
struct gauss_table {
  bool built = false;
  float inv_sqrt_2pi = 0;  // the constant it was built from
  float x[gauss_cap + 1], p[gauss_cap + 1];
};
gauss_table table;

// The magnitude of every draw, by the first-match rule over the Gaussian
// table it was built from (kept beside it).
struct draw_table {
  bool built = false;
  float x[gauss_cap + 1], p[gauss_cap + 1];
  float magnitude[draw_count];
};
draw_table draws;

void build_gauss_table() {
  for (int k = 1; k <= gauss_cap; ++k) {
    double x = 0.01 * k;
    table.x[k] = float(x);
    float a = float(-x);
    float h = float((x - double(a)) * 0.001);
    // A 1001-point rectangle sum over [-x, x] that counts both ends; the
    // float accumulator is what makes the upper table non-monotonic.
    float s = 0;
    for (int j = 0; j <= 1000; ++j) {
      double y = double(j) * double(h) + double(a);
      s = float(double(s) + std::exp(-(y * y) * 0.5));
    }
    table.p[k] = float(double(st.inv_sqrt_2pi) * double(h) * double(s));
  }
  table.inv_sqrt_2pi = st.inv_sqrt_2pi;
  table.built = true;
}

// The lower abscissa of the first table interval that holds u; the upper
// table is not monotonic, so the first match decides.
float first_match(float u) {
  for (int k = 1; k <= gauss_cap - 1; ++k)
    if (u >= st.gauss_p[k] && u <= st.gauss_p[k + 1]) return st.gauss_x[k];
  return 0;
}

// Makes the draw table that of the Gaussian table now in the state.
void check_draws() {
  constexpr size_t bytes = sizeof(float) * (gauss_cap + 1);
  if (draws.built && std::memcmp(draws.x, st.gauss_x, bytes) == 0 && std::memcmp(draws.p, st.gauss_p, bytes) == 0)
    return;
  for (int r = 0; r < draw_count; ++r) draws.magnitude[r] = first_match(float(double(r) / 32767.0));
  std::memcpy(draws.x, st.gauss_x, bytes);
  std::memcpy(draws.p, st.gauss_p, bytes);
  draws.built = true;
}

inline float signed_sample(int magnitude_draw, int sign_draw) {
  const float x = draws.magnitude[magnitude_draw];
  return sign_draw <= 16383 ? -x : x;  // each sign gets 16384 of the draws
}

}  // namespace

int rand15() {
  rand15_state = rand15_state * 214013u + 2531011u;
  return int((rand15_state >> 16) & 0x7FFFu);
}

void gauss() {
  std::strcpy(st.gauss_name, "gauss.out");
  // Created empty in the working folder; nothing is written to it, and a
  // failure to create it changes nothing else.
  st.gauss_file = std::fopen(st.gauss_name, "w");
  if (!table.built || std::memcmp(&table.inv_sqrt_2pi, &st.inv_sqrt_2pi, sizeof(float)) != 0) build_gauss_table();
  std::memcpy(st.gauss_x + 1, table.x + 1, sizeof(float) * gauss_cap);
  std::memcpy(st.gauss_p + 1, table.p + 1, sizeof(float) * gauss_cap);
}

float noise_sample(int magnitude_draw, int sign_draw) {
  check_draws();
  return signed_sample(magnitude_draw, sign_draw);
}

void white() {
  st.np = st.ns > sample_cap ? sample_cap : st.ns;
  kprintf("\n white 1 np= %ld", st.np);
  if (st.np <= 2) return;

  kprintf("\n gauss ");
  gauss();
  check_draws();

  float sum = 0, sumsq = 0;
  for (int i = 0; i < st.np; ++i) {
    const int r = rand15();  // the magnitude draw comes first
    st.noise[i] = signed_sample(r, rand15());
    sum = float(double(sum) + double(st.noise[i]));
    sumsq = float(double(sumsq) + double(st.noise[i]) * double(st.noise[i]));
  }
  kprintf("\n white 2  np= %ld", st.np);

  float mean = float(double(sum) / st.np);
  float msq = float(double(sumsq) / st.np);
  float sigma = float(std::sqrt(std::fabs(double(msq) - double(mean) * double(mean))));
  // All samples equal: left mean-removed, since 1/sigma is not finite.
  double scale = sigma != 0 ? 1.0 / double(sigma) : 1.0;
  for (int i = 0; i < st.np; ++i)
    st.noise[i] = float((double(st.noise[i]) - double(mean)) * scale);

  if (st.gauss_file) {
    std::fclose(st.gauss_file);
    st.gauss_file = nullptr;
  }
}
