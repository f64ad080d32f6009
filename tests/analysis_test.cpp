// The fine grid, the log-log integration and the frame sizing.
#include <cmath>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "analysis/analysis.h"
#include "driver/run.h"
#include "driver/state.h"
#include "tests/test_util.h"

namespace {

const double K = 386.0 * 386.0;

// Fresh state holding the given breakpoints, as the PSD reader leaves them.
void set_breakpoints(const std::vector<std::pair<float, float>>& bp) {
  reset_state();
  for (size_t k = 0; k < bp.size(); ++k) {
    st.freq[k] = bp[k].first;
    st.psd[k] = bp[k].second;
  }
  st.npsd = int(bp.size());
  st.fmax = bp.back().first;
}

std::string run_intlog(const std::vector<std::pair<float, float>>& bp) {
  set_breakpoints(bp);
  console_capture cap;
  intlog();
  return cap.text();
}

int index_of(float f) {
  for (int n = 0; n < st.npsd; ++n)
    if (st.freq[n] == f) return n;
  return -1;
}

TEST(Intlog, FlatBandWithItsVelocityAndDisplacement) {
  std::string out = run_intlog({{10, 0.01f}, {1000, 0.01f}});
  EXPECT_EQ(out, "\n intlog \n\n  df=       0.495  fmax=        1000  npsd=2001 \n");
  EXPECT_EQ(st.df, 0.495f);
  ASSERT_EQ(st.npsd, 2001);
  EXPECT_EQ(st.freq[0], 10.0f);
  float g = 10;
  for (int n = 0; n < st.npsd; ++n) {
    EXPECT_EQ(st.psd[n], 0.01f) << n;
    EXPECT_EQ(st.freq[n], g) << n;
    g = float(double(g) + double(st.df));
    const double w2 = std::pow(double(st.two_pi) * double(st.freq[n]), 2);
    EXPECT_EQ(st.vpsd[n], float(double(0.01f) * K / w2)) << n;
    EXPECT_EQ(st.dpsd[n], float(double(0.01f) * K / w2 / w2)) << n;
  }
  // 1/f^2 and 1/f^4 against the closed forms, to float accuracy.
  for (int n : {0, 1000, 2000}) {
    const double f = st.freq[n];
    EXPECT_NEAR(st.vpsd[n], 0.01 * K / std::pow(2 * M_PI * f, 2), 1e-6 * st.vpsd[n]);
    EXPECT_NEAR(st.dpsd[n], 0.01 * K / std::pow(2 * M_PI * f, 4), 1e-6 * st.dpsd[n]);
  }
}

TEST(Intlog, SummaryLineOfAWideBand) {
  std::string out = run_intlog({{20, 0.04f}, {2000, 0.04f}});
  EXPECT_EQ(out, "\n intlog \n\n  df=        0.99  fmax=        2000  npsd=2001 \n");
}

TEST(Intlog, InnerBreakpointsAndSteps) {
  // Grid step 1 Hz: every grid frequency is a whole number, exact in float.
  run_intlog({{1, 1}, {2, 4}, {1001, 4}, {1001, 9}, {2001, 9}});
  EXPECT_EQ(st.df, 1.0f);
  EXPECT_EQ(st.psd[index_of(2)], 4.0f);      // on an inner breakpoint: its value
  EXPECT_EQ(st.psd[index_of(3)], 4.0f);      // inside a flat segment
  EXPECT_EQ(st.psd[index_of(1001)], 4.0f);   // a step: the first breakpoint's value
  EXPECT_EQ(st.psd[index_of(1002)], 9.0f);
  EXPECT_EQ(st.npsd, 2000);                  // the last breakpoint is no grid point
  EXPECT_EQ(st.freq[st.npsd - 1], 2000.0f);
}

TEST(Intlog, ThreeDecibelsPerOctaveIsProportionalToF) {
  run_intlog({{100, 0.01f}, {200, 0.02f}, {2100, 0.21f}});
  for (int n = 0; n < st.npsd; ++n)
    EXPECT_NEAR(st.psd[n] / st.freq[n], 1e-4, 1e-4 * 2e-6) << st.freq[n];
}

TEST(Intlog, BandTooNarrowForTheGridEndsTheRun) {
  for (const char* psd : {"1000 0.01\n1000.0001 0.01\n", "100 0.01\n100 0.02\n", "5 1\n5 1\n5 1\n"}) {
    scratch_dir d;
    d.write("psd.txt", psd);
    run_result r = run_kestrune(d.path(), answers({"psd.txt"}));
    EXPECT_EQ(r.status, 1) << psd;
    EXPECT_TRUE(r.out.ends_with("\n intlog \n\n Error:  the PSD band is too narrow for the fine grid \n"))
        << psd << r.out.substr(r.out.size() > 200 ? r.out.size() - 200 : 0);
  }
}

TEST(Rms, FlatPsdTelescopes) {
  run_intlog({{20, 0.04f}, {2000, 0.04f}});
  rms_accel();
  for (int j = 0; j < st.npsd - 1; ++j) ASSERT_EQ(st.slope[j], 0.0f) << j;
  const double last = st.freq[st.npsd - 1];
  EXPECT_NEAR(st.grms, std::sqrt(double(0.04f) * (last - 20)), 1e-5);
  EXPECT_NEAR(st.grms, 8.899, 1e-3);
}

TEST(Rms, SlopeOfMinusOneUsesTheLogarithm) {
  // Exactly 1/f, an octave per segment: each area is 8 ln 2, where the
  // general form would divide by zero.
  reset_state();
  const float f[] = {1, 2, 4, 8}, p[] = {8, 4, 2, 1};
  for (int i = 0; i < 4; ++i) {
    st.freq[i] = f[i];
    st.psd[i] = p[i];
  }
  st.npsd = 4;
  rms_accel();
  EXPECT_EQ(st.slope[0], -1.0f);
  EXPECT_FLOAT_EQ(st.grms, float(std::sqrt(24 * std::log(2.0))));
  // On the fine grid the slopes of a 1/f band come out near -1, some just
  // outside the band of the logarithmic form; the total stays right.
  run_intlog({{10, 1}, {1000, 0.01f}});
  rms_accel();
  const double last = st.freq[st.npsd - 1];
  EXPECT_NEAR(st.grms, std::sqrt(10 * std::log(last / 10)), 1e-4);
}

TEST(Rms, VelocityAndDisplacementOfRisingSlopes) {
  // Acceleration rising as f: velocity falls as 1/f (logarithmic form).
  run_intlog({{10, 0.001f}, {1000, 0.1f}});
  rms_vel();
  const double c = 1e-4 * K / std::pow(2 * M_PI, 2);  // vpsd = c / f
  double last = st.freq[st.npsd - 1];
  EXPECT_NEAR(st.vrms, std::sqrt(c * std::log(last / 10)), 1e-5 * st.vrms);
  // Acceleration rising as f^3: displacement falls as 1/f.
  run_intlog({{10, 0.001f}, {100, 1}});
  rms_disp();
  const double c3 = 1e-6 * K / std::pow(2 * M_PI, 4);
  last = st.freq[st.npsd - 1];
  EXPECT_NEAR(st.drms, std::sqrt(c3 * std::log(last / 10)), 1e-4 * st.drms);
}

TEST(Rms, FirstFrequencyAtOrBelowTheThresholdHasSlopeZero) {
  reset_state();
  const float f[] = {1e-13f, 1, 2}, p[] = {1, 4, 8};
  for (int i = 0; i < 3; ++i) {
    st.freq[i] = f[i];
    st.psd[i] = st.vpsd[i] = st.dpsd[i] = p[i];
  }
  st.npsd = 3;
  rms_accel();
  rms_vel();
  rms_disp();
  EXPECT_EQ(st.slope[0], 0.0f);
  EXPECT_EQ(st.vslope[0], 0.0f);
  EXPECT_EQ(st.dslope[0], 0.0f);
  EXPECT_EQ(st.slope[1], 1.0f);
}

TEST(Rms, AmplitudeErrorLeavesLaterSlopesZero) {
  reset_state();
  const float f[] = {10, 20, 40, 80}, p[] = {1, 2, 0, 8};
  for (int i = 0; i < 4; ++i) {
    st.freq[i] = f[i];
    st.psd[i] = p[i];
  }
  st.npsd = 4;
  console_capture cap;
  rms_accel();
  EXPECT_EQ(cap.text(), "\n amplitude error:            0            2 \n");
  EXPECT_EQ(st.slope[0], 1.0f);
  EXPECT_EQ(st.slope[1], 0.0f);
  EXPECT_EQ(st.slope[2], 0.0f);
  // Areas with those slopes: (2*20-10)/2, then (0-40)/1, then (640-0)/1.
  EXPECT_FLOAT_EQ(st.grms, float(std::sqrt(15.0 - 40.0 + 640.0)));
}

struct frame_case {
  double dur;  // capped duration, as the dialogue leaves it
  float sr;
  int m, nstages;
  double T, df, fmax;
  const char* lines;
};

std::string run_fftsize(float T, float dt, float sr) {
  set_breakpoints({{20, 0.01f}, {200, 0.01f}});
  {
    console_capture quiet;
    intlog();
  }
  st.T = T;
  st.dt = dt;
  st.sr = sr;
  console_capture cap;
  fftsize();
  std::string out = cap.text();
  return out.substr(0, out.find("\n Input PSD"));
}

TEST(Fftsize, FramesOfTheDialogue) {
  const frame_case cases[] = {
      {10, 1000, 16384, 14, 16.384, 0.06103515625, 500,
       "\n df   =        0.06104 Hz\n fmax =            500 Hz\n dur  =          16.38 sec\n\n\n ns = 16384 \n"},
      {32.768f, 2000, 65536, 16, 32.768, 0.030517578125, 1000,
       "\n df   =        0.03052 Hz\n fmax =           1000 Hz\n dur  =          32.77 sec\n\n\n ns = 65536 \n"},
      {0.5, 2048, 2048, 11, 1, 1, 1024,
       "\n df   =              1 Hz\n fmax =           1024 Hz\n dur  =              1 sec\n\n\n ns = 2048 \n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dur);
    const float dur = float(c.dur);
    std::string out = run_fftsize(float(double(dur) * 2.1), float(1.0 / double(c.sr)), c.sr);
    EXPECT_EQ(st.m, c.m);
    EXPECT_EQ(st.np, c.m);
    EXPECT_EQ(st.ns, c.m);
    EXPECT_EQ(st.nstages, c.nstages);
    EXPECT_EQ(st.T, float(c.T));
    EXPECT_EQ(double(st.df), c.df);
    EXPECT_EQ(double(st.fmax), c.fmax);
    EXPECT_EQ(out, c.lines);
  }
}

TEST(Fftsize, ExactPowersOfTwoGiveTheirExponent) {
  const float dt = 1.0f / 1024;
  for (int k = 1; k <= 18; ++k) {
    run_fftsize(std::ldexp(1.0f, k) * dt, dt, 1024);
    const int m = k > 16 ? 65536 : 1 << k;
    EXPECT_EQ(st.m, m) << k;
    EXPECT_EQ(st.nstages, k > 16 ? 16 : k) << k;
    // Just below 2^k the exponent is one less.
    if (k >= 2 && k <= 16) {
      run_fftsize(std::nextafter(std::ldexp(1.0f, k) * dt, 0.0f), dt, 1024);
      EXPECT_EQ(st.m, m / 2) << k;
    }
  }
  // Ratios that are powers of two with other time steps too.
  for (float sr : {1000.0f, 3000.0f, 44100.0f}) {
    const float dt = float(1.0 / double(sr));
    for (int k = 1; k <= 16; ++k) {
      run_fftsize(float(std::ldexp(double(dt), k)), dt, sr);
      EXPECT_EQ(st.m, 1 << k) << sr << " " << k;
    }
  }
}

TEST(Fftsize, RatioBelowTwoIsALengthOfOne) {
  run_fftsize(1.5f * 0.001f, 0.001f, 1000);
  EXPECT_EQ(st.m, 1);
  EXPECT_EQ(st.nstages, 0);
  EXPECT_EQ(st.T, 0.001f);
  EXPECT_EQ(st.df, 1000.0f);
  EXPECT_EQ(st.fmax, 500.0f);
}

TEST(Fftsize, InputSummaryFormats) {
  set_breakpoints({{20, 0.04f}, {2000, 0.04f}});
  {
    console_capture quiet;
    intlog();
  }
  st.T = 21;
  st.dt = 0.001f;
  st.sr = 1000;
  console_capture cap;
  fftsize();
  std::string out = cap.text();
  EXPECT_EQ(out.substr(out.find("\n Input PSD")),
            "\n Input PSD \n\n"
            "   acceleration = 8.8994e+000 grms\n"
            "   velocity     = 2.7336e+000 inch/sec rms\n"
            "   displacement = 1.2623e-002 inch rms\n");
}

}  // namespace
