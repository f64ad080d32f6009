#include <cmath>
#include <cstring>

#include "driver/state.h"
#include "output/output.h"
#include "platform/console.h"
#include "platform/format_e.h"

namespace {

constexpr double g_half = 193.0;  // half of 386 inch/sec^2 per G: the first step
constexpr double g_full = 386.0;

// The lines of a pass are gathered here and handed to the stream in blocks
// of up to 256 KiB, and what is left at the end of the pass, so every line
// of a call is in its stream when the call returns.
constexpr size_t block_size = 1 << 18;
constexpr size_t line_max = 2 * e14_max + 2;  // two fields, a space, the line end
char block[block_size];
size_t used = 0;

void hand_over(FILE* f) {
  if (used > 0) std::fwrite(block, 1, used, f);
  used = 0;
}

// The time field of each sample, formatted once in pass 1 for all three
// files: every pass computes the same times.
struct time_text {
  char text[e14_max];
  unsigned char size;
};
time_text times[sample_cap];

inline void write_line(FILE* f, const time_text& t, double v) {
  // A specification at the edges of the float range (a band near 1e-30 Hz,
  // a huge PSD between the bins) can overflow a history: stop before an
  // infinity or NaN reaches a file and passes for a result. The lines
  // gathered so far are handed over first, so they stay.
  if (!std::isfinite(v)) {
    hand_over(f);
    const char* name = f == st.accel_file ? st.accel_name : f == st.vel_file ? st.vel_name : st.disp_name;
    fatal("\n Error:  the history in %s is not finite \n", name);
  }
  if (used + line_max > block_size) hand_over(f);
  char* p = block + used;
  std::memcpy(p, t.text, e14_max);  // the whole slot: the next field overwrites the excess
  p += t.size;
  *p++ = ' ';
  p = format_e14(p, v);
  *p++ = '\n';
  used = size_t(p - block);
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
    time_text& t = times[i];
    t.size = (unsigned char)(format_e14(t.text, st.tsample) - t.text);
    write_line(st.accel_file, t, a);
    if (a > st.accel_max) st.accel_max = a;
    if (a < st.accel_min) st.accel_min = a;
    const double c = i == 0 ? g_half : g_full;
    st.vel[i] = float(double(a) * dt * c + double(st.vprev));
    st.vprev = st.vel[i];
    st.vmean = float(double(st.vmean) + double(st.vel[i]));
    ++n;
  }
  hand_over(st.accel_file);
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
    write_line(st.vel_file, times[i], d);
    if (st.vel[i] > st.vel_max) st.vel_max = st.vel[i];
    if (st.vel[i] < st.vel_min) st.vel_min = st.vel[i];
    const double c = i == 0 ? 0.5 : 1.0;
    st.disp[i] = float(double(st.vel[i]) * dt * c + double(st.dprev));
    st.dprev = st.disp[i];
    st.dmean = float(double(st.dmean) + double(st.disp[i]));
  }
  hand_over(st.vel_file);
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
    write_line(st.disp_file, times[i], d);
    if (st.disp[i] > st.disp_max) st.disp_max = st.disp[i];
    if (st.disp[i] < st.disp_min) st.disp_min = st.disp[i];
  }
  hand_over(st.disp_file);
  st.t0 = st.tsample + dt;
}
