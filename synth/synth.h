// Segment synthesis: white noise, the two FFTs, spectrum shaping, scaling
// and the sine tones. Each stage works on the working state.
#pragma once

// The generator: state * 214013 + 2531011 modulo 2^32, result bits 16 to 30.
int rand15();

void gauss();  // Gaussian table P(|X| < x) for x = 0.01 .. 6.00; recreates "gauss.out"
void white();
// One noise sample from its two draws: the magnitude from the Gaussian table
// (0 when no interval holds the draw), negated for a sign draw of 16383 or less.
float noise_sample(int magnitude_draw, int sign_draw);  // np Gaussian samples of zero mean and unit deviation into noise

// Forward FFT: bin k = (1/m) sum x[n] e^(-2 pi i k n / m), in cdata[0 .. m-1];
// bin k at frequency fbin[k] = k df.
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
