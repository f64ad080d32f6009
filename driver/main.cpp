// kestrune: synthesises an acceleration time history that meets a
// Sine-on-Random specification, with its velocity and displacement.
#include "driver/run.h"

int main() { return kestrune_main(); }
