// The conversion run: every input in turn through the converter of the mode.
#pragma once

#include <cstdio>

#include "cli/command_line.h"

namespace brenvik {

// Converts each input of `options` in command-line order, or `std_in` when none is named,
// to the output file (a new one for each input) or `std_out`. The first input alone loses
// its first `skip_count` bytes. Listing mode calls decode_image, text mode tokenize_text.
// With a disk image (-disk), the inputs name entries whose programs are listed, or, with no
// inputs, the directory is listed; with -t the inputs are listings stored into a copy of the
// disk written to the output. Messages go to `err`.
//
// An output file is written to a new file beside it that replaces it only when the
// conversion has ended (with -t -disk: when every input is stored), so that a failure or a
// kill leaves it as it was. It is refused when it exists without `-f` (also when it appears
// meanwhile), and always when it is one of the inputs (or standard input, or the disk read);
// so is standard output when it is an input file. An input that cannot be opened, an output
// that cannot be created, a disk image that cannot be read, an entry not on the disk, a read
// error and a write error end the run at once with status 1. An input the converter rejects
// (or a disk entry that cannot be listed) does not stop the run, but it returns 1 at the end.
// Returns 0 when every input was converted.
int convert_inputs(const run_options& options, FILE* std_in, FILE* std_out, FILE* err);

// Opens /dev/null on any of the standard descriptors 0-2 that is closed, so that no file
// opened later takes its number and receives what was meant for a standard stream.
void open_closed_standard_descriptors();

}  // namespace brenvik
