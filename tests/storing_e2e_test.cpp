// Storing listings into disks that are damaged or odd, through the built binary: only the
// tracks a program needs are written, the DOS's tracks and the directory are no file's,
// a sector without its end mark is none, directory slots lie where reading finds them,
// new entries go where the disk's programs lie, and an overlong image file is refused
// before it is read. Expected disks are built here, never read back with brenvik's reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "disk_images.h"
#include "images.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const std::string hello_listing = "10 PRINT \"HI\"\r\n";
const std::string hello_image = image_of(0x327E, {{10, "\x97 \"HI\""}});  // row 3
const std::string chose_row_3 =
    "BASIC version not specified, so I chose OSI OS65D v3.1 BASIC 5.25\" disk\r\n";

// A track that looks formatted but whose sector has no end mark 47 53.
bytes_t sector_without_end_mark(int track) {
  bytes_t bytes(7 + 2048, 0x20);
  const unsigned char marks[] = {0x43, 0x57, bcd(track), 0x58, 0x76, 0x01, 0x08};
  std::copy(std::begin(marks), std::end(marks), bytes.begin());
  return bytes;
}

// LONG's program fits its first track; its second has no header and its third no sector
// end mark. ENDS has only a sector without its end mark. OS65D3 and DIRECT cover the boot
// tracks and the directory.
fake_disk damaged_disk() {
  fake_disk disk;
  disk.directory({{"OS65D3", 0x00, bcd(12)},
                  {"DIRECT", bcd(12), bcd(12)},
                  {"LONG", bcd(14), bcd(16)},
                  {"ENDS", bcd(18), bcd(18)}});
  disk.file(14, basic_file(0x327E, image_of(0x327E, {{1, "OLD"}}), 2048));
  disk.raw_track(15, bytes_t(300, 0x55));
  disk.raw_track(16, sector_without_end_mark(16));
  disk.raw_track(18, sector_without_end_mark(18));
  return disk;
}

class storing_e2e : public ::testing::Test {
 protected:
  run_result run(const std::vector<std::string>& args, const run_setup& setup = {}) {
    return run_brenvik(dir, args, setup);
  }
  scratch_dir dir;
};

TEST_F(storing_e2e, only_the_tracks_a_program_needs_are_written) {
  const fake_disk disk = damaged_disk();
  write_file(dir / "hello.bas", hello_listing);
  fake_disk expected = disk;
  expected.file(14, basic_file(0x327E, hello_image, 2048));
  for (const bool bitstream : {false, true}) {
    const std::string name = bitstream ? "damaged.os5" : "damaged.65d";
    const std::string out = "new" + name.substr(7);
    write_file(dir / name, bitstream ? disk.bitstream(1) : disk.flat());
    const run_result stored = run({"-t", "-disk", name, "-o", out, "LONG=hello.bas"});
    EXPECT_EQ(stored.status, 0) << name;
    EXPECT_EQ(stored.err, chose_row_3) << name;
    EXPECT_EQ(read_file(dir / out), bitstream ? expected.bitstream(1) : expected.flat()) << name;
  }
}

TEST_F(storing_e2e, damaged_and_system_tracks_are_refused_by_name) {
  write_file(dir / "damaged.65d", damaged_disk().flat());
  std::string long_listing;
  for (int line = 1; line <= 60; ++line)
    long_listing += std::to_string(line) + " PRINT \"A LINE OF TEXT TO MAKE A LONG PROGRAM\"\r\n";
  write_file(dir / "long.bas", long_listing);
  write_file(dir / "hello.bas", hello_listing);
  const std::string not_written =
      "\r\nbrenvik: new.65d not written: 1 input could not be stored\r\n";
  struct row {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const row rows[] = {
      // The program's second track is needed now, and it has no header.
      {{"-t", "-w3", "-disk", "damaged.65d", "-o", "new.65d", "LONG=long.bas"},
       1,
       "",
       "damaged.65d: entry LONG: track 15 has no track header\r\n" + not_written},
      {{"-t", "-w3", "-disk", "damaged.65d", "-o", "new.65d", "ENDS=hello.bas"},
       1,
       "",
       "damaged.65d: entry ENDS: track 18 has no sector 1\r\n" + not_written},
      {{"-t", "-w3", "-disk", "damaged.65d", "-o", "new.65d", "OS65D3=hello.bas"},
       1,
       "",
       "damaged.65d: entry OS65D3 covers track 0, which holds the DOS's boot code: no program "
       "is stored there\r\n" +
           not_written},
      {{"-t", "-w3", "-disk", "damaged.65d", "-o", "new.65d", "DIRECT=hello.bas"},
       1,
       "",
       "damaged.65d: entry DIRECT covers track 12, which holds the directory: no program is "
       "stored there\r\n" +
           not_written},
      {{"-disk", "damaged.65d"},
       0,
       "OS65D3  0-12   other\r\n"
       "DIRECT  12-12  other\r\n"
       "LONG    14-16  BASIC $327E 11 bytes\r\n"
       "ENDS    18-18  unreadable: track 18 has no sector 1\r\n"
       "free: 23 tracks, longest run 21 from track 19\r\n",
       ""},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, r.status) << r.args.back();
    EXPECT_EQ(result.out, r.out) << r.args.back();
    EXPECT_EQ(result.err, r.err) << r.args.back();
    EXPECT_FALSE(std::filesystem::exists(dir / "new.65d")) << r.args.back();
  }
}

// Sector 1 of this directory holds two pages: slot 32 is still the first slot of sector 2,
// for the new entry that goes there as for the directory listing.
TEST_F(storing_e2e, directory_slots_lie_where_reading_finds_them) {
  const auto directory_with = [](bool new_entry) {
    fake_disk disk;
    bytes_t first(512, '#');
    for (std::size_t slot = 0; slot < 32; ++slot) {
      const char name[] = {
          'E', static_cast<char>('0' + slot / 10), static_cast<char>('0' + slot % 10), ' ', ' ',
          ' '};
      std::copy(std::begin(name), std::end(name),
                first.begin() + static_cast<std::ptrdiff_t>(slot * 8));
      first[slot * 8 + 6] = bcd(20);
      first[slot * 8 + 7] = bcd(20);
    }
    bytes_t second(256, '#');
    if (new_entry) {
      const std::string entry = "HELLO \x21\x21";
      std::copy(entry.begin(), entry.end(), second.begin());
    }
    disk.format(12, {first, second});
    disk.file(20, basic_file(0x327E, image_of(0x327E, {{1, "E"}}), 2048));
    disk.format(21, {bytes_t(2048, 0)});
    if (new_entry) disk.file(21, basic_file(0x327E, hello_image, 2048));
    return disk;
  };
  write_file(dir / "full.65d", directory_with(false).flat());
  write_file(dir / "hello.bas", hello_listing);
  const run_result stored = run({"-t", "-disk", "full.65d", "-o", "new.65d", "hello.bas"});
  EXPECT_EQ(stored.status, 0) << stored.err;
  EXPECT_EQ(read_file(dir / "new.65d"), directory_with(true).flat());
  const run_result listed = run({"-disk", "new.65d", "HELLO"});
  EXPECT_EQ(listed.out, "10 PRINT \"HI\"\r\n");
}

// An 8" disk: version 4's address $317E lies below a file's memory, so a new entry goes
// where the disk's programs lie, or at $327E.
TEST_F(storing_e2e, new_entries_go_where_the_disks_programs_lie) {
  const auto eight_inch = [](bool with_program) {
    fake_disk disk(true);
    std::vector<fake_entry> entries = {{"OS65D3", 0x00, bcd(8)}};
    if (with_program) entries.push_back({"PROG", bcd(10), bcd(10)});
    disk.directory(entries);
    if (with_program) disk.file(10, basic_file(0x327E, image_of(0x327E, {{1, "P"}}), 3072));
    disk.format(11, {bytes_t(3072, 0)});
    return disk;
  };
  write_file(dir / "programs.65d", eight_inch(true).flat());
  write_file(dir / "blank.65d", eight_inch(false).flat());
  write_file(dir / "hello.bas", hello_listing);
  struct row {
    std::vector<std::string> args;
    std::string err;
  };
  const row rows[] = {
      {{"-disk", "programs.65d"}, chose_row_3},
      {{"-w4", "-disk", "programs.65d"},
       "programs.65d: NEW is stored at $327E, where the disk's BASIC programs lie\r\n"},
      {{"-w4", "-disk", "blank.65d"},
       "blank.65d: NEW is stored at $327E: version 4's address $317E lies below a file's "
       "memory\r\n"},
      {{"-disk", "blank.65d"}, chose_row_3},
  };
  for (const row& r : rows) {
    std::vector<std::string> args = r.args;
    args.insert(args.begin(), "-t");
    args.insert(args.end(), {"-f", "-o", "new.65d", "NEW=hello.bas"});
    const run_result stored = run(args);
    EXPECT_EQ(stored.status, 0) << r.args.back();
    EXPECT_EQ(stored.err, r.err) << r.args.back();
    EXPECT_EQ(run({"-disk", "new.65d", "NEW"}).out, "10 PRINT \"HI\"\r\n") << r.args.back();
    const std::string directory = run({"-disk", "new.65d"}).out;
    EXPECT_NE(directory.find("NEW     11-11  BASIC $327E 14 bytes\r\n"), std::string::npos)
        << r.args.back() << directory;
  }
}

TEST_F(storing_e2e, an_overlong_bitstream_image_is_refused_before_it_is_read) {
  write_file(dir / "long.os5", damaged_disk().bitstream());
  std::filesystem::resize_file(dir / "long.os5", std::uintmax_t{200} << 20);
  write_file(dir / "hello.bas", hello_listing);
  const std::string refused =
      "\r\nbrenvik: long.os5: the bitstream image runs on past its last track: 209715200 bytes, "
      "a disk of its type has at most 136703\r\n";
  for (const auto& args :
       {std::vector<std::string>{"-disk", "long.os5"},
        std::vector<std::string>{"-t", "-disk", "long.os5", "-o", "new.os5", "LONG=hello.bas"}}) {
    const run_result result = run(args);
    EXPECT_EQ(result.status, 1) << args[0];
    EXPECT_EQ(result.err, refused) << args[0];
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "new.os5"));
}

}  // namespace
}  // namespace brenvik
