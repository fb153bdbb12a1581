// The run over a memory image (-memory): the BASIC program it holds, listed.
#pragma once

#include "cli/run.h"

namespace brenvik {

// Lists the BASIC program of the memory image `-memory` names: at -l when given, else where
// ROM BASIC's pointers say (TXTTAB, with VARTAB checked against the chain's end), with -w,
// or the version that address names, or ROM BASIC (row 0), which is said. When the pointers
// lead to no program, says why and where a complete chain of links still lies in memory,
// and lists nothing. Returns 0 when the program was listed, 1 after a message.
int list_memory(const run_context& run);

}  // namespace brenvik
