// A disk's check as brenvik reports it: one line for each thing wrong in its directory and
// the files it names, then a summary; or the same as one JSON document. It opens no file, so
// any door to the library (the command line, the page) says the same.
#pragma once

#include <cstddef>
#include <cstdio>

#include "disk/volume.h"

namespace brenvik {

// Checks `disk` (null when it holds no DOS known: `why` says what it holds) of the image
// `disk_name` with `tracks` tracks and writes the report to `out`, as text or as JSON.
// Returns how many things are wrong.
std::size_t write_check_report(FILE* out, const char* disk_name, disk::volume* disk,
                               const disk::problem& why, int tracks, bool json);

}  // namespace brenvik
