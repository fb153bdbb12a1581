#include "disk/container.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
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

// The data byte of a frame whose data bits arrive in a byte most significant bit first.
constexpr std::array<unsigned char, 256> reversed = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned r = 0;
    for (unsigned i = 0; i < 8; ++i)
      r |= ((b >> i) & 1u) << (7 - i);
    table[b] = static_cast<unsigned char>(r);
  }
  return table;
}();

// 1 for a byte with an odd number of one bits: its even parity bit.
constexpr std::array<unsigned char, 256> parity = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned b = 0; b < 256; ++b)
    table[b] = static_cast<unsigned char>(std::popcount(b) & 1);
  return table;
}();

constexpr unsigned frame_bits = 11;  // start, 8 data, parity, stop

// The 64 bits from bit `at` on, the first in the most significant place; `bits` must hold
// 9 bytes from at / 8 on.
std::uint64_t bits_at(const unsigned char* bits, std::size_t at) {
  std::uint64_t word = 0;
  std::memcpy(&word, bits + at / 8, sizeof word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  const unsigned shift = at % 8;
  const std::uint64_t next = bits[at / 8 + 8];
  return shift == 0 ? word : word << shift | next >> (8 - shift);
}

// Decodes the frames of a bitstream track: the line idles at 1 between frames.
void decode_frames(std::span<const unsigned char> bits, track& into) {
  std::vector<unsigned char> padded(bits.size() + 16, 0xFF);
  std::memcpy(padded.data(), bits.data(), bits.size());
  const std::size_t total = bits.size() * 8;
  into.bytes.reserve(total / frame_bits);
  into.frame_bits.reserve(total / frame_bits);
  std::size_t at = 0;
  while (at + frame_bits <= total) {
    std::uint64_t word = bits_at(padded.data(), at);
    const auto idle = static_cast<unsigned>(std::countl_one(word));
    if (idle + frame_bits > 64) {
      at += idle;  // the line idles on past this word
      continue;
    }
    at += idle;
    if (at + frame_bits > total) break;
    const auto frame = static_cast<unsigned>((word << idle) >> (64 - frame_bits));
    const unsigned char value = reversed[(frame >> 2) & 0xFF];
    if ((parity[value] ^ ((frame >> 1) & 1)) != 0 || (frame & 1) == 0) {
      into.frame_errors.push_back(static_cast<std::uint32_t>(into.bytes.size()));
    }
    into.bytes.push_back(value);
    into.frame_bits.push_back(static_cast<std::uint32_t>(at));
    at += frame_bits;
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
  std::vector<unsigned char> raw(disk.track_size);
  const std::uint64_t offset = disk.first_track + disk.track_size * static_cast<unsigned>(number);
  if (number < 0 || number >= disk.tracks || !image.read(offset, raw)) return result;
  result.read = true;
  if (disk.kind == form::flat) {
    result.bytes = std::move(raw);
  } else {
    result.line_bits = raw.size() * 8;
    decode_frames(raw, result);
  }
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
