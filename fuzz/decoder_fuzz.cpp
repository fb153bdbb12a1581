// The image decoder over arbitrary bytes; the first byte picks the version, -1 to 6.
#include <cstddef>
#include <cstdint>

#include "image/decoder.h"
#include "input_limit.h"
#include "memory_streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0 || size > brenvik::fuzzing::input_limit) return 0;
  const int version = data[0] % 8 - 1;
  brenvik::testing::memory_input image(
      std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  const int result = brenvik::decode_image(image.file(), brenvik::testing::discard(),
                                           brenvik::testing::discard(), {.version = version});
  if (result != 0 && result != -1) __builtin_trap();
  return 0;
}
