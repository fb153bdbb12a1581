#include "disk/os65d_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "disk_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::bytes_t;
using testing::image_of;

TEST(os65d_writer, the_header_says_where_the_program_lies_and_how_much_to_load) {
  const std::string image = image_of(0x327E, {{10, std::string(200, 'A')}});  // 208 bytes
  const auto program =
      std::span(reinterpret_cast<const unsigned char*>(image.data()), image.size());
  const bytes_t old(4096, 0xEA);
  struct row {
    unsigned load_address;
    std::size_t track_bytes;
    bytes_t header;
  };
  const row rows[] = {
      // end = $327E + 208 + 1 = $334F: $D6 bytes from $3279, one track.
      {0x327E, 2048, {0x7F, 0x32, 0x4F, 0x33, 1}},
      // Moved up past $0800 of machine code: two tracks of 2048, one of 3072.
      {0x3A90, 2048, {0x91, 0x3A, 0x61, 0x3B, 2}},
      {0x3A90, 3072, {0x91, 0x3A, 0x61, 0x3B, 1}},
  };
  for (const row& r : rows) {
    const bytes_t file = basic_file_bytes(old, old.size(), static_cast<uint16_t>(r.load_address),
                                          program, r.track_bytes);
    const std::size_t area = r.load_address - 0x3279;
    EXPECT_EQ(bytes_t(file.begin(), file.begin() + 5), r.header) << std::hex << r.load_address;
    EXPECT_TRUE(std::all_of(file.begin() + 5, file.begin() + static_cast<std::ptrdiff_t>(area),
                            [](unsigned char b) { return b == 0xEA; }))
        << "the bytes in front are kept";
    EXPECT_TRUE(std::equal(program.begin(), program.end(),
                           file.begin() + static_cast<std::ptrdiff_t>(area)));
    EXPECT_TRUE(std::all_of(file.begin() + static_cast<std::ptrdiff_t>(area + image.size()),
                            file.end(), [](unsigned char b) { return b == 0; }))
        << "zeros after the end marker";
  }
}

TEST(os65d_writer, names_os65d_can_store) {
  for (const char* good : {"HANG", "BEXEC*", "TANK/S", "USR CA", "A", "X-1.2$"})
    EXPECT_TRUE(is_storable_name(good)) << good;
  for (const char* bad :
       {"", "SEVENXX", "hang", " LEAD", "TRAIL ", "A\"B", "#USED", "A,B", "A=B", "\x01"})
    EXPECT_FALSE(is_storable_name(bad)) << bad;
}

}  // namespace
}  // namespace brenvik::disk
