// A zlib stream inflated, for the UK101 machine images that keep their memory compressed.
// Built with zlib where it is there (BRENVIK_ZLIB); without it, every stream is refused as
// one this build cannot read.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace brenvik::memory {

enum class inflated { done, damaged, too_long, not_built_in };

// Inflates the zlib stream `compressed` into `into`: done when the stream ends whole within
// `most` bytes; damaged when it is corrupt or cut short; too_long past `most` bytes.
inflated inflate_stream(std::span<const unsigned char> compressed, std::size_t most,
                        std::vector<unsigned char>& into);

}  // namespace brenvik::memory
