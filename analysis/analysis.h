// PSD analysis: the fine grid and the overall rms values.
#pragma once

// Replaces the breakpoints in freq, psd, npsd by a uniform fine grid from the
// first breakpoint to the last, fills vpsd and dpsd, and leaves the grid step
// in df.
void intlog();

// Log-log integration of the fine-grid PSDs: slope tables and overall rms.
void rms_accel();  // psd  -> slope,  grms (G rms); guards its ratios
void rms_vel();    // vpsd -> vslope, vrms (inch/sec rms)
void rms_disp();   // dpsd -> dslope, drms (inch rms)
