// Segment synthesis: white noise, the two FFTs, spectrum shaping, scaling
// and the sine tones. Each stage works on the working state.
#pragma once

// The generator: state * 214013 + 2531011 modulo 2^32, result bits 16 to 30.
int rand15();

// Gaussian table P(|X| < x) for x = 0.01 .. 6.00 into gauss_x and gauss_p
// (computed once, copied on every call); recreates "gauss.out".
void gauss();
void white();  // np Gaussian samples of zero mean and unit deviation into noise
// One noise sample from its two draws: the magnitude is the lower abscissa
// of the first interval of the Gaussian table in the state that holds
// u = draw/32767 (0 when none does), looked up per draw; negated for a sign
// draw of 16383 or less.
float noise_sample(int magnitude_draw, int sign_draw);

// Forward FFT: bin k = (1/m) sum x[n] e^(-2 pi i k n / m), in cdata[0 .. m-1];
// bin k at frequency fbin[k] = k df. Both transforms require m = 2^nstages
// (at most 65536), as fftsize sets them.
void fft();
void bitrev();     // real parts of cdata into bit-reversed order, imaginary parts 0
void ctfourier();  // butterfly passes, scaling by 1/m, fbin and ig

// Keeps every bin's phase and gives it the magnitude sqrt(PSD(f) df).
void scalefft();

// Inverse FFT without scaling: x[n] = sum X[k] e^(+2 pi i k n / m), where the
// upper half of X is the conjugate mirror of the lower half.
void ifft();
void mirror();
void cbitrev();
void ictfourier();

void scaleth();  // rms of the first nt samples made equal to grms
void addsine();  // adds the tones, continuous from segment to segment
