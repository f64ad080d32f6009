#include "driver/run.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/analysis.h"
#include "driver/state.h"
#include "input/readers.h"
#include "output/output.h"
#include "platform/console.h"
#include "synth/synth.h"

namespace {

// Where a name leads: the file itself when it exists, otherwise the
// canonical path it would be created at.
struct place {
  bool exists = false;
  bool regular = false;
  dev_t dev = 0;
  ino_t ino = 0;
  std::string path;  // canonical; empty when it cannot be resolved
};

place locate(const char* name) {
  place p;
  struct stat sb;
  if (::stat(name, &sb) == 0) {
    p.exists = true;
    p.regular = S_ISREG(sb.st_mode);
    p.dev = sb.st_dev;
    p.ino = sb.st_ino;
  }
  char buf[PATH_MAX];
  if (p.exists) {
    if (::realpath(name, buf)) p.path = buf;
    return p;
  }
  std::string s = name;
  size_t slash = s.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : s.substr(0, slash));
  std::string base = slash == std::string::npos ? s : s.substr(slash + 1);
  if (!base.empty() && base != "." && base != ".." && ::realpath(dir.c_str(), buf)) {
    p.path = buf;
    if (p.path != "/") p.path += '/';
    p.path += base;
  }
  return p;
}

bool same_file(const place& a, const place& b) {
  if (a.exists && b.exists) return a.dev == b.dev && a.ino == b.ino;
  return !a.path.empty() && a.path == b.path;
}

place from_identity(const file_identity& id) {
  place p;
  p.exists = id.regular;
  p.regular = id.regular;
  p.dev = dev_t(id.dev);
  p.ino = ino_t(id.ino);
  return p;
}

place outputs_opened[3];
int n_outputs_opened = 0;

// Reads one output name, refuses one that would overwrite a file this run
// reads or writes, and opens it with mode "w".
FILE* open_output(char* name) {
  if (!con_read_word(name, name_cap))
    fatal("\n Error:  file names may not exceed 259 characters \n");
  place p = locate(name);
  if (p.regular || !p.exists) {
    bool clash = false;
    if (p.regular) {
      clash = same_file(p, from_identity(psd_identity)) ||
              same_file(p, from_identity(sine_identity));
    }
    for (int i = 0; i < n_outputs_opened; ++i)
      if (outputs_opened[i].regular && same_file(p, outputs_opened[i])) clash = true;
    place gauss = locate("gauss.out");
    if ((!gauss.exists || gauss.regular) && same_file(p, gauss)) clash = true;
    if (clash)
      fatal("\n Error:  the output file %s would overwrite another file of this run \n", name);
  }
  FILE* f = std::fopen(name, "w");
  if (!f) fatal(" Failed to open file: %s \n", name);
  outputs_opened[n_outputs_opened++] = locate(name);
  return f;
}

}  // namespace

void run_dialogue() {
  n_outputs_opened = 0;
  st.vprev = 0;
  st.dprev = 0;

  kprintf("\n\n kestrune    ver 1.2   August 12, 2008");
  kprintf("\n\n by the kestrune developers \n");
  kprintf("\n\n This program synthesizes a time history to satisfy");
  kprintf("\n a specified Sine-on-Random function. ");
  kprintf("\n\n Two input files are required. ");
  kprintf("\n\n The PSD input file must have two columns: ");
  kprintf("\n    Frequency(Hz) & PSD(G^2/Hz) ");
  kprintf("\n\n The Sine input file must have two columns: ");
  kprintf("\n    Frequency(Hz) & Accel(G peak) ");
  kprintf("\n\n Each input file may contain up to 100 coordinates. ");
  kprintf("\n The format is free, but no header lines are allowed. \n");

  read_psd_file();
  intlog();
  read_sine_file();

  kprintf("\n ******* Output Filenames ******** \n");
  kprintf("\n\n Enter the output acceleration time history filename. \n");
  st.accel_file = open_output(st.accel_name);
  kprintf("\n\n Enter the output velocity time history filename. \n");
  st.vel_file = open_output(st.vel_name);
  kprintf("\n\n Enter the output displacement time history filename. \n");
  st.disp_file = open_output(st.disp_name);

  kprintf("\n Enter the duration (seconds) \n");
  con_read_float(st.dur);

  double a = double(st.fmax) * 10.0;
  double b = double(st.fsine_max) * 10.0;
  double suggested = a < b ? b : a;
  kprintf("\n\n The minimum suggested sample rate is %10.3g (samples/sec). \n", suggested);

  kprintf("\n Enter the sample rate (samples/sec) \n");
  con_read_float(st.sr);

  st.tmax = double(st.dur);
  // The product of two floats is exact in double.
  if (double(st.sr) * double(st.dur) > 65536.0) st.dur = float(65536.0 / double(st.sr));

  double bound = 2.0 * double(st.fmax);
  if (double(st.sr) < bound) fatal("\n Error:  the sample rate must be >= %14.5g \n", bound);
  bound = 4.0 * double(st.fsine_max);
  if (double(st.sr) < bound) fatal("\n Error:  the sample rate must be >= %14.5g \n", bound);

  double samples = double(st.sr) * double(st.dur);
  if (!(samples >= 1.0)) fatal("\n Error:  the duration must span at least one sample \n");

  st.nt = int32_t(samples);
  st.T = float(double(st.dur) * 2.1);
  st.dt = float(1.0 / double(st.sr));
}

void run_segments() {
  for (int segments = 0; segments < segment_cap && st.done != 1; ++segments) {
    kprintf("\n white ");
    white();
    kprintf("\n fft ");
    fft();
    kprintf("\n scalefft ");
    scalefft();
    kprintf("\n ifft ");
    ifft();
    kprintf("\n scaleth ");
    scaleth();
    kprintf("\n addsine ");
    addsine();
    integth();
  }
}

int run_report() {
  // Close all three first, then report every stream that lost data: a
  // failed write must not pass for a finished history.
  FILE* files[3] = {st.accel_file, st.vel_file, st.disp_file};
  const char* names[3] = {st.accel_name, st.vel_name, st.disp_name};
  bool failed[3] = {false, false, false};
  for (int i = 0; i < 3; ++i) {
    if (!files[i]) continue;
    bool bad = std::ferror(files[i]) != 0;
    if (std::fclose(files[i]) != 0) bad = true;
    failed[i] = bad;
  }
  st.accel_file = st.vel_file = st.disp_file = nullptr;
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    if (failed[i]) {
      kprintf("\n Error:  failed to write file: %s \n", names[i]);
      any = true;
    }
  }
  if (any) fatal_exit();

  kprintf("\n\n max accel = %10.3g G", double(st.accel_max));
  kprintf("\n min accel = %10.3g G \n", double(st.accel_min));
  kprintf("\n max vel = %10.3g in/sec", double(st.vel_max));
  kprintf("\n min vel = %10.3g in/sec \n", double(st.vel_min));
  kprintf("\n max disp = %10.3g in", double(st.disp_max));
  kprintf("\n min disp = %10.3g in \n", double(st.disp_min));
  kprintf("\n Output files \n");
  kprintf("\n %s \n %s \n %s \n", st.accel_name, st.vel_name, st.disp_name);
  kprintf("\n Output file units: accel(G), vel(in/sec), disp(in) \n");
  kprintf("\n Press any key to exit. \n");
  return con_read_key();
}

int kestrune_main() {
  run_dialogue();
  fftsize();
  run_segments();
  return run_report();
}
