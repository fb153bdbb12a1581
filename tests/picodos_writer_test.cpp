#include "disk/picodos_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

// A slot takes 8,187 bytes of program, not one more, and then holds the DOS's header, the
// program and zeros; a program refused changes nothing.
TEST(picodos_writer, a_slot_holds_8187_bytes) {
  testing::fake_picodos original(0xE5);
  for (const std::size_t size : {std::size_t{8187}, std::size_t{8188}}) {
    // 33 lines of 245 bytes, a last one to make up the size.
    std::vector<testing::record> lines(33, {1, std::string(240, 'A')});
    for (unsigned i = 0; i < lines.size(); ++i)
      lines[i].line = i;
    lines.push_back({99, std::string(size - 3 - std::size_t{33} * 245 - 5, 'B')});
    const std::string program = testing::image_of(0x0300, lines);
    ASSERT_EQ(program.size(), size);
    const std::string image = original.disk().flat();
    std::vector<unsigned char> file(image.begin(), image.end());
    const auto bytes = image_in_memory(file);
    picodos_volume disk(*bytes, testing::opened_volume(image).shape);
    picodos_writer writer(file, disk);
    EXPECT_EQ(writer.empty_slot(), 1);
    const write_problem p = writer.store_program("2", 0x0300, testing::as_bytes(program));
    testing::fake_picodos expected = original;
    if (size == 8187) {
      EXPECT_EQ(p.kind, write_problem::none);
      expected.put(7, testing::picodos_file(program));  // 5 + 8187 bytes: no stale byte left
    } else {
      EXPECT_EQ(p.kind, write_problem::too_big);
      EXPECT_EQ(p.available, 8187u);
    }
    EXPECT_EQ(std::string(file.begin(), file.end()), expected.disk().flat()) << size;
  }
}

// Tracks formatted and never written (a header, no sector), as after the last used slot of
// real disks, take a program: each gets its sector right after the header, as the DOS's save
// writes it, in both forms. A bitstream track whose line holds more after the header takes
// none, and nothing changes.
TEST(picodos_writer, never_written_tracks_get_their_sectors) {
  const std::string program = testing::image_of(0x0300, {{10, "\x80"}});
  testing::fake_picodos original;
  for (int slot = 1; slot <= 8; ++slot)
    original.program(slot, program);
  for (int i = 0; i < 4; ++i)
    original.disk().format(35 + i, {}, testing::bytes_t(static_cast<std::size_t>(6 + i % 3), 0xFF));
  testing::fake_picodos expected = original;
  expected.put(35, testing::picodos_file(program));
  testing::fake_picodos noisy = original;
  noisy.disk().raw_track(37, {0xFF, 0x43, 0x57, 0x37, 0x58, 0x76});
  const struct {
    std::string image, after;
    int slot;
  } rows[] = {
      {original.disk().flat(), expected.disk().flat(), 9},
      {original.disk().bitstream(), expected.disk().bitstream(), 9},
      {noisy.disk().bitstream(), noisy.disk().bitstream(), 0},
  };
  for (const auto& row : rows) {
    std::vector<unsigned char> file(row.image.begin(), row.image.end());
    const auto bytes = image_in_memory(file);
    picodos_volume disk(*bytes, testing::opened_volume(row.image).shape);
    picodos_writer writer(file, disk);
    EXPECT_EQ(writer.empty_slot(), row.slot);
    const write_problem p = writer.store_program("9", 0x0300, testing::as_bytes(program));
    EXPECT_EQ(p.kind, row.slot == 0 ? write_problem::entry_unreadable : write_problem::none);
    EXPECT_EQ(std::string(file.begin(), file.end()), row.after) << row.slot;
  }
}

}  // namespace
}  // namespace brenvik::disk
