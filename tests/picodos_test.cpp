#include "disk/picodos.h"

#include <gtest/gtest.h>

#include <string>

#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::image_of;

// Used slots are entries named by number, a program off the slots by its track; a program
// may fill all four tracks of its slot; an end one short of the DOS's habit reads the same.
TEST(picodos, slots_hold_the_programs) {
  const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}, {20, "\x80"}});
  std::vector<testing::record> lines(33, {1, std::string(240, 'A')});
  for (unsigned i = 0; i < lines.size(); ++i)
    lines[i].line = i;
  const std::string big = image_of(0x0300, lines);  // 8,088 bytes
  std::string broken = hello;
  broken[1] = 0x7F;  // the first link points back
  testing::fake_picodos disk(0xE5);
  disk.program(1, hello);
  disk.program(2, big, 0);
  disk.program(4, broken);
  disk.put(36, testing::picodos_file(hello));  // in empty slot 9 (tracks 35-38)
  for (const bool bitstream : {false, true}) {
    testing::opened_volume v(bitstream ? disk.disk().bitstream(0) : disk.disk().flat());
    ASSERT_TRUE(v.disk) << bitstream;
    EXPECT_EQ(v.directory(),
              "1 3-6 BASIC $0300 19 bytes\n2 7-10 BASIC $0300 8088 bytes\n4 15-18 other\n"
              "T36 36-39 BASIC $0300 19 bytes\n")
        << bitstream;
    EXPECT_EQ(v.program("2"), big) << bitstream;
    EXPECT_EQ(v.program("t36"), hello) << bitstream;
    std::vector<entry> entries;
    v.disk->read_directory(entries);
    EXPECT_EQ(v.disk->free_space(entries),
              (std::vector<int>{11, 12, 13, 14, 19, 20, 21, 22, 23, 24,
                                25, 26, 27, 28, 29, 30, 31, 32, 33, 34}));
  }
}

}  // namespace
}  // namespace brenvik::disk
