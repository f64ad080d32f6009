// Private helpers shared by the two file readers.
#pragma once

#include "input/readers.h"

// True when v cannot be stored as a normal float: it would become infinity,
// zero or a subnormal.
bool outside_float(double v);
// Asks for the file name, opens it with mode "rb" into input_file, records
// its identity and announces it; ends the run when it cannot be opened.
text_scanner& open_input(file_identity& id);
// Ends the run when the source reported a read error.
void check_read(text_scanner& in);
