#include "disk/memory_image.h"

#include <gtest/gtest.h>

#include <string>

#include "disk_images.h"
#include "images.h"
#include "memory_images.h"

namespace brenvik::disk {
namespace {

using testing::as_bytes;
using testing::checkpoint;
using testing::image_of;
using testing::ram_with;

const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}, {20, "\x80"}});

// RAM is found by the file's size, or from an offset for a plain dump.
TEST(memory_image, layouts_are_told_by_size) {
  const std::string small = ram_with(0x3000, 0x0300, hello);
  const std::string large = ram_with(0x8000, 0x0300, hello);
  const std::string whole = ram_with(0x10000, 0x0300, hello);
  struct row {
    const char* what;
    std::string file;
    std::optional<std::uint64_t> offset;
    memory_layout layout;
    std::string ram;
  };
  const row rows[] = {
      {"layout 0", checkpoint(0, large), std::nullopt, memory_layout::checkpoint_v0, large},
      {"layout 1", checkpoint(1, small), std::nullopt, memory_layout::checkpoint_v1, small},
      {"layout 2", checkpoint(2, large), std::nullopt, memory_layout::checkpoint_v2, large},
      {"64 KiB dump", whole, std::nullopt, memory_layout::plain, whole},
      {"a longer dump", whole + "MORE", std::nullopt, memory_layout::plain, whole},
      {"dump at an offset", "HEADER" + small, 6, memory_layout::plain, small},
      {"layout 2's size at an offset", checkpoint(2, large), 0x80F, memory_layout::plain, large},
      {"offset past the end", small, 0x5000, memory_layout::plain, ""},
      {"compressed", "\x78\x9C\x01\x02" + small, std::nullopt, memory_layout::compressed, ""},
      {"compressed, but at an offset", "\x78\x9C" + small, 2, memory_layout::plain, small},
  };
  for (const row& r : rows) {
    const auto bytes = image_in_memory(as_bytes(r.file));
    memory_image memory;
    ASSERT_TRUE(read_memory(*bytes, r.offset, memory)) << r.what;
    EXPECT_EQ(memory.layout, r.layout) << r.what;
    EXPECT_EQ(std::string(memory.ram.begin(), memory.ram.end()), r.ram) << r.what;
  }
}

TEST(memory_image, a_program_is_a_chain_inside_memory) {
  std::string ram = ram_with(0x1000, 0x0300, hello);
  ram.replace(0x0800, 3, std::string(3, '\0'));  // an empty program
  ram.replace(0x0900, 6,
              std::string("\x00\xF0\x08\x0A\x00\x41", 6));  // a record whose link lies behind it
  ram[0x0A00] = 'X';
  const std::string runs_off = image_of(0x0FF0, {{1, "ABCDEFGHIJKLMN"}});
  ram.replace(0x0FF0, 0x10, runs_off.substr(0, 0x10));
  struct row {
    unsigned address;
    memory_program::kind_t kind;
    std::size_t length;
    int lines;
  };
  const row rows[] = {
      {0x0300, memory_program::found, hello.size(), 2},
      {0x0800, memory_program::found, 3, 0},
      {0x0900, memory_program::broken_link, 0, 0},
      {0x0A00, memory_program::no_lead_byte, 0, 0},
      {0x0FF0, memory_program::past_memory, 0, 0},
      {0x1000, memory_program::outside, 0, 0},
      {0xFFFF, memory_program::outside, 0, 0},
  };
  for (const row& r : rows) {
    const memory_program p = program_at(as_bytes(ram), r.address);
    EXPECT_EQ(p.kind, r.kind) << std::hex << r.address;
    EXPECT_EQ(p.length, r.length) << std::hex << r.address;
    EXPECT_EQ(p.lines, r.lines) << std::hex << r.address;
  }
  EXPECT_EQ(program_at(as_bytes(ram), 0x0900).link, 0x08F0u);
}

// Stale programs are chains that look like BASIC's own: the longest is taken.
TEST(memory_image, stale_programs_are_found_by_their_records) {
  const auto place = [](std::string& ram, unsigned at, const std::vector<testing::record>& lines) {
    const std::string image = image_of(at, lines);
    ram.replace(at, image.size(), image);
  };
  std::string ram(0x8000, '\x55');
  EXPECT_FALSE(stale_program(as_bytes(ram)));
  place(ram, 0x1000, {{5, "A"}});                               // one line: too little to tell
  place(ram, 0x2000, {{20, "A"}, {10, "B"}});                   // lines out of order
  place(ram, 0x3000, {{1, std::string("A\0B", 3)}, {2, "C"}});  // a zero inside a line
  EXPECT_FALSE(stale_program(as_bytes(ram)));
  place(ram, 0x050C, {{10, "\x97"}, {20, "\x80"}, {30, "\x8E X"}});
  place(ram, 0x6000, {{1, "A"}, {2, "B"}});
  const auto found = stale_program(as_bytes(ram));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->load_address, 0x050C);
  EXPECT_EQ(found->lines, 3);
  EXPECT_EQ(found->length, 1u + 6 + 6 + 8 + 2);
}

}  // namespace
}  // namespace brenvik::disk
