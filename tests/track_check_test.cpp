#include "disk/track_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "disk_images.h"

namespace brenvik::disk {
namespace {

using testing::as_bytes;
using testing::bytes_t;
using testing::fake_disk;

// A 5.25" disk whose every track but 0 holds its header and one sector of a page.
fake_disk sound_disk() {
  fake_disk disk;
  disk.raw_track(0, {0x22, 0x00, 0x01, 0xEA});
  for (int t = 1; t < 40; ++t)
    disk.format(t, {bytes_t(256, static_cast<unsigned char>(t))}, {0xFF});
  return disk;
}

// Flips bit `bit` of the frames of track `number` in a bitstream made with bitstream(0): frames
// from bit 100 of the track on, back to back.
void flip(std::string& image, int number, std::size_t frame, std::size_t bit) {
  const std::size_t at =
      (256 + 0xD00 * static_cast<std::size_t>(number)) * 8 + 100 + frame * 11 + bit;
  image[at / 8] = static_cast<char>(image[at / 8] ^ (0x80 >> (at % 8)));
}

TEST(track_check, finds_what_keeps_sectors_from_being_read) {
  struct row {  // NOLINT(clang-analyzer-optin.performance.Padding): a table row, read once
    const char* what;
    std::function<void(fake_disk&)> damage;
    std::function<void(std::string&)> damage_bits;  // bitstream only, when given
    std::vector<finding> expected;
    track_framing framing = track_framing::os65d;
  };
  // Track 9's header, then sectors of a page: `sound` with their end marks, the last without.
  const auto sectors_then_no_end = [](int sound) {
    bytes_t t = {0x43, 0x57, 0x09, 0x58};
    for (int s = 1; s <= sound + 1; ++s) {
      for (const int b : {0xFF, 0x76, s, 1})
        t.push_back(static_cast<unsigned char>(b));
      t.resize(t.size() + 256, 0x11);
      for (const int b : {0x47, s <= sound ? 0x53 : 0x00})
        t.push_back(static_cast<unsigned char>(b));
    }
    return t;
  };
  const row rows[] = {
      {"a sound disk", [](fake_disk&) {}, nullptr, {}},
      {"a track unformatted",
       [](fake_disk& d) { d.raw_track(7, {}); },
       nullptr,
       {{.kind = finding::unformatted, .track = 7}}},
      {"a track without a header",
       [](fake_disk& d) {
         d.raw_track(7, {0x43, 0x57, 0x07, 0x00});
       },
       nullptr,
       {{.kind = finding::no_track_header, .track = 7}}},
      {"a track with another's number",
       [](fake_disk& d) {
         d.raw_track(7, {0xFF, 0x43, 0x57, 0x17, 0x58});
       },
       nullptr,
       {{.kind = finding::wrong_track_number, .track = 7, .count = 0x17}}},
      {"a sector without its end mark",
       [&](fake_disk& d) { d.raw_track(9, sectors_then_no_end(0)); },
       nullptr,
       {{.kind = finding::no_end_mark, .track = 9, .sector = 1}}},
      {"a second sector without its end mark",
       [&](fake_disk& d) { d.raw_track(9, sectors_then_no_end(1)); },
       nullptr,
       {{.kind = finding::no_end_mark, .track = 9, .sector = 2}}},
      {"broken frames in the boot track, a header, a sector and a stray byte",
       [](fake_disk&) {},
       [](std::string& image) {
         flip(image, 0, 2, 9);    // parity
         flip(image, 5, 1, 9);    // the header (after the stray byte): parity
         flip(image, 5, 2, 10);   // stop bit
         flip(image, 5, 0, 9);    // the stray byte
         flip(image, 6, 100, 4);  // sector 1
         flip(image, 6, 101, 9);
       },
       {{.kind = finding::frame_errors, .track = 0, .sector = -1, .count = 1},
        {.kind = finding::frame_errors, .track = 5, .sector = 0, .count = 2},
        {.kind = finding::frame_errors, .track = 5, .sector = -1, .count = 1},
        {.kind = finding::frame_errors, .track = 6, .sector = 1, .count = 2}}},
      {"HEXDOS marks",
       [](fake_disk& d) {
         for (int t = 1; t < 40; ++t)
           d.raw_track(t, {0x00, 0x00, 0x57, static_cast<unsigned char>(t), 0x43});
         d.raw_track(3, {0x57, 0x04, 0x01});
         d.raw_track(4, {0x43, 0x57, 0x04, 0x58});
         d.raw_track(5, bytes_t(40, 0x01));
       },
       nullptr,
       {{.kind = finding::wrong_track_number, .track = 3, .count = 4},
        {.kind = finding::no_track_header, .track = 5}},
       track_framing::hexdos},
  };
  for (const row& r : rows) {
    fake_disk disk = sound_disk();
    r.damage(disk);
    for (const bool bitstream : {false, true}) {
      if (r.damage_bits && !bitstream) continue;
      std::string image = bitstream ? disk.bitstream(0) : disk.flat();
      if (r.damage_bits) r.damage_bits(image);
      const auto bytes = image_in_memory(as_bytes(image));
      geometry shape;
      container_problem problem;
      ASSERT_TRUE(identify(*bytes, shape, problem)) << r.what;
      const std::vector<finding> found = check_tracks(*bytes, shape, r.framing);
      EXPECT_EQ(found.size(), r.expected.size()) << r.what << (bitstream ? " bitstream" : " flat");
      for (std::size_t i = 0; i < std::min(found.size(), r.expected.size()); ++i) {
        EXPECT_EQ(found[i], r.expected[i])
            << r.what << ", finding " << i << ": kind " << found[i].kind << " track "
            << found[i].track << " sector " << found[i].sector << " count " << found[i].count;
      }
    }
  }
}

}  // namespace
}  // namespace brenvik::disk
