#include "memory/memory_image.h"

#include <gtest/gtest.h>

#include <string>

#include "disk_images.h"
#include "images.h"
#include "memory_images.h"

namespace brenvik::memory {
namespace {

using testing::as_bytes;
using testing::image_of;

const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}, {20, "\x80"}});

TEST(memory_image, layouts_are_told_by_size) {
  const std::string small = testing::ram_with(0x3000, 0x0300, hello);
  const std::string large = testing::ram_with(0x8000, 0x0300, hello);
  const std::string whole = testing::ram_with(0x10000, 0x0300, hello);
  struct row {
    std::string file;
    std::optional<std::uint64_t> offset;
    memory_layout layout;
    std::string ram;
  };
  const row rows[] = {
    {testing::checkpoint(0, large), std::nullopt, memory_layout::checkpoint_v0, large},
    {testing::checkpoint(1, small), std::nullopt, memory_layout::checkpoint_v1, small},
    {testing::checkpoint(2, large), std::nullopt, memory_layout::checkpoint_v2, large},
    {whole + "MORE", std::nullopt, memory_layout::plain, whole},  // 64 KiB at most
    {testing::checkpoint(2, large), 0x80F, memory_layout::plain, large},
    {small, 0x5000, memory_layout::plain, ""},
    {"\x78\x9C\x01" + small, std::nullopt, memory_layout::compressed, ""},
#if BRENVIK_ZLIB
    {testing::machine_image(small), std::nullopt, memory_layout::machine_image, small},
    {testing::machine_image(whole + "MORE"), std::nullopt, memory_layout::compressed, ""},
#endif
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    memory_image memory;
    ASSERT_TRUE(read_memory(*image_in_memory(as_bytes(rows[i].file)), rows[i].offset, memory));
    EXPECT_EQ(memory.layout, rows[i].layout) << i;
    EXPECT_EQ(std::string(memory.ram.begin(), memory.ram.end()), rows[i].ram) << i;
  }
}

TEST(memory_image, a_program_is_a_chain_inside_memory) {
  std::string ram = testing::ram_with(0x1000, 0x0300, hello);
  ram.replace(0x0800, 3, std::string(3, '\0'));                    // empty program
  ram.replace(0x0900, 5, std::string("\x00\xF0\x08\x0A\x00", 5));  // a link backwards
  ram.replace(0x0FF0, 16, image_of(0x0FF0, {{1, "ABCDEFGHIJKLMN"}}).substr(0, 16));
  const std::pair<unsigned, memory_program::kind_t> rows[] = {
      {0x0300, memory_program::found},       {0x0800, memory_program::found},
      {0x0900, memory_program::broken_link}, {0x0901, memory_program::no_lead_byte},
      {0x0FF0, memory_program::past_memory}, {0x1000, memory_program::outside}};
  for (const auto& [address, kind] : rows)
    EXPECT_EQ(program_at(as_bytes(ram), address).kind, kind) << std::hex << address;
  EXPECT_EQ(program_at(as_bytes(ram), 0x0300).length, hello.size());
  EXPECT_EQ(program_at(as_bytes(ram), 0x0800).lines, 0);
}

// What is left of a program is found by its records: two lines or more, ascending, no zero
// in a line; the longest wins.
TEST(memory_image, stale_programs_are_found_by_their_records) {
  std::string ram(0x8000, '\x55');
  const auto place = [&](unsigned at, const std::vector<testing::record>& lines) {
    ram.replace(at, image_of(at, lines).size(), image_of(at, lines));
  };
  place(0x1000, {{5, "A"}});
  place(0x2000, {{20, "A"}, {10, "B"}});
  place(0x3000, {{1, std::string("A\0B", 3)}, {2, "C"}});
  EXPECT_FALSE(stale_program(as_bytes(ram)));
  place(0x050C, {{10, "\x97"}, {20, "\x80"}, {30, "\x8E X"}});
  place(0x6000, {{1, "A"}, {2, "B"}});
  const auto found = stale_program(as_bytes(ram));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->load_address, 0x050C);
  EXPECT_EQ(found->lines, 3);
  EXPECT_EQ(found->length, 1u + 6 + 6 + 8 + 2);
}

}  // namespace
}  // namespace brenvik::memory
