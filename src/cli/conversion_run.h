// The conversion run: what the command line asked for, over files or over a disk image.
#pragma once

#include <cstdio>

#include "cli/command_line.h"

namespace brenvik {

// Runs the conversion `options` ask for: over a disk image's entries with -disk (its
// directory, the programs of the entries named, or listings stored into a copy of it),
// otherwise over the input files or `std_in` (see file_run.h and disk_run.h). Messages go to
// `err`. Standard output is refused when the run reads it as an input.
//
// Every named output is written to a new file beside it that takes its place only when the
// conversion has ended (see destination.h), so that a failure or a kill leaves it as it
// was. Returns 0 when every input was converted, 1 otherwise.
int convert_inputs(const run_options& options, FILE* std_in, FILE* std_out, FILE* err);

// Opens /dev/null on any of the standard descriptors 0-2 that is closed, so that no file
// opened later takes its number and receives what was meant for a standard stream.
void open_closed_standard_descriptors();

}  // namespace brenvik
