// The shipped examples, as the README and the manual page use them: every listing
// tokenizes to its images, and every image lists back to its listing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process.h"

#ifndef EXAMPLES_DIR
#error "EXAMPLES_DIR must name the examples folder"
#endif

namespace brenvik {
namespace {

using namespace testing;

const std::string examples = EXAMPLES_DIR;

struct example {
  std::string listing;
  std::string image;
  std::string version;  // -w option
  std::string detected;
};

TEST(examples_e2e, listings_and_images_convert_into_each_other) {
  const std::string rom = "OSI BASIC In ROM (C1/C2/C4)";
  const std::string os65d = "OSI OS65D v3.1 BASIC 5.25\" disk";
  const std::string os65u = "OSI OS65U V1.42 Hard disk BASIC";
  const example rows[] = {
      {"hello.bas", "hello.tok", "-w0", rom},
      {"dice.bas", "dice-rom.tok", "-w0", rom},
      {"dice.bas", "dice-os65d.tok", "-w3", os65d},
      {"dice.bas", "dice-os65u.tok", "-w5", os65u},
      {"directory.bas", "directory.tok", "-w3", os65d},
      {"scores.bas", "scores.tok", "-w5", os65u},
  };
  scratch_dir dir;
  for (const example& e : rows) {
    const std::string listing = read_file(examples + "/" + e.listing);
    const std::string image = read_file(examples + "/" + e.image);
    ASSERT_FALSE(listing.empty()) << e.listing;

    const run_result tokenized = run_brenvik(dir, {"-t", e.version, examples + "/" + e.listing});
    EXPECT_EQ(tokenized.status, 0) << e.image;
    EXPECT_EQ(tokenized.out, image) << e.image;
    EXPECT_EQ(tokenized.err, "") << e.image;

    const run_result listed = run_brenvik(dir, {examples + "/" + e.image});
    EXPECT_EQ(listed.status, 0) << e.image;
    EXPECT_EQ(listed.out, listing) << e.image;
    EXPECT_EQ(listed.err, "BASIC version not specified, so I chose " + e.detected + "\r\n");
  }
}

TEST(examples_e2e, a_disk_file_lists_after_its_header_is_skipped) {
  scratch_dir dir;
  const run_result listed = run_brenvik(dir, {"-skip", "5", examples + "/dice-os65d.diskfile"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, read_file(examples + "/dice.bas"));
}

TEST(examples_e2e, the_demo_disk_holds_the_example_programs) {
  scratch_dir dir;
  const std::string disk = examples + "/demo.65d";
  const run_result directory = run_brenvik(dir, {"-disk", disk});
  EXPECT_EQ(directory.status, 0);
  EXPECT_EQ(directory.out,
            "HELLO   1-1    BASIC $327E 144 bytes\r\n"
            "DICE    2-2    BASIC $327E 170 bytes\r\n"
            "DIRECT  3-3    BASIC $327E 79 bytes\r\n"
            "free: 35 tracks, longest run 27 from track 13\r\n");
  const run_result programs = run_brenvik(dir, {"-disk", disk, "HELLO", "DICE", "DIRECT"});
  EXPECT_EQ(programs.status, 0);
  EXPECT_EQ(programs.out, read_file(examples + "/hello.bas") + read_file(examples + "/dice.bas") +
                              read_file(examples + "/directory.bas"));
}

TEST(examples_e2e, the_picodos_disk_and_the_memory_dump_hold_the_example_programs) {
  scratch_dir dir;
  const std::string disk = examples + "/demo-picodos.65d";
  const run_result directory = run_brenvik(dir, {"-disk", disk});
  EXPECT_EQ(directory.status, 0);
  EXPECT_EQ(directory.out,
            "1  3-6    BASIC $0300 144 bytes\r\n"
            "2  7-10   BASIC $0300 170 bytes\r\n"
            "free: 28 tracks, longest run 28 from track 11\r\n");
  const run_result programs = run_brenvik(dir, {"-disk", disk, "1", "2"});
  EXPECT_EQ(programs.status, 0);
  EXPECT_EQ(programs.out, read_file(examples + "/hello.bas") + read_file(examples + "/dice.bas"));
  const run_result memory = run_brenvik(dir, {"-memory", examples + "/hello.mem"});
  EXPECT_EQ(memory.status, 0);
  EXPECT_EQ(memory.out, read_file(examples + "/hello.bas"));
  EXPECT_EQ(memory.err, "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n");
}

}  // namespace
}  // namespace brenvik
