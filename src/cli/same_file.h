// Whether a file already holds what a new output file holds.
#pragma once

#include <string>

namespace brenvik {

// True when the file at `path` (a link not followed) is a regular file that holds exactly the bytes
// of the file open on `descriptor`, with the same permissions.
bool holds_the_same(int descriptor, const std::string& path);

}  // namespace brenvik
