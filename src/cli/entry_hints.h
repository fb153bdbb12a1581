// The entries a name that names none may have meant, for "did you mean ...?".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "disk/volume.h"

namespace brenvik {

// The names (as shown, without padding) of the entries whose names have the same letters as
// `given`, ignoring case, blanks and a trailing '*'; failing those, the one entry whose name
// so compared begins with `given`, when only one does. Empty when none fits.
std::vector<std::string> entries_meant(const std::vector<disk::entry>& entries,
                                       std::string_view given);

}  // namespace brenvik
