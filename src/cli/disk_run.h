// The run over a disk image's entries (-disk): its directory, the programs of the entries
// named, or listings stored into a copy of it.
#pragma once

#include "cli/run.h"

namespace brenvik {

// Lists the directory of the disk image, or, when inputs are named, the programs of those
// entries, each with -w, or the version its address names, or the disk's own OS65D BASIC.
// A disk that cannot be read and an entry not on it stop the run (status 1); an entry that
// holds no readable program does not, but the run returns 1 at the end.
int list_disk(const run_context& run);

}  // namespace brenvik
