// What a file given in the wrong mode looks like, for a hint that says which mode takes it.
#pragma once

#include <span>

#include "image_bytes.h"

namespace brenvik {

enum class looks_like { nothing_known, listing, program_image, disk_image };

// What `file` looks like: a text listing (its first byte that is no NUL, CR or LF is a digit
// or a blank), a tokenized program image (it lists without an error as some version's), or a
// disk image (a flat image's size, or a bitstream image's signature).
looks_like what_it_looks_like(image_bytes& file);

}  // namespace brenvik
