#include "disk/hexdos.h"

#include <gtest/gtest.h>

#include <string>

#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::bytes_t;
using testing::fake_hexdos;
using testing::image_of;
using testing::opened_volume;

// The directory is a program: line numbers are first tracks, texts are names (keywords as
// token codes), `*` gives the first free track. Files hold memory from $0B01: the lead byte
// comes from the reader.
TEST(hexdos, the_directory_program_names_the_files) {
  const std::string hello = image_of(0x0B00, {{10, "\x97\"HI\""}});
  std::vector<testing::record> lines;
  for (unsigned line = 0; line < 10; ++line)
    lines.push_back({line, std::string(240, 'B')});  // 2,453 bytes: two tracks
  const std::string long_one = image_of(0x0B00, lines);
  for (const std::size_t pad : {std::size_t{0}, std::size_t{11}}) {
    fake_hexdos disk(pad);
    disk.directory({{2,
                     "\x97"
                     "ER"},
                    {3, "LONG"},
                    {5, "T\x8E"}},
                   6);
    disk.file(2, hello);
    EXPECT_EQ(disk.file(3, long_one), 4);
    disk.memory(5, {0x4C, 0x00, 0x0B});  // machine code
    for (const bool bitstream : {false, true}) {
      opened_volume v(bitstream ? disk.disk().bitstream(0) : disk.disk().flat());
      ASSERT_TRUE(v.disk) << pad << bitstream;
      EXPECT_EQ(v.directory(),
                "DIRECTORY 1-1 BASIC $0B00 33 bytes\n"
                "PRINTER 2-2 BASIC $0B00 13 bytes\n"
                "LONG 3-4 BASIC $0B00 2453 bytes\n"
                "TREM 5-5 other\n")
          << pad << bitstream;
      EXPECT_EQ(v.program("printer"), hello);
      EXPECT_EQ(v.program("LONG"), long_one);
      EXPECT_EQ(v.disk->basic_version(), 0);
    }
  }
}

TEST(hexdos, entries_that_cannot_be_read) {
  fake_hexdos disk;
  disk.directory({{2, "A"}, {6, "BACK"}, {4, "NOMARK"}, {7, "FAR"}}, 45);
  disk.disk().raw_track(4, bytes_t(2100, 0x57));
  opened_volume v(disk.disk().flat());
  ASSERT_TRUE(v.disk);
  EXPECT_EQ(v.directory(),
            "DIRECTORY 1-1 BASIC $0B00 43 bytes\n"
            "A 2-5 BASIC $0B00 3 bytes\n"
            "BACK 6-3 unreadable: first track 6 lies after last track 3\n"
            "NOMARK 4-6 unreadable: track 4 has no track header\n"
            "FAR 7-44 unreadable: track 44 lies beyond the disk's last track 39\n");

  // A broken frame inside a track's data.
  disk.file(2, image_of(0x0B00, {{1, "X"}}));
  std::string bits = disk.disk().bitstream(0);
  const std::size_t bit = (256 + std::size_t{2} * 0xD00) * 8 + 100 + std::size_t{11} * 40 + 9;
  bits[bit / 8] = static_cast<char>(bits[bit / 8] ^ (0x80 >> (bit % 8)));
  opened_volume broken(bits);
  ASSERT_TRUE(broken.disk);
  EXPECT_NE(broken.directory().find(
                "\nA 2-5 unreadable: track 2 has 1 frames with parity or stop bit errors\n"),
            std::string::npos);
}

}  // namespace
}  // namespace brenvik::disk
