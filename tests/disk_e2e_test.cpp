// The built binary on disk images: the real disks beside the project (their manifests say
// what they hold), and small disks built here, sound and damaged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "corpus.h"
#include "disk_images.h"
#include "disk_reading.h"
#include "expected_texts.h"
#include "images.h"
#include "memory_streams.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

class disk_e2e : public ::testing::Test {
 protected:
  run_result run(const std::vector<std::string>& args) { return run_brenvik(dir, args); }
  scratch_dir dir;
};

// Every BASIC program on the real disks lists as its image does at its own address, with
// the version its address names (or the disk's OS65D BASIC), and the directory names the
// entries and tracks of the manifest.
TEST_F(disk_e2e, real_disks_list_their_programs_and_directories) {
  if (const auto why = corpus_missing("disks/manifest.tsv")) GTEST_SKIP() << *why;
  std::map<std::string, std::string> load_of;
  for (auto& image : manifest(corpus / "images/manifest.tsv"))
    load_of[image["file"]] = image["load"];
  std::map<std::string, std::string> directories;
  int programs = 0;
  for (auto& entry : manifest(corpus / "disks/manifest.tsv")) {
    const std::string disk = (corpus / "disks" / entry["disk"]).string();
    if (!entry["entry"].empty()) {
      std::string name = entry["entry"];
      name.resize(6, ' ');
      directories[disk] += name + "  " + entry["first_track"] + "-" + entry["last_track"] + "\n";
    }
    if (entry["corpus_image"].empty()) continue;
    const std::string load = load_of[entry["corpus_image"]];
    const bool eight_inch = entry["format"].find("8in") != std::string::npos;
    std::vector<std::string> image_args{"-l", load, (corpus / entry["corpus_image"]).string()};
    if (load != "327E" && load != "3A7E")
      image_args.insert(image_args.begin(), eight_inch ? "-w4" : "-w3");
    const run_result from_disk = run({"-disk", disk, entry["entry"]});
    const run_result from_image = run(image_args);
    EXPECT_EQ(from_disk.status, 0) << disk << " " << entry["entry"];
    EXPECT_EQ(from_disk.out, from_image.out) << disk << " " << entry["entry"];
    // The version is said where the address leaves a choice: where it is two rows' ($3A7E),
    // as the image's listing says it, or no row's, naming the OS65D BASIC taken.
    if (load == "327E" || load == "317E") {
      EXPECT_EQ(from_disk.err, "") << disk << " " << entry["entry"];
    } else {
      EXPECT_TRUE(from_disk.err.starts_with(disk + ": entry ")) << disk << " " << entry["entry"];
      EXPECT_TRUE(from_disk.err.ends_with(from_image.err)) << disk << " " << entry["entry"];
    }
    ++programs;
  }
  EXPECT_EQ(programs, 54);
  for (const auto& [disk, expected] : directories) {
    const run_result listed = run({"-disk", disk});
    EXPECT_EQ(listed.status, 0) << disk;
    std::string names_and_tracks;
    std::stringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("free: ")) continue;
      const std::size_t tracks_end = line.find(' ', 8);
      names_and_tracks += line.substr(0, tracks_end) + "\n";
    }
    EXPECT_EQ(names_and_tracks, expected) << disk;
  }
  const run_result blank = run({"-disk", (corpus / "disks/empty.os8").string()});
  EXPECT_EQ(blank.status, 1);
  EXPECT_NE(blank.err.find("is no OS65D, Pico-DOS or HEXDOS disk: no track has a track header"),
            std::string::npos);
}

// A small disk: the DOS's entry, two programs (one moved up past machine code), a data
// file, and entries with broken tracks.
std::vector<fake_entry> sample_entries() {
  return {{"OS65D3", 0x00, bcd(12)},  {"HELLO", bcd(14), bcd(14)},  {"MOVED", bcd(15), bcd(16)},
          {"DATA", bcd(17), bcd(17)}, {"NOHEAD", bcd(18), bcd(18)}, {"NOBCD", 0x1F, 0x20},
          {"FAR", bcd(39), bcd(40)},  {"BACK", bcd(21), bcd(20)},   {"TANK/S", bcd(22), bcd(22)}};
}

fake_disk sample_disk() {
  fake_disk disk;
  disk.directory(sample_entries());
  disk.file(14, basic_file(0x327E, image_of(0x327E, {{10, "\x97\"HI\""}, {20, "\x80"}}), 2048));
  disk.file(15, basic_file(0x3A90, image_of(0x3A90, {{5, "\x94!\"EX\""}}), 2048, 0xEA));
  disk.file(17, bytes_t(2048, 'D'));
  disk.raw_track(18, bytes_t(100, 0x55));
  disk.file(22, basic_file(0x327E, image_of(0x327E, {{1, "\x8E TANK"}}), 2048));
  return disk;
}

const std::string chose_os65d =
    "BASIC version not specified, so I chose OSI OS65D v3.1 BASIC 5.25\" disk\r\n";

TEST_F(disk_e2e, directory_and_programs_of_both_containers) {
  const fake_disk disk = sample_disk();
  write_file(dir / "sample.65d", disk.flat());
  write_file(dir / "sample.os5", disk.bitstream(1));
  const std::string directory =
      "OS65D3  0-12   other\r\n"
      "HELLO   14-14  BASIC $327E 19 bytes\r\n"
      "MOVED   15-16  BASIC $3A90 14 bytes\r\n"
      "DATA    17-17  other\r\n"
      "NOHEAD  18-18  unreadable: track 18 has no track header\r\n"
      "NOBCD   1F-20  unreadable: track number 1F is not BCD\r\n"
      "FAR     39-40  unreadable: track 40 lies beyond the disk's last track 39\r\n"
      "BACK    21-20  unreadable: first track 21 lies after last track 20\r\n"
      "TANK/S  22-22  BASIC $327E 14 bytes\r\n"
      "free: 18 tracks, longest run 16 from track 23\r\n";
  for (const std::string name : {"sample.65d", "sample.os5"}) {
    const run_result listed = run({"-disk", name});
    EXPECT_EQ(listed.status, 0) << name;
    EXPECT_EQ(listed.out, directory) << name;
    EXPECT_EQ(listed.err, "") << name;

    const run_result programs = run({"-disk", name, "hello", "moved  ", "tank/s"});
    EXPECT_EQ(programs.status, 0) << name;
    EXPECT_EQ(programs.out, "10 PRINT\"HI\"\r\n20 END\r\n5 DISK!\"EX\"\r\n1 REM TANK\r\n") << name;
    // Only MOVED, at an address that is no row's, leaves the version to choose.
    EXPECT_EQ(programs.err, name + ": entry MOVED:\r\n" += chose_os65d) << name;

    const run_result named = run({"-w0", "-disk", name, "MOVED"});
    EXPECT_EQ(named.out, "5 SAVE!\"EX\"\r\n") << name;
  }
}

TEST_F(disk_e2e, entries_that_cannot_be_listed) {
  write_file(dir / "sample.65d", sample_disk().flat());
  struct row {
    std::vector<std::string> entries;
    int status;
    std::string out;
    std::string err;
  };
  const row rows[] = {
      {{"DATA", "HELLO"},
       1,
       "10 PRINT\"HI\"\r\n20 END\r\n",
       "sample.65d: entry DATA holds no BASIC program (no chain of line links from its start "
       "address)\r\n"},
      {{"OS65D3"},
       1,
       "",
       "sample.65d: entry OS65D3 holds no BASIC program (no chain of line links from its start "
       "address)\r\n"},
      {{"NOHEAD"}, 1, "", "sample.65d: entry NOHEAD: track 18 has no track header\r\n"},
      {{"NOBCD"}, 1, "", "sample.65d: entry NOBCD: track number 1F is not BCD\r\n"},
      {{"FAR"}, 1, "", "sample.65d: entry FAR: track 40 lies beyond the disk's last track 39\r\n"},
      {{"BACK"}, 1, "", "sample.65d: entry BACK: first track 21 lies after last track 20\r\n"},
      {{"HELLO", "NOSUCH", "MOVED"},
       1,
       "10 PRINT\"HI\"\r\n20 END\r\n",
       "\r\nbrenvik: No file NOSUCH on sample.65d\r\n"},
  };
  for (const row& r : rows) {
    std::vector<std::string> args{"-disk", "sample.65d"};
    args.insert(args.end(), r.entries.begin(), r.entries.end());
    const run_result result = run(args);
    EXPECT_EQ(result.status, r.status) << r.entries[0];
    EXPECT_EQ(result.out, r.out) << r.entries[0];
    EXPECT_EQ(result.err, r.err) << r.entries[0];
  }
}

TEST_F(disk_e2e, images_that_are_no_disks) {
  const std::string flat = sample_disk().flat();
  std::string bits = sample_disk().bitstream();
  write_file(dir / "short.65d", flat.substr(0, 50000));
  std::string version = bits;
  version[16] = 7;
  write_file(dir / "version.os5", version);
  write_file(dir / "cut.os5", bits.substr(0, 100000));
  write_file(dir / "blank.65d", fake_disk().flat());
  // A bit error inside HELLO's sector: its fiftieth frame's third data bit.
  const std::size_t bit = (256 + std::size_t{14} * 0xD00) * 8 + 100 + std::size_t{11} * 50 + 3;
  bits[bit / 8] = static_cast<char>(bits[bit / 8] ^ (0x80 >> (bit % 8)));
  write_file(dir / "broken.os5", bits);
  struct row {
    std::vector<std::string> args;
    std::string err;
  };
  const row rows[] = {
      {{"-disk", "short.65d"},
       "\r\nbrenvik: short.65d is no OS65D, Pico-DOS or HEXDOS disk: 50000 bytes, neither a flat "
       "image (92160 or 295680 bytes) nor a bitstream image\r\n"},
      {{"-disk", "version.os5"},
       "\r\nbrenvik: version.os5: unknown bitstream image (format version 7, disk type 0); known "
       "are version 1, types 0 to 2\r\n"},
      {{"-disk", "cut.os5"},
       "\r\nbrenvik: cut.os5: the bitstream image ends before its last track\r\n"},
      {{"-disk", "blank.65d", "HELLO"},
       "\r\nbrenvik: blank.65d is no OS65D, Pico-DOS or HEXDOS disk: no track has a track header "
       "(a blank or unformatted disk?)\r\n"},
      {{"-disk", "missing.65d"},
       "\r\nbrenvik: Can't open disk image missing.65d: No such file or directory\r\n"},
      {{"-disk", "broken.os5", "HELLO"},
       "broken.os5: entry HELLO: track 14 has 1 frames with parity or stop bit errors\r\n"},
      {{"-skip", "5", "-disk", "blank.65d"},
       "-skip does not go with -disk: a disk's programs are found by their names\r\n" +
           usage_text("brenvik")},
      {{"-t", "-disk", "blank.65d", "x.bas"},
       "-t -disk needs -o <new image>: the disk image read is never changed\r\n" +
           usage_text("brenvik")},
      {{"-disk"}, "Disk image name missing after -disk\r\n" + usage_text("brenvik")},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, 1) << r.args[1];
    EXPECT_EQ(result.out, "") << r.args[1];
    EXPECT_EQ(result.err, r.err) << r.args[1];
  }
}

TEST_F(disk_e2e, a_listing_never_replaces_the_disk) {
  write_file(dir / "sample.65d", sample_disk().flat());
  std::filesystem::create_symlink("sample.65d", dir / "link.65d");
  const run_result result = run({"-f", "-o", "link.65d", "-disk", "sample.65d", "HELLO"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "\r\nbrenvik: Output file link.65d is also an input\r\n");
  EXPECT_EQ(read_file(dir / "sample.65d"), sample_disk().flat());

  // An entry's name is no file: standard output may have it.
  run_setup to_file;
  to_file.stdout_path = (dir / "HELLO").string();
  EXPECT_EQ(run_brenvik(dir, {"-disk", "sample.65d", "HELLO"}, to_file).status, 0);
  EXPECT_EQ(read_file(dir / "HELLO"), "10 PRINT\"HI\"\r\n20 END\r\n");
}

TEST_F(disk_e2e, listings_go_into_a_new_image) {
  fake_disk disk = sample_disk();
  disk.format(25, {bytes_t(2048, 0)});
  disk.format(26, {bytes_t(2048, 0)});
  disk.format(27, {bytes_t(256, 0)});  // a data file's layout: no program fits
  write_file(dir / "sample.65d", disk.flat());
  write_file(dir / "sample.os5", disk.bitstream(1));
  write_file(dir / "hello.bas", "10 PRINT \"HELLO AGAIN\"\r\n20 GOTO 10\r\n");
  write_file(dir / "disk.bas", "10 DISK!\"GO 0\"\r\n");
  const std::string hello = read_file(dir / "hello.bas");
  const std::vector<testing::record> hello_records = {{10, "\x97 \"HELLO AGAIN\""},
                                                      {20, "\x88 10"}};

  // Replacing an entry: its own tracks, the load address of the program it holds, a new
  // header, zeros after the end marker.
  const run_result replaced = run({"-t", "-disk", "sample.65d", "-o", "new.65d", "hello.bas"});
  EXPECT_EQ(replaced.status, 0);
  EXPECT_EQ(replaced.err, chose_os65d);
  fake_disk expected = disk;
  expected.file(14, basic_file(0x327E, image_of(0x327E, hello_records), 2048));
  EXPECT_EQ(read_file(dir / "new.65d"), expected.flat());
  EXPECT_EQ(file_data(read_file(dir / "new.65d"), 14, 14).substr(0, 5),
            bytes({0x7F, 0x32, 0x9F, 0x32, 0x01}));
  EXPECT_EQ(run({"-disk", "new.65d", "HELLO"}).out, hello);

  // A program moved up keeps the machine code in front of it; a new name gets a new entry
  // on the first free tracks that hold a program-sized sector. In a bitstream image only
  // the data and parity bits of the frames change.
  const run_result more = run(
      {"-t", "-w3", "-disk", "sample.os5", "-o", "new.os5", "MOVED=disk.bas", "NEWONE=hello.bas"});
  EXPECT_EQ(more.status, 0);
  EXPECT_EQ(more.err, "");
  expected = disk;
  expected.file(15, basic_file(0x3A90, image_of(0x3A90, {{10, "\x94!\"GO 0\""}}), 2048, 0xEA));
  expected.file(25, basic_file(0x327E, image_of(0x327E, hello_records), 2048));
  std::vector<fake_entry> entries = sample_entries();
  entries.push_back({"NEWONE", bcd(25), bcd(25)});
  expected.directory(entries);
  EXPECT_EQ(read_file(dir / "new.os5"), expected.bitstream(1));
  const run_result directory = run({"-disk", "new.os5"});
  EXPECT_NE(directory.out.find("MOVED   15-16  BASIC $3A90 16 bytes\r\n"), std::string::npos);
  EXPECT_TRUE(
      directory.out.ends_with("NEWONE  25-25  BASIC $327E 32 bytes\r\n"
                              "free: 17 tracks, longest run 13 from track 26\r\n"))
      << directory.out;
  EXPECT_EQ(run({"-disk", "new.os5", "moved", "newone"}).out, "10 DISK!\"GO 0\"\r\n" + hello);

  // The same listings into the flat copy give the same disk.
  ASSERT_EQ(run({"-t", "-w3", "-disk", "sample.65d", "-o", "same.65d", "MOVED=disk.bas",
                 "NEWONE=hello.bas"})
                .status,
            0);
  EXPECT_EQ(read_file(dir / "same.65d"), expected.flat());
}

TEST_F(disk_e2e, inputs_that_cannot_be_stored_leave_no_image) {
  fake_disk disk = sample_disk();
  write_file(dir / "sample.65d", disk.flat());
  std::string big;
  for (int line = 1; line <= 100; ++line)
    big += std::to_string(line) + " PRINT \"A LINE OF TEXT TO MAKE A LONG PROGRAM\"\r\n";
  write_file(dir / "big.bas", big);
  write_file(dir / "hello.bas", "10 END\r\n");
  write_file(dir / "old.65d", "OLD");
  struct row {
    std::vector<std::string> args;
    std::string err;
  };
  const row rows[] = {
      {{"-w3", "-o", "new.65d", "HELLO=big.bas", "hello.bas"},
       "sample.65d: entry HELLO: the program needs 4609 bytes, its tracks hold 2048\r\n"
       "\r\nbrenvik: new.65d not written: 1 input could not be stored\r\n"},
      {{"-w3", "-o", "new.65d", "NEWONE=big.bas"},
       "sample.65d: no 3 free tracks in a row, formatted for a program, for NEWONE\r\n"
       "\r\nbrenvik: new.65d not written: 1 input could not be stored\r\n"},
      {{"-w3", "-o", "new.65d", "toolongname.bas", "A\"B=hello.bas", "hello.bas"},
       "toolongname.bas: TOOLONGNAME cannot be an OS65D file name: 1 to 6 capitals, digits or "
       "signs such as * / -; give one with NAME=toolongname.bas\r\n"
       "A\"B=hello.bas: A\"B cannot be an OS65D file name: 1 to 6 capitals, digits or signs such "
       "as * / -; give one with NAME=hello.bas\r\n"
       "\r\nbrenvik: new.65d not written: 2 inputs could not be stored\r\n"},
      {{"-w3", "-l", "300", "-o", "new.65d", "hello.bas"},
       "sample.65d: entry HELLO: a program at $0300 would lie below the file's memory ($327E "
       "on); give a higher -l\r\n"
       "\r\nbrenvik: new.65d not written: 1 input could not be stored\r\n"},
      {{"-w3", "-o", "new.65d", "NOHEAD=hello.bas"},
       "sample.65d: entry NOHEAD: track 18 has no track header\r\n"
       "\r\nbrenvik: new.65d not written: 1 input could not be stored\r\n"},
      {{"-w3", "-o", "new.65d", "gone.bas", "hello.bas"},
       "\r\nbrenvik: Can't open file gone.bas\r\n"
       "\r\nbrenvik: new.65d not written: 1 input could not be stored\r\n"},
      {{"-w3", "-o", "old.65d", "hello.bas"},
       "Output file old.65d exists! Use -f to force overwrite.\r\n"},
      {{"-w3", "-f", "-o", "hello.bas", "hello.bas"},
       "\r\nbrenvik: Output file hello.bas is also an input\r\n"},
  };
  for (const row& r : rows) {
    std::vector<std::string> args{"-t", "-disk", "sample.65d"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const run_result result = run(args);
    EXPECT_EQ(result.status, 1) << r.args[2];
    EXPECT_EQ(result.err, r.err) << r.args[2];
    EXPECT_FALSE(std::filesystem::exists(dir / "new.65d")) << r.args[2];
  }
  EXPECT_EQ(read_file(dir / "old.65d"), "OLD");
  EXPECT_EQ(read_file(dir / "sample.65d"), disk.flat());
}

// Every program of the real disks, listed and stored back into a copy of its disk: the
// program area comes back as it was wherever its listing tokenizes to it, and nothing
// outside the entry's tracks changes.
TEST_F(disk_e2e, real_programs_go_back_where_they_came_from) {
  if (const auto why = corpus_missing("disks/manifest.tsv")) GTEST_SKIP() << *why;
  std::map<std::string, std::string> load_of;
  for (auto& image : manifest(corpus / "images/manifest.tsv"))
    load_of[image["file"]] = image["load"];
  int same = 0;
  for (auto& entry : manifest(corpus / "disks/manifest.tsv")) {
    if (entry["corpus_image"].empty()) continue;
    const std::string disk = (corpus / "disks" / entry["disk"]).string();
    const std::string label = entry["disk"] + " " + entry["entry"];
    write_file(dir / "program.bas", run({"-disk", disk, entry["entry"]}).out);
    std::filesystem::remove(dir / "new.img");
    const run_result stored =
        run({"-t", "-disk", disk, "-o", "new.img", entry["entry"] + "=program.bas"});
    ASSERT_EQ(stored.status, 0) << label << stored.err;
    const std::string before = read_file(disk);
    const std::string after = read_file(dir / "new.img");
    ASSERT_EQ(before.size(), after.size()) << label;
    const int first = std::stoi(entry["first_track"]);
    const int last = std::stoi(entry["last_track"]);
    const bool flat = entry["format"].starts_with("flat");
    const std::size_t track_size = flat ? 2304 : entry["format"].ends_with("8in") ? 0x1500 : 0xD00;
    const std::size_t tracks_at = flat ? 0 : 256;
    for (std::size_t i = 0; i < before.size(); ++i) {
      const bool in_entry = i >= tracks_at &&
                            static_cast<int>((i - tracks_at) / track_size) >= first &&
                            static_cast<int>((i - tracks_at) / track_size) <= last;
      if (!in_entry && before[i] != after[i]) {
        ADD_FAILURE() << label << ": byte " << i << " outside the entry changed";
        break;
      }
    }
    // Where the listing tokenizes back to the image, the new disk holds that image.
    const std::string load = load_of[entry["corpus_image"]];
    const std::string version = load == "3A7E" ? "-w1"
                                : flat || !entry["format"].ends_with("8in") || load == "327E"
                                    ? "-w3"
                                    : "-w4";
    const std::string image = read_file(corpus / entry["corpus_image"]);
    if (run({"-t", version, "-l", load, "program.bas"}).out != image) continue;
    const std::string file = file_data(after, first, last);
    const std::size_t area = (static_cast<unsigned char>(file[0]) |
                              static_cast<unsigned>(static_cast<unsigned char>(file[1])) << 8) -
                             1 - 0x3279;
    EXPECT_EQ(file.substr(area, image.size()), image) << label;
    ++same;
  }
  EXPECT_EQ(same, 51);  // not LOANI (on two disks) and BUFFER: their listings differ
}

}  // namespace
}  // namespace brenvik
