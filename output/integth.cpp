#include <cmath>

#include "driver/state.h"
#include "output/output.h"
#include "platform/console.h"
#include "platform/format.h"

namespace {

constexpr double g_half = 193.0;  // half of 386 inch/sec^2 per G: the first step
constexpr double g_full = 386.0;

inline void write_line(FILE* f, double t, double v) {
  // A specification at the edges of the float range (a band near 1e-30 Hz,
  // a huge PSD between the bins) can overflow a history: stop before an
  // infinity or NaN reaches a file and passes for a result.
  if (!std::isfinite(v)) {
    const char* name = f == st.accel_file ? st.accel_name : f == st.vel_file ? st.vel_name : st.disp_name;
    fatal("\n Error:  the history in %s is not finite \n", name);
  }
  kfprintf(f, "%14.7e %14.7e\n", t, v);
}

}  // namespace

void integth() {
  const double dt = st.dt;
  st.vmean = 0;
  st.dmean = 0;

  // Pass 1: acceleration out, integrated to velocity.
  int n = 0;
  for (int i = 0; i < st.nt; ++i) {
    st.tsample = double(i) * dt + st.t0;
    if (st.tsample > st.tmax) {
      st.done = 1;
      break;
    }
    const float a = st.cdata[i].re;
    write_line(st.accel_file, st.tsample, a);
    if (a > st.accel_max) st.accel_max = a;
    if (a < st.accel_min) st.accel_min = a;
    const double c = i == 0 ? g_half : g_full;
    st.vel[i] = float(double(a) * dt * c + double(st.vprev));
    st.vprev = st.vel[i];
    st.vmean = float(double(st.vmean) + double(st.vel[i]));
    ++n;
  }
  if (n > 0) st.vmean = float(double(st.vmean) / n);  // no sample: no mean needed

  // Pass 2: mean-removed velocity out, integrated to displacement.
  for (int i = 0; i < st.nt; ++i) {
    st.tsample = double(i) * dt + st.t0;
    if (st.tsample > st.tmax) {
      st.done = 1;
      break;
    }
    const double d = double(st.vel[i]) - double(st.vmean);
    st.vel[i] = float(d);
    write_line(st.vel_file, st.tsample, d);
    if (st.vel[i] > st.vel_max) st.vel_max = st.vel[i];
    if (st.vel[i] < st.vel_min) st.vel_min = st.vel[i];
    const double c = i == 0 ? 0.5 : 1.0;
    st.disp[i] = float(double(st.vel[i]) * dt * c + double(st.dprev));
    st.dprev = st.disp[i];
    st.dmean = float(double(st.dmean) + double(st.disp[i]));
  }
  if (n > 0) st.dmean = float(double(st.dmean) / n);

  // Pass 3: mean-removed displacement out.
  for (int i = 0; i < st.nt; ++i) {
    st.tsample = double(i) * dt + st.t0;
    if (st.tsample > st.tmax) {
      st.done = 1;
      break;
    }
    const double d = double(st.disp[i]) - double(st.dmean);
    st.disp[i] = float(d);
    write_line(st.disp_file, st.tsample, d);
    if (st.disp[i] > st.disp_max) st.disp_max = st.disp[i];
    if (st.disp[i] < st.disp_min) st.disp_min = st.disp[i];
  }
  st.t0 = st.tsample + dt;
}
