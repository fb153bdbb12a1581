#include "memory/memory_image.h"

#include <algorithm>
#include <array>

#include "image/image_format.h"
#include "memory/inflate.h"

namespace brenvik::memory {

namespace {

struct checkpoint {
  std::uint64_t size;
  std::size_t ram_at;
  std::size_t ram_size;
  memory_layout layout;
};
constexpr checkpoint checkpoints[] = {
    {34832, 0, 0x8000, memory_layout::checkpoint_v0},
    {14351, 14, 0x3000, memory_layout::checkpoint_v1},
    {34831, 0x80F, 0x8000, memory_layout::checkpoint_v2},
};

constexpr std::size_t most_memory = 0x10000;

// A machine image's RAM is a byte array of the serialization stream: the array's class
// ("[B"), its serial number, flags and no fields, the end of its description and no super
// class, then the length (big-endian) and the bytes.
constexpr unsigned char byte_array_class[] = {0x75, 0x72, 0x00, 0x02, 0x5B, 0x42};
constexpr std::size_t class_end_at = sizeof byte_array_class + 8 + 1 + 2;  // 78 70 here
constexpr std::size_t array_at = class_end_at + 2 + 4;
// The name, time and version strings besides the RAM take little room.
constexpr std::size_t most_inflated = most_memory + 0x10000;

// Reads the compressed machine image `file` into `into`.
bool read_machine_image(image_bytes& file, memory_image& into) {
  into.layout = memory_layout::compressed;
  std::vector<unsigned char> compressed(static_cast<std::size_t>(file.size()));
  if (!file.read(0, compressed)) return false;
  std::vector<unsigned char> stream;
  switch (inflate_stream(compressed, most_inflated, stream)) {
    case inflated::done:
      break;
    case inflated::not_built_in:
      into.unread = unread_image::not_built_in;
      return true;
    case inflated::too_long:
      into.unread = unread_image::no_memory;
      return true;
    case inflated::damaged:
      into.unread = unread_image::damaged;
      return true;
  }
  into.unread = unread_image::no_memory;
  const auto found = std::search(stream.begin(), stream.end(), std::begin(byte_array_class),
                                 std::end(byte_array_class));
  const auto at = static_cast<std::size_t>(found - stream.begin());
  if (found == stream.end() || stream.size() - at < array_at || stream[at + class_end_at] != 0x78 ||
      stream[at + class_end_at + 1] != 0x70) {
    return true;
  }
  const unsigned char* length_bytes = &stream[at + array_at - 4];
  const std::size_t length = std::size_t{length_bytes[0]} << 24 |
                             std::size_t{length_bytes[1]} << 16 |
                             std::size_t{length_bytes[2]} << 8 | length_bytes[3];
  if (length > most_memory || stream.size() - at - array_at < length) return true;
  into.layout = memory_layout::machine_image;
  into.unread = unread_image::none;
  const auto ram = stream.begin() + static_cast<std::ptrdiff_t>(at + array_at);
  into.ram.assign(ram, ram + static_cast<std::ptrdiff_t>(length));
  return true;
}

}  // namespace

bool read_memory(image_bytes& file, std::optional<std::uint64_t> plain_offset, memory_image& into) {
  into = {};
  std::uint64_t at = plain_offset.value_or(0);
  std::uint64_t size =
      file.size() > at ? std::min<std::uint64_t>(file.size() - at, most_memory) : 0;
  if (!plain_offset) {
    std::array<unsigned char, 2> start{};
    if (file.size() >= start.size() && !file.read(0, start)) return false;
    const auto* known = std::find_if(std::begin(checkpoints), std::end(checkpoints),
                                     [&](const checkpoint& c) { return c.size == file.size(); });
    if (known != std::end(checkpoints)) {
      into.layout = known->layout;
      at = known->ram_at;
      size = known->ram_size;
    } else if (file.size() >= start.size() && start[0] == 0x78 && (0x7800u + start[1]) % 31 == 0 &&
               file.size() <= most_inflated) {
      return read_machine_image(file, into);
    }
  }
  into.ram.resize(static_cast<std::size_t>(size));
  return into.ram.empty() || file.read(at, into.ram);
}

unsigned basic_pointer(std::span<const unsigned char> ram, unsigned at) {
  return image::word_at(ram.data() + at);
}

memory_program program_at(std::span<const unsigned char> ram, unsigned load_address) {
  memory_program p{.load_address = static_cast<uint16_t>(load_address)};
  if (load_address >= ram.size()) {
    p.kind = memory_program::outside;
    return p;
  }
  if (ram[load_address] != 0) {
    p.kind = memory_program::no_lead_byte;
    return p;
  }
  const image::chain_walk walk = image::follow_chain(ram, load_address + 1u, load_address + 1u);
  switch (walk.result) {
    case image::chain_walk::complete:
      p.length = walk.end - load_address;
      p.lines = walk.lines;
      break;
    case image::chain_walk::broken:
      p.kind = memory_program::broken_link;
      p.record = walk.record;
      p.link = walk.link;
      break;
    case image::chain_walk::cut:
      p.kind = memory_program::past_memory;
      break;
  }
  return p;
}

// Works from the top of memory down, so that each record's verdict rests on the one its
// link names, which lies above it: every address is looked at once.
std::optional<memory_program> stale_program(std::span<const unsigned char> ram) {
  const std::size_t size = ram.size();
  if (size < 4) return std::nullopt;
  // zeros[i]: the zero bytes below address i, to tell a record's text free of them at once.
  std::vector<unsigned> zeros(size + 1, 0);
  for (std::size_t i = 0; i < size; ++i)
    zeros[i + 1] = zeros[i] + (ram[i] == 0 ? 1u : 0u);
  std::vector<int> lines(size, -1);  // lines of the chain from a record there; -1: none
  std::vector<std::size_t> end(size, 0);
  for (std::size_t a = size - 2; a > 0; --a) {
    const unsigned link = image::word_at(ram.data() + a);
    if (link == image::end_link) {
      lines[a] = 0;
      end[a] = a + 2;
      continue;
    }
    if (!image::link_within_reach(link, static_cast<unsigned>(a)) || link > size - 2 ||
        lines[link] < 0 || ram[link - 1] != 0 || zeros[link - 1] != zeros[a + 4]) {
      continue;
    }
    if (lines[link] > 0 &&
        image::word_at(ram.data() + a + 2) >= image::word_at(ram.data() + link + 2)) {
      continue;
    }
    lines[a] = lines[link] + 1;
    end[a] = end[link];
  }
  std::optional<memory_program> best;
  for (std::size_t a = 1; a + 1 < size; ++a) {
    if (ram[a - 1] != 0 || lines[a] < 2 || (best && lines[a] <= best->lines)) continue;
    best = memory_program{.load_address = static_cast<uint16_t>(a - 1),
                          .length = end[a] - (a - 1),
                          .lines = lines[a]};
  }
  return best;
}

}  // namespace brenvik::memory
