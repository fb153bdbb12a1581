// The run over files: every input file (or standard input) through the converter of the
// mode, each to its own output.
#pragma once

#include "cli/run.h"

namespace brenvik {

// Converts each input of the run in command-line order, or standard input when none is
// named; the first input alone loses its first `skip_count` bytes. Listing mode calls
// decode_image, text mode tokenize_text. An input that cannot be opened or read, and an
// output that cannot be written, stop the run (status 1); a rejected input does not, but
// the run returns 1 at the end. Returns 0 when every input was converted.
int convert_files(const run_context& run);

}  // namespace brenvik
