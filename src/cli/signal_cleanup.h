// Temporary names that a stopping signal (SIGINT, SIGTERM, SIGHUP, SIGPIPE) removes before
// the process ends by it.
#pragma once

#include <string>

namespace brenvik {

// Holds `path` for removal by a stopping signal, catching those signals the first time
// (one the process ignores stays ignored). Returns its slot, or -1 when none is free: two
// names are held at most, a temporary and the name it takes on its way to the output.
int hold_name(const std::string& path);

// Releases the slot `slot` (-1: none).
void release_name(int slot);

}  // namespace brenvik
