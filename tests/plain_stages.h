// The stages whose work is now done once per run or by a table, as they
// were computed step by step: every segment builds the Gaussian table, scans
// it per draw, makes the bit-reversed order in nstages copies, rebuilds the
// twiddles per stage, scans the grid per bin and formats each line with
// kfprintf. The tests hold the fast stages to these, byte for byte.
#pragma once

namespace plain {

void gauss();
float noise_sample(int magnitude_draw, int sign_draw);
void white();
void bitrev();
void ctfourier();
void fft();
void cbitrev();
void ictfourier();
void ifft();
void scalefft();
void integth();

}  // namespace plain
