#include "disk/form_conversion.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

#include "disk/os65d.h"

namespace brenvik::disk {

namespace {

constexpr std::size_t bitstream_header_size = 19;  // signature, version, type, track 0's block
constexpr std::size_t block = 256;
constexpr unsigned frame_bits = 11;
constexpr std::size_t most_stray_bytes = 32;  // as many as the reader skips before a mark
constexpr std::size_t track_header_size = 4;  // 43 57 <track> 58
constexpr std::size_t sector_framing = 5;     // 76 <number> <pages> before the data, 47 53 after

// The frame of a byte as it goes on the line, first bit most significant: a 0 start bit, the
// data from bit 0 on, even parity, a 1 stop bit.
constexpr std::array<std::uint16_t, 256> frame_pattern = [] {
  std::array<std::uint16_t, 256> table{};
  for (unsigned value = 0; value < 256; ++value) {
    unsigned frame = 0;
    for (unsigned i = 0; i < 8; ++i)
      frame = frame << 1 | ((value >> i) & 1u);
    frame = frame << 1 | static_cast<unsigned>(std::popcount(value) & 1);
    table[value] = static_cast<std::uint16_t>(frame << 1 | 1u);
  }
  return table;
}();

// Where the frames go on a bitstream track (measured on the real disks): the first bit, and
// the idle bits after the track header and after odd and even sectors.
struct line_layout {
  std::size_t first_bit, after_header, after_odd_sector, after_even_sector;
};
constexpr line_layout layout_5{first_frame_bit_5, 248, 250, 248};
constexpr line_layout layout_8{first_frame_bit_8, 498, 500, 498};

// Writes `values` as frames back to back from bit `at` of `bits`, where the line idles (1s)
// up to the end of the last frame and on after it. The bits go out 32 at a time.
void put_frames(unsigned char* bits, std::size_t at, std::span<const unsigned char> values) {
  unsigned char* out = bits + at / 8;
  unsigned count = at % 8;                                // bits pending in `pending`, the lowest
  std::uint64_t pending = unsigned{*out} >> (8 - count);  // what stands before `at` in its byte
  for (const unsigned char value : values) {
    pending = pending << frame_bits | frame_pattern[value];
    count += frame_bits;
    if (count >= 32) {
      count -= 32;
      auto word = static_cast<std::uint32_t>(pending >> count);
      if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap32(word);
      std::memcpy(out, &word, sizeof word);
      out += sizeof word;
    }
  }
  for (; count >= 8; ++out) {
    count -= 8;
    *out = static_cast<unsigned char>(pending >> count);
  }
  if (count > 0) *out = static_cast<unsigned char>(pending << (8 - count) | 0xFFu >> count);
}

// The length of `bytes` up to its last non-zero byte.
std::size_t used_length(std::span<const unsigned char> bytes) {
  const auto last = std::find_if(bytes.rbegin(), bytes.rend(), [](unsigned char b) { return b; });
  return static_cast<std::size_t>(bytes.rend() - last);
}

// A run of frames back to back, and the idle bits after it.
struct run {
  std::span<const unsigned char> bytes;
  std::size_t idle_after = 0;
};

// The runs of frames of flat track `number` (its `bytes`, its `sectors` as the reader finds
// them): see the header.
std::vector<run> track_runs(std::span<const unsigned char> bytes, int number,
                            const std::vector<sector>& sectors, const line_layout& layout) {
  const unsigned char header[] = {0x43, 0x57, to_bcd(number), 0x58};
  const auto found =
      number == 0 ? bytes.end()
                  : std::search(bytes.begin(), bytes.end(), std::begin(header), std::end(header));
  if (found == bytes.end()) {
    std::size_t length = used_length(bytes);
    if (number == 0 && bytes.size() >= 3) {
      length = std::max(length, std::min(bytes.size(), 3 + std::size_t{bytes[2]} * block));
    }
    return {{bytes.first(length)}};
  }
  const auto at = static_cast<std::size_t>(found - bytes.begin());
  std::vector<run> runs{{bytes.subspan(at, track_header_size), layout.after_header}};
  std::size_t rest = at + track_header_size;
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    const sector& s = sectors[i];
    const std::size_t idle = i % 2 == 0 ? layout.after_odd_sector : layout.after_even_sector;
    runs.push_back({bytes.subspan(s.data - 3, s.size() + sector_framing), idle});
    rest = s.data + s.size() + 2;
  }
  const std::span<const unsigned char> tail = bytes.subspan(rest);
  if (const std::size_t length = used_length(tail); length > most_stray_bytes) {
    runs.push_back({tail.first(length)});
  }
  return runs;
}

// Writes `runs` onto the idle track `bits` from the layout's first bit; returns how many of
// their bytes did not fit, up to the last non-zero one (zeros left out come back as zeros).
std::size_t put_runs(std::span<unsigned char> bits, const std::vector<run>& runs,
                     std::size_t first_bit) {
  const std::size_t line_bits = bits.size() * 8;
  std::size_t at = first_bit;
  std::size_t left_out = 0;
  for (const run& r : runs) {
    const std::size_t room = at < line_bits ? (line_bits - at) / frame_bits : 0;
    const std::size_t fit = std::min(room, r.bytes.size());
    put_frames(bits.data(), at, r.bytes.first(fit));
    left_out += used_length(r.bytes.subspan(fit));
    at += r.bytes.size() * frame_bits + r.idle_after;
  }
  return left_out;
}

conversion_problem to_bitstream(image_bytes& image, const geometry& disk,
                                std::vector<unsigned char>& file, std::vector<cut_track>& cut) {
  const std::size_t track_size = disk.eight_inch ? 0x1500 : 0xD00;
  const line_layout& layout = disk.eight_inch ? layout_8 : layout_5;
  file.assign(block + track_size * static_cast<std::size_t>(disk.tracks), 0xFF);
  std::memcpy(file.data(), bitstream_signature.data(), bitstream_signature.size());
  file[bitstream_signature.size()] = 1;                            // version
  file[bitstream_signature.size() + 1] = disk.eight_inch ? 1 : 0;  // type
  file[bitstream_signature.size() + 2] = 1;                        // track 0's block
  static_assert(bitstream_header_size == bitstream_signature.size() + 3);
  os65d_disk tracks(image, disk);
  std::vector<sector> sectors;
  for (int number = 0; number < disk.tracks; ++number) {
    const track& flat = tracks.decoded_track(number);
    if (!flat.read) return {.kind = conversion_problem::unreadable, .track = number};
    if (number > 0) tracks.sectors(number, sectors);
    const std::vector<run> runs = track_runs(flat.bytes, number, sectors, layout);
    const std::span<unsigned char> bits(file.data() + block + track_size * unsigned(number),
                                        track_size);
    if (const std::size_t left_out = put_runs(bits, runs, layout.first_bit); left_out > 0) {
      cut.push_back({number, left_out});
    }
  }
  return {};
}

conversion_problem to_flat(image_bytes& image, const geometry& disk,
                           std::vector<unsigned char>& file, std::vector<cut_track>& cut) {
  if (disk.tracks != 40 && disk.tracks != 77) return {.kind = conversion_problem::no_flat_form};
  const std::size_t track_size = disk.eight_inch ? 3840 : 2304;
  file.assign(track_size * static_cast<std::size_t>(disk.tracks), 0);
  for (int number = 0; number < disk.tracks; ++number) {
    const track frames = read_track(image, disk, number);
    if (!frames.read) return {.kind = conversion_problem::unreadable, .track = number};
    const std::size_t fit = std::min(track_size, frames.bytes.size());
    std::copy_n(frames.bytes.begin(), fit,
                file.begin() + static_cast<std::ptrdiff_t>(track_size * unsigned(number)));
    if (fit < frames.bytes.size()) cut.push_back({number, frames.bytes.size() - fit});
  }
  return {};
}

}  // namespace

conversion_problem convert_form(image_bytes& image, const geometry& disk, form to,
                                std::vector<unsigned char>& file, std::vector<cut_track>& cut) {
  cut.clear();
  file.clear();
  if (disk.kind == to) {
    // An identified image holds one disk's bytes at most: its size fits a size_t.
    file.resize(static_cast<std::size_t>(image.size()));
    if (!image.read(0, file)) return {.kind = conversion_problem::unreadable, .track = 0};
    return {};
  }
  return to == form::bitstream ? to_bitstream(image, disk, file, cut)
                               : to_flat(image, disk, file, cut);
}

std::vector<unsigned char> convert_form(const std::vector<unsigned char>& file,
                                        const geometry& shape, form to, geometry& made) {
  const auto image = image_in_memory(file);
  std::vector<unsigned char> converted;
  std::vector<cut_track> cut;
  if (convert_form(*image, shape, to, converted, cut).kind != conversion_problem::none ||
      !cut.empty()) {
    return {};
  }
  const auto made_image = image_in_memory(converted);
  container_problem problem;
  if (!identify(*made_image, made, problem)) return {};
  return converted;
}

}  // namespace brenvik::disk
