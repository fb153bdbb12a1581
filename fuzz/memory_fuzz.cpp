// The memory image reader over any memory: a checkpoint or dump holding a program at $0300
// and a stale one at $050C, patched and cut as the input says (or, by byte 0, the input
// itself as a plain dump). Whatever BASIC's pointers, -l or the scan for stale programs
// find must be a whole chain of links inside memory, and lists without a crash.
//
// Input: byte 0 picks the layout (0-2 checkpoints, 3 a 64 KiB dump, 4 the rest of the input
// as a dump) and whether to cut the file; bytes 1-3 the length to cut it to and an address
// for -l; then patches of 3 bytes offset, 1 byte length, and that many bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "disk_images.h"
#include "image/decoder.h"
#include "image/image_format.h"
#include "image_bytes.h"
#include "images.h"
#include "input_limit.h"
#include "memory/memory_image.h"
#include "memory_images.h"
#include "memory_streams.h"

using namespace brenvik;

namespace {

std::string sample(unsigned layout) {
  const std::string program = testing::image_of(0x0300, {{10, "\x97\"HI\""}, {20, "\x80"}});
  std::string ram = testing::ram_with(layout == 1   ? 0x3000
                                      : layout == 3 ? 0x10000
                                                    : 0x8000,
                                      0x0300, program);
  const std::string stale = testing::image_of(0x050C, {{1, "A"}, {2, "\x8E B"}, {3, "C"}});
  ram.replace(0x050C, stale.size(), stale);
  return layout == 3 ? ram : testing::checkpoint(static_cast<int>(layout), ram);
}

// Traps unless `p` is a program area inside `ram`, and lists it.
void check_and_list(const memory::memory_program& p, std::span<const unsigned char> ram) {
  if (p.load_address + p.length > ram.size() || p.length < 3 || ram[p.load_address] != 0) {
    __builtin_trap();
  }
  const auto area = ram.subspan(p.load_address, p.length);
  const image::chain_walk walk = image::follow_chain(area, 1, p.load_address + 1u);
  if (walk.result != image::chain_walk::complete || walk.end != p.length || walk.lines != p.lines) {
    __builtin_trap();
  }
  decode_image(area, testing::discard(), testing::discard(),
               {.load_address = p.load_address, .fallback_version = 0});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 4 || size > fuzzing::input_limit) return 0;
  static const std::string samples[] = {sample(0), sample(1), sample(2), sample(3)};
  const unsigned layout = data[0] % 5;
  std::string file;
  if (layout == 4) {
    file.assign(reinterpret_cast<const char*>(data + 4), size - 4);
  } else {
    file = samples[layout];
    for (std::size_t at = 4; at + 4 <= size;) {
      const std::size_t offset =
          (data[at] | std::size_t{data[at + 1]} << 8 | std::size_t{data[at + 2]} << 16) %
          file.size();
      const std::size_t length = data[at + 3];
      at += 4;
      for (std::size_t i = 0; i < length && at < size && offset + i < file.size(); ++i)
        file[offset + i] = static_cast<char>(data[at++]);
    }
  }
  const std::size_t cut = data[1] | std::size_t{data[2]} << 8 | std::size_t{data[3]} << 16;
  if ((data[0] & 8) != 0) file.resize(std::min(cut, file.size()));

  const auto bytes = image_in_memory(testing::as_bytes(file));
  memory::memory_image memory;
  const std::optional<std::uint64_t> offset =
      (data[0] & 16) != 0 ? std::optional<std::uint64_t>(data[1]) : std::nullopt;
  if (!memory::read_memory(*bytes, offset, memory)) __builtin_trap();
  const std::span<const unsigned char> ram = memory.ram;
  if (ram.size() > 0x10000) __builtin_trap();

  const memory::memory_program at = memory::program_at(ram, data[2] | unsigned{data[3]} << 8);
  if (at.kind == memory::memory_program::found) check_and_list(at, ram);
  if (ram.size() >= memory::pointers_end) {
    const unsigned txttab = memory::basic_pointer(ram, memory::txttab_at);
    const memory::memory_program p = memory::program_at(ram, (txttab - 1) & 0xFFFF);
    if (p.kind == memory::memory_program::found) check_and_list(p, ram);
  }
  if (const auto stale = memory::stale_program(ram)) {
    if (stale->lines < 2) __builtin_trap();
    check_and_list(*stale, ram);
  }
  return 0;
}
