// Reading the Sine-on-Random specification: the PSD breakpoint file and the
// sine tone file. Both fill the working state or end the run with a message.
#pragma once

#include "platform/scanner.h"

// Asks for the PSD file and reads its breakpoints into freq, psd, npsd and fmax.
void read_psd_file();
// Asks for the sine file and reads its tones into sine_freq, sine_amp, nsine
// and fsine_max.
void read_sine_file();

// The readers' cores, over any text source; the caller has already reset
// the tables. Used by read_psd_file and read_sine_file after the prompt and
// the open, and by tools and tests that read specification text directly.
void read_psd_pairs(text_scanner& in);
void read_sine_pairs(text_scanner& in);

// The PSD and sine files as opened, for telling later whether an output name
// would overwrite one of them. Zero when not opened.
struct file_identity {
  unsigned long dev = 0, ino = 0;
  bool regular = false;
};
extern file_identity psd_identity, sine_identity;
