// The longest input a fuzz target looks at. Every behaviour of the converters shows in
// shorter inputs, and the bound keeps each run short however the target is started (fuzz/run
// passes the same -max_len, but a target run by hand gets libFuzzer's defaults).
#pragma once

#include <cstddef>

namespace brenvik::fuzzing {

inline constexpr std::size_t input_limit = 4096;

}  // namespace brenvik::fuzzing
