// The run driver: dialogue, sample-rate rule, segment loop and report.
#pragma once

// Frame sizing and input summary: m, ns, np, nstages, T, df, fmax, and the
// overall rms values of the input PSD.
void fftsize();

// Steps of a run, in order; kestrune_main runs all of them.
void run_dialogue();   // banner to the derived nt, T and dt
void run_segments();   // the segment loop
int run_report();      // closes the outputs, reports, returns the key's code
int kestrune_main();
