// The line tokenizer over arbitrary text: the first byte picks the version (-1 to 6), the
// next two the load address.
#include <cstddef>
#include <cstdint>

#include "input_limit.h"
#include "memory_streams.h"
#include "tokenize/tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3 || size > brenvik::fuzzing::input_limit) return 0;
  const int version = data[0] % 8 - 1;
  const auto load_address = static_cast<uint16_t>(data[1] | data[2] << 8);
  brenvik::testing::memory_input text(
      std::string(reinterpret_cast<const char*>(data + 3), size - 3));
  brenvik::testing::memory_output image;
  const int result = brenvik::tokenize_text(text.file(), image.file(), brenvik::testing::discard(),
                                            version, load_address);
  // Whatever the text, the image starts with its lead byte and ends with the end marker; an
  // image taken (result 0) lies in memory at or below $FFFF, end marker included.
  const std::string bytes = image.bytes();
  if (result != 0 && result != -1) __builtin_trap();
  if (bytes.size() < 3 || bytes[0] != 0 || bytes[bytes.size() - 1] != 0 ||
      bytes[bytes.size() - 2] != 0) {
    __builtin_trap();
  }
  if (result == 0 && load_address + bytes.size() > 0x10000) __builtin_trap();
  return 0;
}
