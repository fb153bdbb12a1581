#include "disk/picodos_store.h"

#include <gtest/gtest.h>

#include <string>

#include "disk_reading.h"
#include "dos_images.h"
#include "images.h"
#include "memory_streams.h"

namespace brenvik::disk {
namespace {

using testing::bytes_t;
using testing::fake_picodos;
using testing::image_of;

// A program of `size` bytes at $0300: lines of 'A's and a last line to make it up.
std::string program_of(std::size_t size) {
  std::vector<testing::record> lines;
  for (std::size_t left = size - 3; left > 0; left -= lines.back().text.size() + 5) {
    const std::size_t text = left >= 250 ? 240 : left > 245 ? 200 : left - 5;
    lines.push_back({static_cast<unsigned>(lines.size()), std::string(text, 'A')});
  }
  return image_of(0x0300, lines);
}

// The header the DOS's saves hold, the program, and zeros to the end of the slot; nothing
// else changes. A slot holds 8,187 bytes of program.
TEST(picodos_store, a_program_fills_its_slot_as_the_dos_saves_it) {
  fake_picodos original(0xE5);
  original.program(2, image_of(0x0300, {{1, std::string(200, 'Z')}}));
  struct row {
    std::size_t size;
    bool fits;
  };
  for (const row r : {row{19, true}, row{3000, true}, row{8187, true}, row{8188, false}}) {
    const std::string program = program_of(r.size);
    ASSERT_EQ(program.size(), r.size);
    std::string image = original.disk().flat();
    std::vector<unsigned char> file(image.begin(), image.end());
    const auto bytes = image_in_memory(file);
    geometry shape;
    container_problem unknown;
    ASSERT_TRUE(identify(*bytes, shape, unknown));
    picodos_volume disk(*bytes, shape);
    picodos_writer writer(file, disk);
    EXPECT_EQ(writer.empty_slot(), 1);
    const slot_problem p = writer.store(2, testing::as_bytes(program));
    const std::string written(file.begin(), file.end());
    if (!r.fits) {
      EXPECT_EQ(p.kind, slot_problem::too_big);
      EXPECT_EQ(p.size, 8188u);
      EXPECT_EQ(p.room, 8187u);
      EXPECT_EQ(written, image);
      continue;
    }
    ASSERT_EQ(p.kind, slot_problem::none) << r.size;
    const unsigned end = 0x0300 + static_cast<unsigned>(r.size) + 1;
    std::string slot =
        testing::bytes({0x01, 0x03, static_cast<int>(end & 0xFF), static_cast<int>(end >> 8), 4}) +
        program;
    slot.resize(std::size_t{4} * 2048, '\0');
    EXPECT_EQ(testing::file_data(written, 7, 10), slot) << r.size;
    fake_picodos expected = original;
    expected.put(7, bytes_t(slot.begin(), slot.end()));
    EXPECT_EQ(written, expected.disk().flat()) << r.size;
  }
}

}  // namespace
}  // namespace brenvik::disk
