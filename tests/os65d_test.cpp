#include "disk/os65d.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/disk_words.h"
#include "disk_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::as_bytes;
using testing::basic_file;
using testing::bcd;
using testing::bytes_t;
using testing::fake_disk;
using testing::image_of;

// A disk image held in memory, opened as the tool opens one.
struct opened {
  explicit opened(std::string image_bytes)
      : image(std::move(image_bytes)), bytes(image_in_memory(as_bytes(image))) {
    container_problem problem;
    EXPECT_TRUE(identify(*bytes, shape, problem));
    disk = std::make_unique<os65d_disk>(*bytes, shape);
  }
  std::string image;
  std::unique_ptr<image_bytes> bytes;
  geometry shape;
  std::unique_ptr<os65d_disk> disk;
};

TEST(os65d, sectors_are_found_past_stray_bytes) {
  fake_disk disk;
  disk.format(20, {bytes_t(256, 0x11), bytes_t(512, 0x22)}, {0xFF, 0x76, 0x02, 0x00});
  disk.raw_track(21, {0x43, 0x57, 0x21, 0x58});
  disk.raw_track(22, {0x43, 0x57, 0x23, 0x58, 0x76, 0x01, 0x01});
  for (const bool bitstream : {false, true}) {
    opened d(bitstream ? disk.bitstream() : disk.flat());
    std::vector<sector> found;
    EXPECT_EQ(d.disk->sectors(20, found).kind, problem::none);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].number, 1);
    EXPECT_EQ(found[0].pages, 1);
    EXPECT_EQ(found[1].pages, 2);
    EXPECT_EQ(d.disk->decoded_track(20).bytes[found[1].data], 0x22);

    const problem none = d.disk->sectors(21, found);
    EXPECT_EQ(none.kind, problem::no_sector);
    EXPECT_EQ(brenvik::describe(none), "track 21 has no sector 1");
    EXPECT_EQ(brenvik::describe(d.disk->sectors(22, found)), "track 22 has no track header");
    EXPECT_EQ(brenvik::describe(d.disk->sectors(23, found)), "track 23 has no track header");
  }
}

TEST(os65d, frame_errors_count_only_inside_header_and_sectors) {
  fake_disk disk;
  disk.format(9, {bytes_t(256, 0x33)}, {0x55, 0x55});
  std::string image = disk.bitstream(1);
  const std::size_t first = (256 + 9 * 0xD00) * 8 + 100;
  const auto flip_parity = [&](std::size_t frame) {
    const std::size_t bit = first + frame * 12 + 9;
    image[bit / 8] = static_cast<char>(image[bit / 8] ^ (0x80 >> (bit % 8)));
  };
  flip_parity(0);  // a stray byte
  opened stray(image);
  std::vector<sector> found;
  EXPECT_EQ(stray.disk->sectors(9, found).kind, problem::none);
  flip_parity(2 + 4 + 3 + 100);  // a data byte
  flip_parity(2 + 1);            // a header byte
  opened broken(image);
  EXPECT_EQ(brenvik::describe(broken.disk->sectors(9, found)),
            "track 9 has 2 frames with parity or stop bit errors");
}

TEST(os65d, directory_entries_and_their_tracks) {
  fake_disk disk(true);
  disk.directory({{"OS65D3", 0x00, 0x08},
                  {"TANK/S", bcd(9), bcd(11)},
                  {"#GONE", 1, 2},
                  {"BAD", 0x1A, 0x20},
                  {"FAR", bcd(70), bcd(77)},
                  {"BACK", bcd(30), bcd(29)}});
  opened d(disk.flat());
  std::vector<directory_entry> entries;
  ASSERT_EQ(d.disk->read_directory(entries).kind, problem::none);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[1].name_text(), "TANK/S");
  EXPECT_EQ(entries[2].name_text(), "BAD   ");
  EXPECT_EQ(entries[2].slot, 3);
  const char* expected[] = {"", "", "track number 1A is not BCD",
                            "track 77 lies beyond the disk's last track 76",
                            "first track 30 lies after last track 29"};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    int first = 0;
    int last = 0;
    EXPECT_EQ(brenvik::describe(entries[i].decode_tracks(77, first, last)), expected[i]) << i;
  }
  std::vector<directory_entry> all;
  d.disk->read_directory(all, true);
  EXPECT_EQ(all.size(), 64u);

  opened blank(fake_disk().flat());
  EXPECT_EQ(brenvik::describe(blank.disk->read_directory(entries)), "track 12 has no track header");
}

TEST(os65d, a_basic_program_is_a_chain_of_links_in_its_file) {
  const std::string image = image_of(0x327E, {{10, "\x97"}, {20, "\x80"}});
  const bytes_t at_327e = basic_file(0x327E, image, 2048);
  const bytes_t moved_up = basic_file(0x3A90, image_of(0x3A90, {{10, "\x97"}}), 2048, 0xEA);
  bytes_t no_lead = at_327e;
  no_lead[5] = 0x20;
  bytes_t link_back = at_327e;
  link_back[6] = 0x70;
  bytes_t machine_code = at_327e;
  machine_code[0] = 0x7E;  // start $327E: the lead byte would lie in the header
  struct row {
    const char* what;
    bytes_t file;
    bool whole;
    program_search result;
    basic_program found;
  };
  const row rows[] = {
      {"at $327E", at_327e, true, program_search::found, {0x327E, 5, image.size()}},
      {"moved up past machine code", moved_up, true, program_search::found, {0x3A90, 0x817, 9}},
      {"no lead byte", no_lead, true, program_search::none},
      {"a link backwards", link_back, true, program_search::none},
      {"machine code", machine_code, true, program_search::none},
      {"the chain runs on past what was read", bytes_t(at_327e.begin(), at_327e.begin() + 12),
       false, program_search::more},
      {"and past the file's end", bytes_t(at_327e.begin(), at_327e.begin() + 12), true,
       program_search::none},
      {"header only", bytes_t(at_327e.begin(), at_327e.begin() + 3), false, program_search::more},
  };
  for (const row& r : rows) {
    basic_program found;
    EXPECT_EQ(find_program(r.file, r.whole, found), r.result) << r.what;
    if (r.result == program_search::found) {
      EXPECT_EQ(found.load_address, r.found.load_address) << r.what;
      EXPECT_EQ(found.area, r.found.area) << r.what;
      EXPECT_EQ(found.length, r.found.length) << r.what;
    }
  }
}

TEST(os65d, what_entries_hold) {
  fake_disk disk;
  const std::string program = image_of(0x327E, {{10, std::string(200, 'A')}});
  disk.directory({{"OS65D3", 0, bcd(12)},
                  {"PROG", bcd(14), bcd(14)},
                  {"DATA", bcd(15), bcd(15)},
                  {"LOST", bcd(16), bcd(17)},
                  {"BIG", bcd(18), bcd(19)}});
  disk.file(14, basic_file(0x327E, program, 2048));
  disk.file(15, bytes_t(100, 'T'));
  bytes_t two_tracks = basic_file(0x327E, image_of(0x327E, {{1, "X"}}), 2048);
  two_tracks.resize(2048, 0xEE);
  disk.file(18, two_tracks);  // track 19 is missing, but the program ends on track 18
  opened d(disk.flat());
  problem why;
  const auto volume = open_volume(*d.bytes, d.shape, why);
  ASSERT_TRUE(volume);
  std::vector<entry> entries;
  ASSERT_EQ(volume->read_directory(entries).kind, problem::none);
  const char* expected[] = {"other", "BASIC $327E 208 bytes", "other",
                            "unreadable: track 16 has no track header", "BASIC $327E 9 bytes"};
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i)
    EXPECT_EQ(brenvik::describe_contents(*volume, entries[i]), expected[i]) << i;
}

}  // namespace
}  // namespace brenvik::disk
