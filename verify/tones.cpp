#include "verify/tones.h"

#include <algorithm>
#include <cmath>

namespace {

// Calls f(i, cos(w i), sin(w i)) for i = 0 .. n-1. The angle advances by a
// rotation, restarted from the library's cos and sin every block so that
// rounding cannot build up over a long record.
template <class F>
void for_each_phase(size_t n, double w, F&& f) {
  constexpr size_t block = 1024;
  const double cw = std::cos(w), sw = std::sin(w);
  for (size_t i0 = 0; i0 < n; i0 += block) {
    double c = std::cos(w * double(i0)), s = std::sin(w * double(i0));
    size_t i1 = std::min(n, i0 + block);
    for (size_t i = i0; i < i1; ++i) {
      f(i, c, s);
      double c_next = c * cw - s * sw;
      s = s * cw + c * sw;
      c = c_next;
    }
  }
}

struct coeffs {
  double a = 0, b = 0;  // x ~ a cos(w i) + b sin(w i)
};

// Least-squares a and b for r + old (old added back on the fly), then
// r -= new - old.
coeffs refit(std::vector<double>& r, double w, coeffs old) {
  double scc = 0, sss = 0, scs = 0, syc = 0, sys = 0;
  for_each_phase(r.size(), w, [&](size_t i, double c, double s) {
    double y = r[i] + old.a * c + old.b * s;
    scc += c * c;
    sss += s * s;
    scs += c * s;
    syc += y * c;
    sys += y * s;
  });
  double det = scc * sss - scs * scs;
  coeffs fit;
  fit.a = (syc * sss - sys * scs) / det;
  fit.b = (sys * scc - syc * scs) / det;
  double da = fit.a - old.a, db = fit.b - old.b;
  for_each_phase(r.size(), w, [&](size_t i, double c, double s) { r[i] -= da * c + db * s; });
  return fit;
}

}  // namespace

std::vector<double> fit_and_remove_tones(std::vector<double>& x, double dt,
                                         const std::vector<double>& freq) {
  const double two_pi = 2 * std::acos(-1.0);
  std::vector<coeffs> fit(freq.size());
  constexpr int max_sweeps = 50;
  for (int sweep = 0; sweep < max_sweeps; ++sweep) {
    double change = 0, size = 0;
    for (size_t j = 0; j < freq.size(); ++j) {
      coeffs next = refit(x, two_pi * freq[j] * dt, fit[j]);
      change = std::max(change, std::hypot(next.a - fit[j].a, next.b - fit[j].b));
      size = std::max(size, std::hypot(next.a, next.b));
      fit[j] = next;
    }
    // One sweep is exact for a single tone; more only matter for tones
    // close enough to see each other over the record.
    if (freq.size() < 2 || change <= 1e-9 * size) break;
  }
  std::vector<double> amp;
  for (const coeffs& c : fit) amp.push_back(std::hypot(c.a, c.b));
  return amp;
}
