// Temporaries that runs killed outright (SIGKILL) left beside their outputs.
#pragma once

#include <string>
#include <string_view>

namespace brenvik {

// Removes the temporaries of the output `name` (a file name) in `directory` whose process no longer
// exists. A folder is read once per run, for all its outputs: a run into a folder writes
// many.
void remove_stale_temporaries(const std::string& directory, std::string_view name);

}  // namespace brenvik
