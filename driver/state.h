// The working state: the one record through which every stage of a run
// exchanges its data. One process-wide instance, zero-filled at start-up;
// it owns every array, name buffer and stream, and nothing is allocated
// during a run.
#pragma once

#include <cstdint>
#include <cstdio>

// Capacities.
constexpr int table_cap = 2500;    // PSD and tone tables; the readers stop after 2500 pairs
constexpr int gauss_cap = 600;     // Gaussian table, entries numbered 1 to 600
constexpr int sample_cap = 65536;  // samples per segment and FFT length
constexpr int name_cap = 260;      // file names: 259 characters and the terminator
constexpr int segment_cap = 200;   // segments per run

// One complex entry: a float real part followed by a float imaginary part.
struct cpx {
  float re;
  float im;
};

struct synthesis_state {
  // Start-up constants.
  float two_pi;        // 2 pi as a float; every angle is built from it
  float inv_sqrt_2pi;  // 1/sqrt(2 pi) as a float, for the Gaussian weights

  // Run parameters and output streams (dialogue).
  char accel_name[name_cap], vel_name[name_cap], disp_name[name_cap];
  FILE* accel_file;
  FILE* vel_file;
  FILE* disp_file;
  float dur;    // seconds one segment covers (entered, then capped)
  float sr;     // sample rate, samples/sec
  double tmax;  // total duration as entered, seconds
  int32_t nt;   // samples per segment
  float T;      // 2.1 x dur, then the FFT period m / sr, seconds
  float dt;     // time step 1/sr, seconds

  // Input tables and PSD analysis.
  char input_name[name_cap];  // the input file being read (PSD, then sine)
  FILE* input_file;
  float freq[table_cap];  // Hz: breakpoints, then the fine grid
  float psd[table_cap];   // G^2/Hz
  int32_t npsd;           // valid entries of freq and psd
  float fmax;             // Hz: last breakpoint, then the Nyquist frequency
  float df;               // Hz: fine-grid step, then the FFT bin spacing
  float vpsd[table_cap];  // (inch/sec)^2/Hz on the fine grid
  float dpsd[table_cap];  // inch^2/Hz on the fine grid
  float slope[table_cap], vslope[table_cap], dslope[table_cap];  // log-log slope of segment j
  float grms;             // overall rms acceleration, G
  double vrms;            // overall rms velocity, inch/sec
  double drms;            // overall rms displacement, inch
  float sine_freq[table_cap];  // Hz
  float sine_amp[table_cap];   // G peak
  int32_t nsine;
  float fsine_max;  // largest tone frequency, Hz; 0 without tones

  // FFT frame.
  int32_t m;        // FFT length, a power of two up to 65536
  int32_t ns;       // equal to m
  int32_t np;       // noise samples, equal to m
  int32_t nstages;  // log2 m

  // Segment synthesis.
  float noise[sample_cap];
  float gauss_x[gauss_cap + 1], gauss_p[gauss_cap + 1];  // used from index 1
  char gauss_name[name_cap];
  FILE* gauss_file;
  cpx cdata[sample_cap];    // spectrum, then time history (real parts)
  cpx scratch[sample_cap];  // reordering copy and twiddle table
  float fbin[sample_cap];   // Hz, frequency of each bin
  int32_t ig;               // bins shaped, equal to m
  double tsine;             // time of the segment's first sample for the tones
  float grmsout;            // rms of the segment before scaling
  float ratio;              // grms / grmsout

  // Integration and output.
  float vel[sample_cap];   // inch/sec
  float disp[sample_cap];  // inch
  double t0;               // time of the next segment's first sample
  double tsample;          // time of the sample being examined
  float vprev, dprev;      // carried from sample to sample and segment to segment
  float vmean, dmean;
  float accel_max, accel_min, vel_max, vel_min, disp_max, disp_min;
  int32_t done;  // 1 once the history covers tmax
};

extern synthesis_state st;

// State of the generator rand15; 1 at process start, never reseeded.
extern uint32_t rand15_state;

// Tests only: a fresh record (zero-filled, start-up constants set) and a
// fresh generator. Streams still open in the old record are not closed.
void reset_state();
