// The disk workshop through the built binary: deleting, renaming and putting files into a
// copy of a disk, several changes in one run, entries named by patterns, raw files, a disk
// changed in place, entries that share tracks, and exact names before names in either case.
// Expected disks are built here, never read with brenvik's reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "disk_images.h"
#include "images.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const bytes_t hello_file = basic_file(0x327E, image_of(0x327E, {{10, "\x97 \"HI\""}}), 2048);
const bytes_t dice_file = basic_file(0x327E, image_of(0x327E, {{20, "\x80"}}), 2048);
const bytes_t data_file(2048, 0x41);
const std::string big(3000, 'B');
const std::string small = "0123456789";

// OS65D3 on the boot tracks and the directory, three files, and four formatted free tracks.
fake_disk sample(const std::vector<fake_entry>& entries) {
  fake_disk disk;
  disk.directory(entries);
  disk.file(14, hello_file);
  disk.file(15, dice_file);
  disk.file(16, data_file);
  for (int track = 17; track <= 20; ++track)
    disk.file(track, {});
  return disk;
}

const fake_entry os65d3{"OS65D3", 0x00, bcd(12)};
const fake_entry hello{"HELLO", bcd(14), bcd(14)};
const fake_entry dice{"DICE", bcd(15), bcd(15)};
const fake_entry data{"DATA", bcd(16), bcd(16)};
const fake_entry unused{"######", 0, 0};

class workshop_e2e : public ::testing::Test {
 protected:
  run_result run(const std::vector<std::string>& args, const run_setup& setup = {}) {
    return run_brenvik(dir, args, setup);
  }
  scratch_dir dir;
};

TEST_F(workshop_e2e, changes_are_made_in_order_or_nothing_is_written) {
  write_file(dir / "sample.65d", sample({os65d3, hello, dice, data}).flat());
  write_file(dir / "big.bin", big);
  write_file(dir / "small.bin", small);
  const std::string not_written =
      "\r\nbrenvik: new.65d not written: 1 change could not be made\r\n";

  fake_disk put_new = sample({os65d3, hello, dice, data, {"NEW", bcd(17), bcd(18)}});
  put_new.file(17, bytes_t(big.begin(), big.end()));
  fake_disk put_into = sample({os65d3, hello, dice, data});
  bytes_t into = data_file;
  std::copy(small.begin(), small.end(), into.begin());
  put_into.file(16, into);
  fake_disk moved = sample({os65d3, hello, dice, {"DATA", bcd(16), bcd(17)}});
  moved.file(16, bytes_t(big.begin(), big.end()));

  struct row {
    std::vector<std::string> args;
    std::string err;
    std::optional<fake_disk> expected;  // none: no disk written, status 1
  };
  const row rows[] = {
      {{"-delete", "DICE"}, "", sample({os65d3, hello, unused, data})},
      {{"-delete", "d*"}, "", sample({os65d3, hello, unused, unused})},
      {{"-delete", "HELLO", "DICE"}, "", sample({os65d3, unused, unused, data})},
      {{"-delete", "O*"},
       "sample.65d: entry OS65D3 holds the DOS itself: it is deleted only when named exactly, "
       "not by O*\r\n" +
           not_written,
       std::nullopt},
      {{"-delete", "OS65D3"}, "", sample({unused, hello, dice, data})},
      {{"-delete", "NOPE?"},
       "\r\nbrenvik: No file NOPE? on sample.65d\r\n" + not_written,
       std::nullopt},
      {{"-rename", "hello=HI"}, "", sample({os65d3, {"HI", bcd(14), bcd(14)}, dice, data})},
      {{"-rename", "HELLO=DICE"},
       "sample.65d: HELLO: entry DICE already has that name; choose another\r\n" + not_written,
       std::nullopt},
      {{"-rename", "HELLO=hi"},
       "sample.65d: hi cannot be a file name on this disk: 1 to 6 capitals, digits or signs "
       "such as * / -\r\n" +
           not_written,
       std::nullopt},
      {{"-put", "NEW=big.bin"}, "", put_new},
      {{"-put", "DATA=small.bin"}, "", put_into},
      {{"-put", "DATA=big.bin"},
       "sample.65d: entry DATA: the file is 3000 bytes, its tracks hold 2048; delete the entry "
       "first to put it on free tracks\r\n" +
           not_written,
       std::nullopt},
      {{"-delete", "DATA", "-put", "DATA=big.bin"}, "", moved},
      {{"-put", "DATA=big.bin", "-delete", "DATA"},
       "sample.65d: entry DATA: the file is 3000 bytes, its tracks hold 2048; delete the entry "
       "first to put it on free tracks\r\n" +
           not_written,
       std::nullopt},
  };
  for (const row& r : rows) {
    std::vector<std::string> args{"-disk", "sample.65d", "-o", "new.65d"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const run_result result = run(args);
    const std::string label = r.args[0] + " " + r.args[1];
    EXPECT_EQ(result.err, r.err) << label;
    EXPECT_EQ(result.status, r.expected ? 0 : 1) << label;
    if (r.expected) {
      EXPECT_EQ(read_file(dir / "new.65d"), r.expected->flat()) << label;
    } else {
      EXPECT_FALSE(std::filesystem::exists(dir / "new.65d")) << label;
    }
    std::filesystem::remove(dir / "new.65d");
  }
}

TEST_F(workshop_e2e, raw_files_and_a_disk_changed_in_place) {
  const fake_disk disk = sample({os65d3, hello, dice, data});
  write_file(dir / "sample.os5", disk.bitstream());
  run_result result = run({"-disk", "sample.os5", "-raw", "DATA"});
  EXPECT_EQ(result.out, std::string(data_file.begin(), data_file.end()));
  result = run({"-disk", "sample.os5", "-raw", "D*", "-o", "raw/"});
  EXPECT_EQ(result.status, 0);
  std::string dice_track(dice_file.begin(), dice_file.end());
  dice_track.resize(2048);  // the whole sector of its track
  EXPECT_EQ(read_file(dir / "raw" / "DICE.bin"), dice_track);
  EXPECT_EQ(read_file(dir / "raw" / "DATA.bin"), std::string(data_file.begin(), data_file.end()));

  result = run({"-disk", "sample.os5", "-o", "sample.os5", "-delete", "DICE"});
  EXPECT_EQ(result.err, "Output file sample.os5 exists! Use -f to force overwrite.\r\n");
  result = run({"-f", "-disk", "sample.os5", "-o", "sample.os5", "-delete", "DICE"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(dir / "sample.os5"), sample({os65d3, hello, unused, data}).bitstream());
}

TEST_F(workshop_e2e, listings_stored_from_standard_input_and_none_at_all) {
  write_file(dir / "sample.65d", sample({os65d3, hello, dice, data}).flat());
  const run_setup typed_in{.stdin_bytes = "10 PRINT \"HI\"\r\n"};
  run_result result =
      run({"-t", "-w3", "-disk", "sample.65d", "-o", "new.65d", "HELLO=-"}, typed_in);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(dir / "new.65d"), sample({os65d3, hello, dice, data}).flat());
  result = run({"-t", "-disk", "sample.65d", "-o", "none.65d"}, typed_in);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.err,
      "\r\nbrenvik: nothing to store into sample.65d: name the listings, NAME=listing (NAME=- "
      "reads standard input)\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "none.65d"));
}

// A damaged directory: ZZ claims track 22, which BIO's 21-23 hold too. Nothing is stored
// there, and the directory says who shares; an entry named exactly is found before one
// whose name differs only in case.
TEST_F(workshop_e2e, shared_tracks_and_exact_names) {
  fake_disk disk;
  disk.directory({{"ZZ", bcd(22), bcd(22)},
                  {"BIO", bcd(21), bcd(23)},
                  {"hello", bcd(14), bcd(14)},
                  {"HELLO", bcd(15), bcd(15)}});
  disk.file(21, bytes_t(std::size_t{3} * 2048, 0x55));
  disk.file(14, hello_file);
  disk.file(15, dice_file);
  write_file(dir / "ov.65d", disk.flat());
  write_file(dir / "s.bas", "10 END\r\n");
  run_result result = run({"-t", "-w3", "-disk", "ov.65d", "-o", "o.65d", "ZZ=s.bas"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "ov.65d: entry ZZ shares tracks 22-22 with entry BIO, and the directory cannot say "
            "which owns them: nothing is written there; delete or correct one of the two entries "
            "first\r\n\r\nbrenvik: o.65d not written: 1 input could not be stored\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "o.65d"));

  result = run({"-disk", "ov.65d"});
  EXPECT_EQ(result.out,
            "ZZ      22-22  other; shares tracks with BIO\r\n"
            "BIO     21-23  other; shares tracks with ZZ\r\n"
            "hello   14-14  BASIC $327E 14 bytes\r\n"
            "HELLO   15-15  BASIC $327E 9 bytes\r\n"
            "free: 33 tracks, longest run 16 from track 24\r\n");
  result = run({"-disk", "ov.65d", "-json"});
  EXPECT_NE(result.out.find("\"name\": \"ZZ\", \"first\": 22, \"last\": 22, \"kind\": \"other\", "
                            "\"overlaps\": [\"BIO\"]}"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(run({"-w3", "-disk", "ov.65d", "HELLO"}).out, "20 END\r\n");
  EXPECT_EQ(run({"-w3", "-disk", "ov.65d", "hello"}).out, "10 PRINT \"HI\"\r\n");
}

// A flat disk as a bitstream and back gives the same image; a blank disk lists empty, takes a
// program and checks sound.
TEST_F(workshop_e2e, forms_both_ways_and_a_blank_disk) {
  fake_disk disk = sample({os65d3, hello, dice, data});
  for (int track = 1; track < 40; ++track)
    if (track < 12 || track == 13 || track > 20) disk.file(track, {});
  write_file(dir / "d.65d", disk.flat());
  EXPECT_EQ(run({"-disk", "d.65d", "-form", "bitstream", "-o", "d.os5"}).status, 0);
  EXPECT_EQ(read_file(dir / "d.os5").substr(0, 19),
            std::string("OSIDISKBITSTREAM\x01\x00\x01", 19));
  EXPECT_EQ(run({"-disk", "d.os5", "-raw", "DATA"}).out,
            std::string(data_file.begin(), data_file.end()));
  EXPECT_EQ(run({"-disk", "d.os5", "-form", "flat", "-o", "back.65d"}).status, 0);
  EXPECT_EQ(read_file(dir / "back.65d"), disk.flat());

  run_result result = run({"-blank", "blank.65d"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(run({"-disk", "blank.65d"}).out, "free: 38 tracks, longest run 27 from track 13\r\n");
  write_file(dir / "hello.bas", "10 PRINT \"HI\"\r\n");
  result = run({"-t", "-w3", "-disk", "blank.65d", "-o", "blank.65d", "-f", "HELLO=hello.bas"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(
      run({"-disk", "blank.65d"}).out,
      "HELLO   1-1    BASIC $327E 14 bytes\r\nfree: 37 tracks, longest run 27 from track 13\r\n");
  EXPECT_EQ(run({"-disk", "blank.65d", "-check"}).out,
            "blank.65d: nothing wrong: 40 tracks, 1 entry\r\n");
  EXPECT_EQ(run({"-blank", "blank.65d"}).status, 1);  // no -f
}

// -check on a disk damaged on purpose: every finding one line, the summary, status 1; the
// same as JSON; a sound disk says so with status 0.
TEST_F(workshop_e2e, a_check_reports_each_thing_wrong) {
  fake_disk disk;
  disk.directory({os65d3,
                  {"ZZ", bcd(22), bcd(22)},
                  {"BIO", bcd(21), bcd(23)},
                  {"NOBCD", 0x1F, 0x1F},
                  {"DIRECT", bcd(12), bcd(13)},
                  {"CUT", bcd(14), bcd(14)}});
  disk.file(21, bytes_t(std::size_t{3} * 2048, 0x55));
  // CUT's chain: the line at $327F links to $3290 (17 bytes on), whose link leads back.
  bytes_t cut = basic_file(0x327E, image_of(0x327E, {{10, std::string(12, 'A')}, {20, "B"}}), 2048);
  cut[5 + 1 + 17] = 0x00;  // the second record's link: $3200, behind it
  cut[5 + 1 + 18] = 0x32;
  disk.file(14, cut);
  for (const int track : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 15, 16, 17, 18, 19, 20, 24, 25, 26})
    disk.file(track, {});
  for (int track = 27; track < 40; ++track)
    disk.file(track, {});
  disk.raw_track(30, {0x43, 0x57, bcd(31), 0x58});  // the header of another track
  bytes_t no_end(7 + 2048, 0);                      // a sector without 47 53 after its pages
  const unsigned char marks[] = {0x43, 0x57, bcd(31), 0x58, 0x76, 0x01, 0x08};
  std::copy(std::begin(marks), std::end(marks), no_end.begin());
  disk.raw_track(31, no_end);
  write_file(dir / "bad.65d", disk.flat());
  const run_result result = run({"-disk", "bad.65d", "-check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "bad.65d: track 13 is unformatted\r\n"
            "bad.65d: track 30 has the header of track 31\r\n"
            "bad.65d: track 31: sector 1 has no end mark 47 53\r\n"
            "bad.65d: entries ZZ and BIO both claim tracks 22-22\r\n"
            "bad.65d: entry NOBCD: track number 1F is not BCD\r\n"
            "bad.65d: entry DIRECT covers track 12, which holds the directory\r\n"
            "bad.65d: entry DIRECT: track 13 has no track header\r\n"
            "bad.65d: entry CUT: its BASIC program's chain of line links breaks: the line at "
            "$3290 links to $3200\r\n"
            "bad.65d: 8 problems on 40 tracks, 6 entries\r\n");
  const run_result json = run({"-disk", "bad.65d", "-check", "-json"});
  EXPECT_EQ(json.status, 1);
  EXPECT_NE(json.out.find("{\"kind\": \"overlap\", \"track\": 22, \"entry\": \"ZZ\", \"text\": "
                          "\"entries ZZ and BIO both claim tracks 22-22\"}"),
            std::string::npos)
      << json.out;

  fake_disk good = sample({os65d3, hello, dice, data});
  for (int track = 1; track < 40; ++track)
    if (track < 12 || track == 13 || track > 20) good.file(track, {});
  write_file(dir / "good.65d", good.flat());
  EXPECT_EQ(run({"-disk", "good.65d", "-check"}).out,
            "good.65d: nothing wrong: 40 tracks, 4 entries\r\n");
}

}  // namespace
}  // namespace brenvik
