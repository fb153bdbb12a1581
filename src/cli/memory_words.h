// The words for a memory image's program: where it is looked for, and why none is there. They
// open no file, so any door to the library (the command line, the page) says the same.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>

#include "memory/memory_image.h"

namespace brenvik {

// Finds the program of memory `ram` of the image `name`: at `load_address` when given, else
// where ROM BASIC's pointers say (TXTTAB, with VARTAB checked against the chain's end).
// False after a message on `err` when none is there, naming a complete chain of links still
// in memory, if one is.
bool find_memory_program(FILE* err, const std::string& name, std::span<const unsigned char> ram,
                         std::optional<uint16_t> load_address, memory::memory_program& program);

}  // namespace brenvik
