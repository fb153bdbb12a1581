// -typed through the built binary: a captured session becomes the program the machine
// would hold, with the summary of what it did not store; the OS65U versions are refused;
// typed listings go into disks and folders as -t's do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disk_images.h"
#include "expected_texts.h"
#include "images.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const std::string session =
    "OK\r\n10 PRINT \"HELLO\"\r\n30 GOTO 10\r\n20 PRINT \"WORLD\"\r\n10 PRINT \"HELLO, \";\r\n"
    "LIST\r\nOK\r\n";
const std::vector<record> held = {
    {10, "\x97 \"HELLO, \";"}, {20, "\x97 \"WORLD\""}, {30, "\x88 10"}};
const std::string summary =
    "Typed as the machine takes it: 3 lines without a number not stored; 1 line typed again, "
    "the later kept\r\n";

TEST(typed_e2e, a_captured_session_as_the_machine_holds_it) {
  scratch_dir dir;
  write_file(dir / "session.txt", session);
  write_file(dir / "clean.bas", "10 PRINT\r\n");
  struct row {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const row rows[] = {
      {{"-typed", "session.txt"},
       0,
       image_of(0x0300, held),
       "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n" + summary},
      {{"-typed", "-w3", "session.txt", "clean.bas"},
       0,
       image_of(0x327E, held) + image_of(0x327E, {{10, "\x97"}}),
       summary},
      {{"-typed", "-w0", "-l", "1000", "clean.bas"}, 0, image_of(0x1000, {{10, "\x97"}}), ""},
      {{"-typed", "-w5", "clean.bas"},
       1,
       "",
       "-typed knows the ROM and OS65D BASICs (versions 0 to 4), not version 5\r\n" +
           usage_text("brenvik")},
  };
  for (const row& r : rows) {
    const run_result result = run_brenvik(dir, r.args);
    EXPECT_EQ(result.status, r.status) << r.args[1];
    EXPECT_EQ(result.out, r.out) << r.args[1];
    EXPECT_EQ(result.err, r.err) << r.args[1];
  }
}

TEST(typed_e2e, typed_listings_into_disks_and_folders) {
  scratch_dir dir;
  write_file(dir / "session.txt", session);
  fake_disk disk;
  disk.directory({{"OS65D3", 0x00, bcd(12)}, {"PROG", bcd(14), bcd(14)}});
  disk.file(14, basic_file(0x327E, image_of(0x327E, {{1, "\x80"}}), 2048));
  write_file(dir / "disk.65d", disk.flat());

  const run_result stored =
      run_brenvik(dir, {"-typed", "-w3", "-disk", "disk.65d", "-o", "new.65d", "PROG=session.txt"});
  EXPECT_EQ(stored.status, 0);
  EXPECT_EQ(stored.err, "session.txt:\r\n" + summary);
  fake_disk expected = disk;
  expected.file(14, basic_file(0x327E, image_of(0x327E, held), 2048));
  EXPECT_EQ(read_file(dir / "new.65d"), expected.flat());

  const run_result folder = run_brenvik(dir, {"-typed", "-w0", "-o", "images/", "session.txt"});
  EXPECT_EQ(folder.status, 0);
  EXPECT_EQ(folder.err, "session.txt:\r\n" + summary + "1 file written to images/\r\n");
  EXPECT_EQ(read_file(dir / "images/session.tok"), image_of(0x0300, held));
}

}  // namespace
}  // namespace brenvik
