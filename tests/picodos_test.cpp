#include "disk/picodos.h"

#include <gtest/gtest.h>

#include <string>

#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::fake_picodos;
using testing::image_of;
using testing::opened_volume;

// Used slots are entries named by their numbers; a program off the slots is named by its
// track; a program fills its slot's four tracks at most.
TEST(picodos, slots_hold_the_programs) {
  const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}, {20, "\x80"}});
  std::vector<testing::record> lines;
  for (unsigned line = 0; line < 33; ++line)
    lines.push_back({line, std::string(240, 'A')});  // 8,088 bytes: on all four tracks
  const std::string big = image_of(0x0300, lines);
  std::string broken = hello;
  broken[1] = 0x7F;  // the first link points back

  fake_picodos disk(0xE5);
  disk.program(1, hello);
  disk.program(2, big, 0);
  disk.program(4, broken);
  disk.put(36, testing::picodos_file(hello));  // in empty slot 9 (tracks 35-38)
  for (const bool bitstream : {false, true}) {
    opened_volume v(bitstream ? disk.disk().bitstream(0) : disk.disk().flat());
    ASSERT_TRUE(v.disk) << bitstream;
    EXPECT_EQ(v.directory(),
              "1 3-6 BASIC $0300 19 bytes\n"
              "2 7-10 BASIC $0300 8088 bytes\n"
              "4 15-18 other\n"
              "T36 36-39 BASIC $0300 19 bytes\n")
        << bitstream;
    EXPECT_EQ(v.program("1"), hello) << bitstream;
    EXPECT_EQ(v.program("2"), big) << bitstream;
    EXPECT_EQ(v.program("t36"), hello) << bitstream;
    EXPECT_EQ(v.disk->basic_version(), 0);
    EXPECT_EQ(v.disk->directory_track(), -1);
  }
}

TEST(picodos, slot_numbers) {
  fake_picodos one;
  one.program(1, image_of(0x0300, {{1, "A"}}));
  opened_volume used(one.disk().flat());
  auto& pico = dynamic_cast<picodos_volume&>(*used.disk);
  struct row {
    const char* name;
    int slot;
  };
  const row rows[] = {{"1", 1}, {"9", 9}, {"10", 0}, {"0", 0}, {"03", 0}, {"T3", 0}, {"", 0}};
  for (const row& r : rows)
    EXPECT_EQ(pico.slot_named(r.name), r.slot) << r.name;
  EXPECT_EQ(slot_count(40), 9);
  EXPECT_EQ(slot_count(80), 19);
}

}  // namespace
}  // namespace brenvik::disk
