// Integration, the three output files and the extremes; kestrune end to end.
#include <cmath>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <thread>

#include "driver/state.h"
#include "output/output.h"
#include "platform/format.h"
#include "tests/test_util.h"

namespace {

struct line {
  std::string time, value;  // the two fields as written
  double t, v;
};

std::vector<line> parse(const std::string& text) {
  std::vector<line> out;
  std::istringstream in(text);
  std::string s;
  while (std::getline(in, s)) {
    line l;
    l.time = s.substr(0, 14);
    l.value = s.substr(15);
    l.t = std::stod(l.time);
    l.v = std::stod(l.value);
    out.push_back(l);
  }
  return out;
}

// The three streams of integth, as temporary files read back after the calls.
class outputs {
 public:
  outputs() {
    st.accel_file = std::tmpfile();
    st.vel_file = std::tmpfile();
    st.disp_file = std::tmpfile();
  }
  std::string text(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    std::fseek(f, 0, SEEK_END);
    return s;
  }
  std::vector<line> accel() { return parse(text(st.accel_file)); }
  std::vector<line> vel() { return parse(text(st.vel_file)); }
  std::vector<line> disp() { return parse(text(st.disp_file)); }
  ~outputs() {
    for (FILE* f : {st.accel_file, st.vel_file, st.disp_file}) std::fclose(f);
  }
};

void segment(int nt, float dt, double tmax, std::function<float(int)> accel) {
  st.nt = nt;
  st.dt = dt;
  st.tmax = tmax;
  for (int i = 0; i < nt; ++i) st.cdata[i].re = accel(i);
  integth();
}

TEST(Integth, WritesUpToTmaxInclusive) {
  reset_state();
  outputs out;
  segment(8, 0.25f, 1.0, [](int i) { return float(i + 1); });
  auto a = out.accel();
  ASSERT_EQ(a.size(), 5u);
  EXPECT_EQ(a[4].t, 1.0);
  EXPECT_EQ(st.done, 1);
  EXPECT_EQ(out.vel().size(), 5u);
  EXPECT_EQ(out.disp().size(), 5u);
  EXPECT_EQ(st.t0, 1.25 + 0.25);  // the last time examined, plus dt
  // A call whose first sample is already beyond tmax writes nothing.
  segment(8, 0.25f, 1.0, [](int) { return 1.0f; });
  EXPECT_EQ(out.accel().size(), 5u);
  EXPECT_EQ(out.vel().size(), 5u);
  EXPECT_EQ(out.disp().size(), 5u);
}

TEST(Integth, ConstantAccelerationGivesARampWithHalfWeightFirstSteps) {
  reset_state();
  outputs out;
  const float c = 2, dt = 0.01f;
  const int nt = 100;
  segment(nt, dt, 1e9, [&](int) { return c; });
  EXPECT_EQ(st.done, 0);
  // Before mean removal vel[i] = c dt (193 + 386 i); the carried value is that.
  EXPECT_NEAR(st.vprev, c * dt * (193 + 386.0 * (nt - 1)), 1e-3);
  auto v = out.vel();
  double mean = 0;
  for (int i = 0; i < nt; ++i) mean += c * double(dt) * (193 + 386.0 * i) / nt;
  // Float sums of values up to 770 carry rounding of a few 1e-4.
  for (int i = 0; i < nt; ++i) EXPECT_NEAR(v[i].v, c * double(dt) * (193 + 386.0 * i) - mean, 1e-3) << i;
  for (int i = 0; i + 1 < nt; ++i) EXPECT_NEAR(v[i + 1].v - v[i].v, c * double(dt) * 386, 1e-4) << i;
  // The second segment starts again with the half weight.
  const float carried = st.vprev;
  segment(nt, dt, 1e9, [&](int) { return c; });
  EXPECT_NEAR(st.vprev, carried + c * dt * (193 + 386.0 * (nt - 1)), 1e-2);
  // Zero mean per segment, in both files (as printed, to 8 digits).
  auto v2 = out.vel(), d2 = out.disp();
  ASSERT_EQ(v2.size(), 200u);
  for (int s = 0; s < 2; ++s) {
    double vm = 0, dm = 0;
    for (int i = 0; i < nt; ++i) {
      vm += v2[s * nt + i].v / nt;
      dm += d2[s * nt + i].v / nt;
    }
    EXPECT_NEAR(vm, 0, 1e-4);
    EXPECT_NEAR(dm, 0, 2e-5);
  }
  EXPECT_NEAR(v2[100].t, 100 * double(dt), 1e-7);  // the next segment starts one step on
}

TEST(Integth, ExtremesFieldsAndTimeColumns) {
  reset_state();
  outputs out;
  segment(50, 0.002f, 1e9, [](int i) { return 1.0f + float(i % 7); });
  EXPECT_EQ(st.accel_min, 0.0f);  // every sample positive: the minimum stays 0
  EXPECT_EQ(st.accel_max, 7.0f);
  auto a = out.accel(), v = out.vel(), d = out.disp();
  ASSERT_EQ(a.size(), 50u);
  ASSERT_EQ(v.size(), 50u);
  ASSERT_EQ(d.size(), 50u);
  float vmax = 0, vmin = 0;
  for (size_t i = 0; i < 50; ++i) {
    EXPECT_EQ(a[i].time, v[i].time);
    EXPECT_EQ(a[i].time, d[i].time);
    EXPECT_EQ(a[i].time, kformat("%14.7e", double(i) * double(0.002f)));
    EXPECT_EQ(v[i].value.size(), v[i].v < 0 ? 15u : 14u) << v[i].value;
    EXPECT_EQ(d[i].value.size(), d[i].v < 0 ? 15u : 14u) << d[i].value;
    vmax = std::max(vmax, float(v[i].v));
    vmin = std::min(vmin, float(v[i].v));
  }
  EXPECT_FLOAT_EQ(st.vel_max, vmax);
  EXPECT_FLOAT_EQ(st.vel_min, vmin);
  EXPECT_LT(st.vel_min, 0.0f);
  EXPECT_EQ(a[0].time, "0.0000000e+000");
}

// ---- End to end through the executable ----

std::string example(const std::string& name) {
  return read_file(std::string(KESTRUNE_SOURCE_DIR) + "/examples/" + name);
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
  return n;
}

TEST(EndToEnd, OneSegmentCoversTenSecondsAndASecondWritesNothing) {
  scratch_dir d;
  run_result r = run_spec(d, "20 0.01\n400 0.01\n", "", "10", "1000");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count(r.out, "\n white \n white 1"), 2);
  for (const char* f : {"a.txt", "v.txt", "d.txt"}) {
    auto lines = parse(d.read(f));
    ASSERT_EQ(lines.size(), 10000u) << f;
    EXPECT_EQ(lines.front().time, "0.0000000e+000");
    EXPECT_EQ(lines.back().time, "9.9990005e+000");  // 9999 steps of the float 0.001
  }
}

TEST(EndToEnd, DeterministicAndGaussOutLeftEmpty) {
  scratch_dir one, two;
  const std::string input = answers({"psd.txt", "sine.txt", "a.txt", "v.txt", "d.txt", "2", "4000"});
  run_result r[2];
  const scratch_dir* dirs[2] = {&one, &two};
  for (int i = 0; i < 2; ++i) {
    dirs[i]->write("psd.txt", example("psd.txt"));
    dirs[i]->write("sine.txt", "100 2\n250 1.5\n500 1\n");
    r[i] = run_kestrune(dirs[i]->path(), input);
    EXPECT_EQ(r[i].status, 0);
    EXPECT_TRUE(dirs[i]->exists("gauss.out"));
    EXPECT_EQ(dirs[i]->read("gauss.out"), "");
  }
  EXPECT_EQ(r[0].out, r[1].out);
  for (const char* f : {"a.txt", "v.txt", "d.txt"}) EXPECT_EQ(one.read(f), two.read(f)) << f;
}

// The report's six extremes, as printed.
std::vector<std::string> report_extremes(const std::string& out) {
  std::smatch m;
  std::regex re(
      "\n\n max accel = (.{10}) G\n min accel = (.{10}) G \n"
      "\n max vel = (.{10}) in/sec\n min vel = (.{10}) in/sec \n"
      "\n max disp = (.{10}) in\n min disp = (.{10}) in \n");
  if (!std::regex_search(out, m, re)) return {};
  return {m[1], m[2], m[3], m[4], m[5], m[6]};
}

TEST(EndToEnd, ShippedExampleMeetsItsLevels) {
  scratch_dir d;
  const std::string dir = std::string(KESTRUNE_SOURCE_DIR) + "/examples/";
  run_result r = run_kestrune(d.path(), answers({dir + "psd.txt", dir + "sine.txt", "accel.txt", "vel.txt",
                                                 "disp.txt", "10", "20000"}));
  ASSERT_EQ(r.status, 0);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex("acceleration = (\\S+) grms")));
  const double grms = std::stod(m[1]);
  const double tones = (2.0 * 2 + 1.5 * 1.5 + 1.0 * 1) / 2;  // A^2/2 each
  const double expected = std::sqrt(grms * grms + tones);

  auto a = parse(d.read("accel.txt")), v = parse(d.read("vel.txt")), x = parse(d.read("disp.txt"));
  ASSERT_EQ(a.size(), 200001u);
  ASSERT_EQ(v.size(), a.size());
  ASSERT_EQ(x.size(), a.size());
  // Every full segment's random part has rms grms exactly (up to float
  // rounding) before the tones are added, so the total differs from
  // sqrt(grms^2 + sum A^2/2) only by the cross terms: random x tone, whose
  // standard deviation is about A sqrt(2 PSD(f) / T) in rms^2 (0.1 for the
  // 2 G tone at 0.04 G^2/Hz over 10 s, against rms^2 = 40), tone x tone
  // (below 1e-3 here) and the partial last segment (3393 of 200001 samples).
  // 1 % in rms is over 10 standard deviations of these.
  double sumsq = 0;
  for (const auto& l : a) sumsq += l.v * l.v;
  EXPECT_NEAR(std::sqrt(sumsq / double(a.size())), expected, 0.01 * expected);

  // Zero mean per segment (65536 samples) for velocity and displacement, up
  // to the float accumulator of the mean: its terms carry the offset passed
  // on from the segment before, so a short last segment ends near 1e-3 rms.
  for (const auto* h : {&v, &x}) {
    double rms = 0;
    for (const auto& l : *h) rms += l.v * l.v;
    rms = std::sqrt(rms / double(h->size()));
    for (size_t s = 0; s < h->size(); s += 65536) {
      const size_t end = std::min(h->size(), s + 65536);
      double mean = 0;
      for (size_t i = s; i < end; ++i) mean += (*h)[i].v;
      mean /= double(end - s);
      EXPECT_LT(std::fabs(mean), (end - s == 65536 ? 1e-4 : 2e-3) * rms) << "segment from " << s;
    }
  }

  // The report's extremes are those of the files.
  auto ext = report_extremes(r.out);
  ASSERT_EQ(ext.size(), 6u);
  const std::vector<line>* files[3] = {&a, &v, &x};
  for (int k = 0; k < 3; ++k) {
    double hi = 0, lo = 0;
    for (const auto& l : *files[k]) {
      hi = std::max(hi, double(float(l.v)));
      lo = std::min(lo, double(float(l.v)));
    }
    EXPECT_EQ(ext[2 * k], kformat("%10.3g", hi)) << k;
    EXPECT_EQ(ext[2 * k + 1], kformat("%10.3g", lo)) << k;
  }
  EXPECT_NE(r.out.find("\n Output files \n\n accel.txt \n vel.txt \n disp.txt \n"), std::string::npos);
}

TEST(EndToEnd, FailedWriteIsReportedNotPassedOff) {
  scratch_dir d;
  d.write("psd.txt", "20 0.01\n400 0.01\n");
  d.write("sine.txt", "");
  run_result r = run_kestrune(d.path(), answers({"psd.txt", "sine.txt", "a.txt", "/dev/full", "d.txt", "10", "1000"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\n addsine \n Error:  failed to write file: /dev/full \n")) << r.out.substr(r.out.size() - 200);
  EXPECT_EQ(r.out.find("max accel"), std::string::npos);
  EXPECT_EQ(parse(d.read("a.txt")).size(), 10000u);  // what was written stays
}

// Counts the lines written into a FIFO without keeping them.
struct fifo_counter {
  std::string path;
  long lines = 0;
  std::string last;
  std::thread reader;
  explicit fifo_counter(const std::string& p) : path(p) {
    ::mkfifo(path.c_str(), 0644);
    reader = std::thread([this] {
      int fd = ::open(path.c_str(), O_RDONLY);
      char buf[1 << 16];
      std::string cur;
      for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) {
        for (ssize_t i = 0; i < n; ++i) {
          if (buf[i] == '\n') {
            ++lines;
            last = cur;
            cur.clear();
          } else if (cur.size() < 64) {
            cur += buf[i];
          }
        }
      }
      ::close(fd);
    });
  }
};

TEST(EndToEnd, LongHistoryStopsAfter200Segments) {
  scratch_dir d;
  d.write("psd.txt", "5 0.01\n40 0.01\n");
  d.write("sine.txt", "");
  fifo_counter a(d.file("a.fifo")), v(d.file("v.fifo")), x(d.file("d.fifo"));
  // 128 samples/sec for 2e6 s: far more than 200 segments hold, and each
  // segment is exactly 65536 / 128 = 512 s.
  run_result r = run_kestrune(d.path(), answers({"psd.txt", "sine.txt", "a.fifo", "v.fifo", "d.fifo", "2000000", "128"}));
  a.reader.join();
  v.reader.join();
  x.reader.join();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count(r.out, "\n white \n white 1"), 200);
  EXPECT_EQ(count(r.out, "\n addsine "), 200);
  EXPECT_NE(r.out.find("\n addsine \n\n max accel = "), std::string::npos);
  for (auto* f : {&a, &v, &x}) EXPECT_EQ(f->lines, 200L * 65536) << f->path;
  EXPECT_EQ(a.last.substr(0, 14), kformat("%14.7e", (200.0 * 65536 - 1) / 128).substr(0, 14));
}

}  // namespace
