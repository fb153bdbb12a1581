// The built binary on Pico-DOS and HEXDOS disks: the real ones beside the project, and small
// disks built here.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus.h"
#include "disk_reading.h"
#include "dos_images.h"
#include "images.h"
#include "memory_streams.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const std::string chose_rom =
    "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n";

class dos_e2e : public ::testing::Test {
 protected:
  run_result run(const std::vector<std::string>& args) { return run_brenvik(dir, args); }
  scratch_dir dir;
};

// Every program the corpus cut from the real Pico-DOS and HEXDOS disks lists from the disk
// as its image lists: a Pico-DOS slot by its number, a HEXDOS file by its name.
TEST_F(dos_e2e, real_disks_list_as_their_images) {
  if (const auto why = corpus_missing("containers/manifest.tsv")) GTEST_SKIP() << *why;
  const std::string picodos = "/C1P-PICO_DOS/TRACK";
  const std::string hexdos = "/hexdos/";
  int programs = 0;
  for (auto& image : manifest(corpus / "images/manifest.tsv")) {
    const std::string& file = image["file"];
    std::vector<std::string> from_disk;
    std::vector<std::string> from_image{(corpus / file).string()};
    if (const std::size_t at = file.find(picodos); at != std::string::npos) {
      const int track = std::stoi(file.substr(at + picodos.size(), 2));
      from_disk = {"-disk", (corpus / "containers/C1P-PICO_DOS.65D").string(),
                   std::to_string((track + 1) / 4)};
    } else if (const std::size_t dir_at = file.find(hexdos); dir_at != std::string::npos) {
      const std::size_t name_at = dir_at + hexdos.size();
      const std::string name = file.substr(name_at, file.size() - name_at - 4);
      from_disk = {"-disk", (corpus / "containers/hexdos.img").string(), name};
      from_image.insert(from_image.begin(), {"-w0", "-l", "B00"});
    } else {
      continue;
    }
    const run_result listed = run(from_disk);
    EXPECT_EQ(listed.status, 0) << file;
    EXPECT_EQ(listed.out, run(from_image).out) << file;
    // A Pico-DOS program lies at $0300, row 0's alone; a HEXDOS one where no row's does.
    const bool on_hexdos = from_disk[1].ends_with("hexdos.img");
    EXPECT_EQ(listed.err,
              on_hexdos ? from_disk[1] + ": entry " + from_disk[2] + ":\r\n" + chose_rom : "")
        << file;
    ++programs;
  }
  EXPECT_EQ(programs, 10);
  // Slot 9's tracks are formatted and never written: a save gives them their sectors, and
  // nothing outside them changes.
  const std::string pico = (corpus / "containers/C1P-PICO_DOS.65D").string();
  EXPECT_TRUE(run({"-disk", pico})
                  .out.ends_with("8  31-34  BASIC $0300 1997 bytes\r\n"
                                 "free: 4 tracks, longest run 4 from track 35\r\n"));
  write_file(dir / "hello.bas", "10 PRINT \"HELLO\"\r\n");
  EXPECT_EQ(run({"-t", "-w0", "-disk", pico, "-o", "new.65d", "HELLO=hello.bas"}).status, 0);
  EXPECT_EQ(run({"-disk", "new.65d", "9"}).out, "10 PRINT \"HELLO\"\r\n");
  const std::string before = read_file(pico);
  const std::string after = read_file(dir / "new.65d");
  ASSERT_EQ(after.size(), before.size());
  const std::size_t slot_9 = std::size_t{35} * 2304;  // slot 9: tracks 35 to 38
  const std::size_t track_39 = std::size_t{39} * 2304;
  EXPECT_EQ(after.substr(0, slot_9), before.substr(0, slot_9));
  EXPECT_EQ(after.substr(track_39), before.substr(track_39));
  EXPECT_EQ(run({"-disk", (corpus / "containers/hexdos.img").string()}).out,
            "DIRECTORY  1-1    BASIC $0B00 20 bytes\r\n"
            "HEXASM  2-8    BASIC $0B00 12406 bytes\r\n"
            "free: 31 tracks, longest run 31 from track 9\r\n");
}

// Listings go into slots: the one they name, or the first empty one; the slot gets the
// DOS's header, the program and zeros, and nothing else on the disk changes.
TEST_F(dos_e2e, listings_go_into_slots) {
  fake_picodos disk(0xE5);
  disk.program(1, image_of(0x0300, {{10, "\x97\"HI\""}}));
  disk.program(3, image_of(0x0300, {{5, "\x99"}}));
  write_file(dir / "pico.65d", disk.disk().flat());
  write_file(dir / "pico.os5", disk.disk().bitstream(1));
  write_file(dir / "hello.bas", "10 PRINT \"HELLO\"\r\n");
  write_file(dir / "end.bas", "1 END\r\n");
  const auto slot = [](const std::string& image) {
    bytes_t file = picodos_file(image);
    file.resize(4 * std::size_t{2048}, 0);
    return file;
  };
  fake_picodos expected = disk;
  expected.put(11, slot(image_of(0x0300, {{10, "\x97 \"HELLO\""}})));
  expected.put(7, slot(image_of(0x0300, {{1, "\x80"}})));
  for (const std::string name : {"pico.65d", "pico.os5"}) {
    std::filesystem::remove(dir / "new");
    const run_result stored = run({"-t", "-disk", name, "-o", "new", "3=hello.bas", "end.bas"});
    EXPECT_EQ(stored.status, 0) << name;
    EXPECT_EQ(stored.err, chose_rom + chose_rom) << name;
    EXPECT_EQ(read_file(dir / "new"),
              name == "pico.65d" ? expected.disk().flat() : expected.disk().bitstream(1));
    EXPECT_EQ(run({"-disk", "new", "3", "2"}).out, "10 PRINT \"HELLO\"\r\n1 END\r\n") << name;
  }
}

TEST_F(dos_e2e, listings_that_no_slot_takes) {
  fake_picodos disk;
  disk.program(1, image_of(0x0300, {{10, "\x80"}}));
  write_file(dir / "pico.65d", disk.disk().flat());
  for (int slot = 2; slot <= 9; ++slot)
    disk.program(slot, image_of(0x0300, {{10, "\x80"}}));
  write_file(dir / "full.65d", disk.disk().flat());
  fake_hexdos hexdos;
  hexdos.directory({}, 2);
  write_file(dir / "hexdos.img", hexdos.disk().flat());
  std::string big;
  for (int line = 1; line <= 200; ++line)
    big += std::to_string(line) + " PRINT \"A LINE OF TEXT TO MAKE A LONG PROGRAM\"\r\n";
  write_file(dir / "big.bas", big);
  write_file(dir / "hello.bas", "10 END\r\n");
  const std::string not_written = "\r\nbrenvik: new not written: 1 input could not be stored\r\n";
  struct row {
    std::vector<std::string> args;
    std::string err;
  };
  const row rows[] = {
      {{"pico.65d", "12=hello.bas"},
       "pico.65d: 12 is no slot of this Pico-DOS disk: its slots are 1 to 9\r\n" + not_written},
      {{"pico.65d", "-l", "3A7E", "hello.bas"},
       "pico.65d: HELLO: Pico-DOS programs lie at $0300, not $3A7E; leave out -l\r\n" +
           not_written},
      {{"pico.65d", "-w0", "2=big.bas"},
       "pico.65d: slot 2: the program is 9203 bytes, a slot holds at most 8187\r\n" + not_written},
      {{"full.65d", "-w0", "hello.bas"},
       "full.65d: no empty slot with formatted tracks for HELLO\r\n" + not_written},
      {{"hexdos.img", "-w0", "hello.bas"},
       "\r\nbrenvik: hexdos.img is a HEXDOS disk, which brenvik does not write: its DOS keeps no "
       "file length, and how it loads a file is not yet checked\r\n"},
  };
  for (const row& r : rows) {
    std::vector<std::string> args{"-t", "-o", "new", "-disk"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const run_result result = run(args);
    EXPECT_EQ(result.status, 1) << r.args[0] << " " << r.args[1];
    EXPECT_EQ(result.err, r.err) << r.args[0] << " " << r.args[1];
    EXPECT_FALSE(std::filesystem::exists(dir / "new")) << r.args[0];
  }
}

// Each program of the real Pico-DOS disk, listed and stored back into its slot, gives back
// its program area byte for byte; nothing outside the slot's tracks changes.
TEST_F(dos_e2e, real_slots_take_back_their_programs) {
  if (const auto why = corpus_missing("containers/C1P-PICO_DOS.65D")) GTEST_SKIP() << *why;
  const std::string disk = (corpus / "containers/C1P-PICO_DOS.65D").string();
  const std::string before = read_file(disk);
  for (int slot = 1; slot <= 8; ++slot) {
    const int first = 4 * slot - 1;
    write_file(dir / "program.bas", run({"-disk", disk, std::to_string(slot)}).out);
    std::filesystem::remove(dir / "new.65d");
    const run_result stored =
        run({"-t", "-disk", disk, "-o", "new.65d", std::to_string(slot) + "=program.bas"});
    ASSERT_EQ(stored.status, 0) << slot << stored.err;
    const std::string after = read_file(dir / "new.65d");
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
      const auto track = static_cast<int>(i / 2304);
      if ((track < first || track > first + 3) && before[i] != after[i]) {
        ADD_FAILURE() << "slot " << slot << ": byte " << i << " outside the slot changed";
        break;
      }
    }
    char name[64];
    std::snprintf(name, sizeof name, "/C1P-PICO_DOS/TRACK%02d.img", first);
    std::string image;
    for (auto& row : manifest(corpus / "images/manifest.tsv"))
      if (row["file"].ends_with(name)) image = read_file(corpus / row["file"]);
    ASSERT_FALSE(image.empty()) << name;
    const unsigned end = 0x0300 + static_cast<unsigned>(image.size()) + 1;
    std::string slot_bytes =
        bytes({1, 3, static_cast<int>(end & 0xFF), static_cast<int>(end >> 8), 4});
    slot_bytes += image;
    slot_bytes.resize(std::size_t{4} * 2048, '\0');
    EXPECT_EQ(file_data(after, first, first + 3), slot_bytes) << slot;
  }
}

}  // namespace
}  // namespace brenvik
