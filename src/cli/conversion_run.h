// The conversion run: every input in turn through the converter of the mode.
#pragma once

#include <cstdio>

#include "cli/command_line.h"

namespace brenvik {

// Converts each input of `options` in command-line order, or `std_in` when none is named,
// to the output file (opened afresh for each input) or `std_out`. The first input alone
// loses its first `skip_count` bytes. Listing mode calls decode_image, text mode
// tokenize_text. Messages go to `err`.
//
// An existing output file is refused without `-f`, and always when it is one of the inputs
// (or standard input); an input that cannot be opened or is a directory, an output that
// cannot be created, a read error and a write error end the run at once with status 1.
// An input the converter rejects does not stop the run, but the run returns 1 at the end.
// Returns 0 when every input was converted.
int convert_inputs(const run_options& options, FILE* std_in, FILE* std_out, FILE* err);

}  // namespace brenvik
