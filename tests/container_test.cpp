#include "disk/container.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "disk_images.h"

namespace brenvik::disk {
namespace {

using testing::as_bytes;
using testing::bytes_t;
using testing::fake_disk;

track track_of(const std::string& image, int number) {
  const auto bytes = image_in_memory(as_bytes(image));
  geometry shape;
  container_problem problem;
  EXPECT_TRUE(identify(*bytes, shape, problem));
  return read_track(*bytes, shape, number);
}

TEST(container, bitstream_frames_with_idle_bits_between_them) {
  const bytes_t bytes = {0x43, 0x57, 0x05, 0x58, 0x00, 0xFF, 0x76, 0x01, 0x80};
  for (const int idle : {0, 1, 7, 64, 200}) {
    fake_disk disk;
    disk.raw_track(5, bytes);
    const track t = track_of(disk.bitstream(idle), 5);
    EXPECT_EQ(t.bytes, bytes) << idle;
    EXPECT_TRUE(t.frame_errors.empty()) << idle;
  }
}

// The decoder against a bit-by-bit reading of the line: runs of frames back to back, gaps of
// every width from 0 to 70 idle bits, frames up to the track's last bit, broken bits.
TEST(container, frames_decode_as_the_line_reads_bit_by_bit) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    std::string image = fake_disk().bitstream();
    const std::size_t track_bit = (256 + std::size_t{2} * 0xD00) * 8;
    const std::size_t track_end = track_bit + std::size_t{0xD00} * 8;
    for (std::size_t bit = track_bit + random() % 20; bit + 11 <= track_end;) {
      fake_disk::put_frame(image, bit, static_cast<unsigned char>(random()));
      const unsigned run = random() % 8;
      bit += 11 + (run < 5 ? 0 : random() % 71);
    }
    // Six frames back to back that end 0 to 9 bits before the track does.
    for (std::size_t k = 1; k <= 6; ++k)
      fake_disk::put_frame(image, track_end - 11 * k - static_cast<std::size_t>(round % 10),
                           static_cast<unsigned char>(k));
    for (int flip = 0; flip < round * 3; ++flip) {
      const std::size_t bit = track_bit + random() % (std::size_t{0xD00} * 8);
      image[bit / 8] = static_cast<char>(image[bit / 8] ^ (0x80 >> (bit % 8)));
    }
    const auto line = [&](std::size_t at) { return (image[at / 8] >> (7 - at % 8) & 1) != 0; };
    bytes_t values;
    std::vector<std::uint32_t> starts;
    std::vector<std::uint32_t> broken;
    for (std::size_t at = track_bit; at + 11 <= track_end; ++at) {
      if (line(at)) continue;
      unsigned value = 0;
      for (unsigned i = 0; i < 8; ++i)
        value |= (line(at + 1 + i) ? 1u : 0u) << i;
      if (line(at + 9) != ((std::popcount(value) & 1) != 0) || !line(at + 10))
        broken.push_back(static_cast<std::uint32_t>(values.size()));
      values.push_back(static_cast<unsigned char>(value));
      starts.push_back(static_cast<std::uint32_t>(at - track_bit));
      at += 10;
    }
    const track t = track_of(image, 2);
    EXPECT_EQ(t.bytes, values) << round;
    EXPECT_EQ(t.frame_bits, starts) << round;
    EXPECT_EQ(t.frame_errors, broken) << round;
    EXPECT_EQ(t.line_bits, std::size_t{0xD00} * 8) << round;
  }
}

TEST(container, broken_parity_and_stop_bits_are_marked) {
  fake_disk disk;
  disk.raw_track(3, {0x41, 0x42, 0x43, 0x44});
  std::string image = disk.bitstream(2);
  const std::size_t first = (256 + std::size_t{3} * 0xD00) * 8 + 100;  // the first frame
  const auto flip = [&](std::size_t bit) {
    image[bit / 8] = static_cast<char>(image[bit / 8] ^ (0x80 >> (bit % 8)));
  };
  flip(first + 13 + 9);                    // the second frame's parity bit
  flip(first + std::size_t{3} * 13 + 10);  // the fourth frame's stop bit
  const track t = track_of(image, 3);
  EXPECT_EQ(t.bytes, (bytes_t{0x41, 0x42, 0x43, 0x44}));
  EXPECT_EQ(t.frame_errors, (std::vector<std::uint32_t>{1, 3}));
  EXPECT_EQ(t.errors_between(0, 4), 2);
  EXPECT_EQ(t.errors_between(2, 3), 0);
}

TEST(container, the_form_comes_from_content_and_size) {
  struct row {  // NOLINT(clang-analyzer-optin.performance.Padding): a table row, read once
    const char* what;
    std::string image;
    bool known;
    form kind;
    bool eight_inch;
    int tracks;
    container_problem::kind_t problem;
  };
  const std::string five = fake_disk().flat();
  const std::string eight = fake_disk(true).flat();
  const std::string bits = fake_disk().bitstream();
  std::string type2 = bits;
  type2[17] = 2;
  type2.resize(256 + 80 * 0xD00, '\xFF');
  std::string version2 = bits;
  version2[16] = 2;
  std::string type3 = bits;
  type3[17] = 3;
  const row rows[] = {
      {"5.25 inch flat", five, true, form::flat, false, 40},
      {"with a few bytes more", five + "xyz", true, form::flat, false, 40},
      {"a track's bytes more", five + std::string(2304, 'x'), false},
      {"8 inch flat", eight, true, form::flat, true, 77},
      {"a short file", five.substr(0, 5000), false, form::flat, false, 0,
       container_problem::wrong_size},
      {"5.25 inch bitstream", bits, true, form::bitstream, false, 40},
      {"8 inch bitstream", fake_disk(true).bitstream(), true, form::bitstream, true, 77},
      {"80-track bitstream", type2, true, form::bitstream, false, 80},
      {"bitstream of an unknown version", version2, false, form::flat, false, 0,
       container_problem::unknown_bitstream},
      {"bitstream of an unknown type", type3, false, form::flat, false, 0,
       container_problem::unknown_bitstream},
      {"bitstream cut short", bits.substr(0, 40000), false, form::flat, false, 0,
       container_problem::short_bitstream},
      {"a bitstream header on a flat size", bits.substr(0, 19) + five.substr(19), false, form::flat,
       false, 0, container_problem::short_bitstream},
  };
  for (const row& r : rows) {
    const auto bytes = image_in_memory(as_bytes(r.image));
    geometry shape;
    container_problem problem;
    EXPECT_EQ(identify(*bytes, shape, problem), r.known) << r.what;
    if (r.known) {
      EXPECT_EQ(shape.kind, r.kind) << r.what;
      EXPECT_EQ(shape.eight_inch, r.eight_inch) << r.what;
      EXPECT_EQ(shape.tracks, r.tracks) << r.what;
    } else if (r.tracks == 0 && r.problem != container_problem::wrong_size) {
      EXPECT_EQ(problem.kind, r.problem) << r.what;
    }
  }
}

// A byte written back changes that byte and nothing else: in a bitstream only its frame's
// data and parity bits.
TEST(container, writing_a_byte_changes_nothing_else) {
  fake_disk disk;
  disk.raw_track(7, {0x10, 0x20, 0x30, 0x40});
  for (const bool bitstream : {false, true}) {
    const std::string image = bitstream ? disk.bitstream(5) : disk.flat();
    std::string written = image;
    const auto bytes = image_in_memory(as_bytes(image));
    geometry shape;
    container_problem problem;
    ASSERT_TRUE(identify(*bytes, shape, problem));
    const track before = read_track(*bytes, shape, 7);
    auto file = std::span(reinterpret_cast<unsigned char*>(written.data()), written.size());
    write_track_byte(file, shape, 7, before, 2, 0xC7);
    const auto after_bytes = image_in_memory(as_bytes(written));
    const track after = read_track(*after_bytes, shape, 7);
    EXPECT_EQ(bytes_t(after.bytes.begin(), after.bytes.begin() + 4),
              (bytes_t{0x10, 0x20, 0xC7, 0x40}))
        << bitstream;
    EXPECT_TRUE(after.frame_errors.empty()) << bitstream;
    std::size_t changed_bits = 0;
    for (std::size_t i = 0; i < image.size(); ++i)
      changed_bits += static_cast<std::size_t>(
          std::popcount(static_cast<unsigned>(static_cast<unsigned char>(image[i] ^ written[i]))));
    EXPECT_LE(changed_bits, bitstream ? 9u : 8u) << bitstream;
    if (bitstream) {
      EXPECT_EQ(after.frame_bits, before.frame_bits);
    }
  }
}

}  // namespace
}  // namespace brenvik::disk
