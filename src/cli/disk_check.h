// The run that checks a disk image (-disk D -check): every track, sector and frame, the
// directory and the BASIC programs in it, one line for each thing wrong, then a summary; or,
// with -json, the same as one document. Free tracks that still hold old data are normal on
// real disks: a note at most, never a fault.
#pragma once

#include "cli/run.h"

namespace brenvik {

// Returns 0 when nothing is wrong, 1 when something is or the disk cannot be read.
int check_disk(const run_context& run);

}  // namespace brenvik
