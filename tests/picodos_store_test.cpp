#include "disk/picodos_store.h"

#include <gtest/gtest.h>

#include <string>

#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

// A slot takes 8,187 bytes of program, not one more, and then holds the DOS's header, the
// program and zeros; a program refused changes nothing.
TEST(picodos_store, a_slot_holds_8187_bytes) {
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
    const slot_problem p = writer.store(2, testing::as_bytes(program));
    testing::fake_picodos expected = original;
    if (size == 8187) {
      EXPECT_EQ(p.kind, slot_problem::none);
      expected.put(7, testing::picodos_file(program));  // 5 + 8187 bytes: no stale byte left
    } else {
      EXPECT_EQ(p.kind, slot_problem::too_big);
      EXPECT_EQ(p.room, 8187u);
    }
    EXPECT_EQ(std::string(file.begin(), file.end()), expected.disk().flat()) << size;
  }
}

}  // namespace
}  // namespace brenvik::disk
