#include "disk/container.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string_view>

namespace brenvik::disk {

namespace {

constexpr std::size_t bitstream_header = 19;  // signature, version, type, track 0's block

struct flat_size {
  bool eight_inch;
  int tracks;
  std::size_t track_size;
};
constexpr flat_size flat_sizes[] = {{false, 40, 2304}, {true, 77, 3840}};
static_assert(flat_sizes[0].tracks * 2304L == flat_size_5 &&
              flat_sizes[1].tracks * 3840L == flat_size_8);

struct bitstream_type {
  bool eight_inch;
  int tracks;
  std::size_t track_size;
};
constexpr bitstream_type bitstream_types[] = {
    {false, 40, 0xD00}, {true, 77, 0x1500}, {false, 80, 0xD00}};

// 1 for a byte with an odd number of one bits: its even parity bit.
constexpr std::array<unsigned char, 256> parity = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned b = 0; b < 256; ++b)
    table[b] = static_cast<unsigned char>(std::popcount(b) & 1);
  return table;
}();

constexpr unsigned frame_bits = 11;       // start, 8 data, parity, stop
constexpr std::size_t bits_padding = 16;  // idle bytes after a track, for 64-bit loads

// A frame's 10 bits after its start bit, as they arrive (first bit most significant): its data
// byte, and frame_broken when the parity or the stop bit is wrong. One lookup decodes a frame.
constexpr unsigned frame_broken = 0x100;
constexpr std::array<std::uint16_t, 1024> frame_values = [] {
  std::array<std::uint16_t, 1024> table{};
  for (unsigned bits = 0; bits < 1024; ++bits) {
    unsigned value = 0;
    for (unsigned i = 0; i < 8; ++i)
      value |= ((bits >> (9 - i)) & 1u) << i;
    const bool broken = ((bits >> 1) & 1u) != parity[value] || (bits & 1u) == 0;
    table[bits] = static_cast<std::uint16_t>(value | (broken ? frame_broken : 0));
  }
  return table;
}();

// The bits from bit `at` on, the first in the most significant place: at least 57 of them,
// 0s after. `bits` must hold 8 bytes from at / 8 on.
std::uint64_t bits_at(const unsigned char* bits, std::size_t at) {
  std::uint64_t word = 0;
  std::memcpy(&word, bits + at / 8, sizeof word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word << (at % 8);
}

// Decodes the frames of a bitstream track, `bits` followed by bits_padding idle bytes: the
// line idles at 1 between frames, and the first 0 is a start bit. Tracks hold long runs of
// frames back to back, so a 64-bit window that starts at a start bit and has 0s where the next
// four frames' start bits would be is decoded as five frames at once, a table lookup each;
// anything else (idle bits, a gap, the track's end) goes a frame or an idle run at a time.
void decode_frames(std::span<const unsigned char> bits, track& into) {
  const std::size_t total = bits.size() * 8;
  if (total < frame_bits) return;
  const std::size_t most = total / frame_bits;
  into.bytes.resize(most);
  into.frame_bits.resize(most);
  unsigned char* value_out = into.bytes.data();
  std::uint32_t* bit_out = into.frame_bits.data();
  std::size_t count = 0;
  unsigned broken = 0;  // the frame_broken bits of every frame decoded, or-ed
  // Frames must end by `total`: a start bit after `last_start` begins no frame.
  const std::size_t last_start = total - frame_bits;
  const auto decode = [&](std::uint64_t word, unsigned frame, std::size_t at) {
    const unsigned entry = frame_values[(word >> (53 - frame * frame_bits)) & 0x3FF];
    broken |= entry;
    value_out[count + frame] = static_cast<unsigned char>(entry);
    bit_out[count + frame] = static_cast<std::uint32_t>(at + std::size_t{frame} * frame_bits);
  };
  constexpr std::uint64_t start_bits =
      1ull << 63 | 1ull << 52 | 1ull << 41 | 1ull << 30 | 1ull << 19;
  std::size_t at = 0;
  while (at <= last_start) {
    const std::uint64_t word = bits_at(bits.data(), at);
    if ((word & start_bits) == 0 && at + std::size_t{4} * frame_bits <= last_start) {
      for (unsigned frame = 0; frame < 5; ++frame)
        decode(word, frame, at);
      count += 5;
      at += std::size_t{5} * frame_bits;
    } else if ((word >> 63) == 0) {
      decode(word, 0, at);
      ++count;
      at += frame_bits;
    } else {
      at += static_cast<unsigned>(std::countl_one(word));  // past the ones, no further
    }
  }
  into.bytes.resize(count);
  into.frame_bits.resize(count);
  if ((broken & frame_broken) == 0) return;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t start = bit_out[i];
    if ((frame_values[(bits_at(bits.data(), start) >> 53) & 0x3FF] & frame_broken) != 0)
      into.frame_errors.push_back(static_cast<std::uint32_t>(i));
  }
}

void set_bit(std::span<unsigned char> bits, std::size_t at, bool one) {
  const auto mask = static_cast<unsigned char>(0x80u >> (at % 8));
  bits[at / 8] = static_cast<unsigned char>(one ? bits[at / 8] | mask : bits[at / 8] & ~mask);
}

}  // namespace

int track::errors_between(std::size_t from, std::size_t to) const {
  const auto first = std::lower_bound(frame_errors.begin(), frame_errors.end(), from);
  return static_cast<int>(std::lower_bound(first, frame_errors.end(), to) - first);
}

std::uint64_t most_image_size() {
  std::uint64_t most = 0;
  for (const flat_size& size : flat_sizes)
    most = std::max<std::uint64_t>(most,
                                   size.track_size * (static_cast<unsigned>(size.tracks) + 1u) - 1);
  for (const bitstream_type& type : bitstream_types)
    most = std::max<std::uint64_t>(
        most,
        std::uint64_t{255} * 256 + type.track_size * (static_cast<unsigned>(type.tracks) + 1u) - 1);
  return most;
}

bool identify(image_bytes& image, geometry& found, container_problem& problem) {
  problem = {.kind = container_problem::wrong_size, .size = image.size()};
  std::array<unsigned char, bitstream_header> header{};
  const bool has_header = image.size() >= header.size() && image.read(0, header);
  if (has_header &&
      std::equal(bitstream_signature.begin(), bitstream_signature.end(), header.begin())) {
    problem.kind = container_problem::unknown_bitstream;
    problem.version = header[16];
    problem.type = header[17];
    if (header[16] != 1 || header[17] >= std::size(bitstream_types)) return false;
    const bitstream_type& type = bitstream_types[header[17]];
    found = {.kind = form::bitstream,
             .eight_inch = type.eight_inch,
             .tracks = type.tracks,
             .first_track = std::uint64_t{header[18]} * 256,
             .track_size = type.track_size};
    const std::uint64_t tracks_end =
        found.first_track + found.track_size * static_cast<unsigned>(found.tracks);
    problem.kind = image.size() < tracks_end ? container_problem::short_bitstream
                                             : container_problem::long_bitstream;
    problem.most = tracks_end + found.track_size - 1;
    return image.size() >= tracks_end && image.size() <= problem.most;
  }
  for (const flat_size& size : flat_sizes) {
    const std::uint64_t tracks_end = size.track_size * static_cast<unsigned>(size.tracks);
    if (image.size() >= tracks_end && image.size() < tracks_end + size.track_size) {
      found = {.kind = form::flat,
               .eight_inch = size.eight_inch,
               .tracks = size.tracks,
               .first_track = 0,
               .track_size = size.track_size};
      return true;
    }
  }
  return false;
}

track read_track(image_bytes& image, const geometry& disk, int number) {
  track result;
  const std::uint64_t offset = disk.first_track + disk.track_size * static_cast<unsigned>(number);
  if (number < 0 || number >= disk.tracks) return result;
  if (disk.kind == form::flat) {
    result.bytes.resize(disk.track_size);
    result.read = image.read(offset, result.bytes);
    if (!result.read) result.bytes.clear();
    return result;
  }
  // The track's bits, then idle line for the decoder's loads past its end.
  const auto raw = std::make_unique_for_overwrite<unsigned char[]>(disk.track_size + bits_padding);
  std::fill_n(raw.get() + disk.track_size, bits_padding, 0xFF);
  const std::span<unsigned char> bits(raw.get(), disk.track_size);
  if (!image.read(offset, bits)) return result;
  result.read = true;
  result.line_bits = bits.size() * 8;
  decode_frames(bits, result);
  return result;
}

void write_track_byte(std::span<unsigned char> file, const geometry& disk, int number,
                      const track& frames, std::size_t index, unsigned char value) {
  const std::uint64_t offset = disk.first_track + disk.track_size * static_cast<unsigned>(number);
  // The file is in memory, so every offset in it fits a size_t.
  const std::span<unsigned char> bits =
      file.subspan(static_cast<std::size_t>(offset), disk.track_size);
  if (disk.kind == form::flat) {
    bits[index] = value;
    return;
  }
  const std::size_t start = frames.frame_bits[index];
  for (unsigned i = 0; i < 8; ++i)
    set_bit(bits, start + 1 + i, ((unsigned{value} >> i) & 1u) != 0);
  set_bit(bits, start + 9, parity[value] != 0);
}

std::size_t room_after(const geometry& disk, const track& frames, std::size_t index) {
  if (index >= frames.bytes.size()) return 0;
  if (disk.kind == form::flat) return frames.bytes.size() - index - 1;
  if (index + 1 != frames.bytes.size()) return 0;
  // Every bit after the last frame is 1 up to the last frame's length before the end: the
  // decoder takes any 0 before that as a start bit.
  const std::size_t free_from = std::size_t{frames.frame_bits[index]} + frame_bits;
  const std::size_t idle_to = frames.line_bits - frame_bits;
  return free_from >= idle_to ? 0 : (idle_to - free_from) / frame_bits;
}

void extend_track(std::span<unsigned char> file, const geometry& disk, int number,
                  const track& frames, std::size_t index, std::span<const unsigned char> values) {
  const std::uint64_t offset = disk.first_track + disk.track_size * static_cast<unsigned>(number);
  // The file is in memory, so every offset in it fits a size_t.
  const std::span<unsigned char> bits =
      file.subspan(static_cast<std::size_t>(offset), disk.track_size);
  values = values.first(std::min(values.size(), room_after(disk, frames, index)));
  if (disk.kind == form::flat) {
    std::copy(values.begin(), values.end(), bits.begin() + static_cast<std::ptrdiff_t>(index + 1));
    return;
  }
  std::size_t start = std::size_t{frames.frame_bits[index]} + frame_bits;
  for (const unsigned char value : values) {
    set_bit(bits, start, false);
    for (unsigned i = 0; i < 8; ++i)
      set_bit(bits, start + 1 + i, ((unsigned{value} >> i) & 1u) != 0);
    set_bit(bits, start + 9, parity[value] != 0);
    set_bit(bits, start + 10, true);
    start += frame_bits;
  }
}

}  // namespace brenvik::disk
