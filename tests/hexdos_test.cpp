#include "disk/hexdos.h"

#include <gtest/gtest.h>

#include <string>

#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::image_of;

// The directory program names the files (keywords as token codes) and their first tracks;
// a file's lead byte comes from the reader; marks stand after 0 or 11 bytes, in a flat or a
// bitstream image. Files whose tracks cannot be read say why.
TEST(hexdos, the_directory_program_names_the_files) {
  const std::string hello = image_of(0x0B00, {{10, "\x97\"HI\""}});
  const std::vector<testing::record> lines(10, {1, std::string(240, 'B')});
  const std::string long_one = image_of(0x0B00, lines);  // 2,453 bytes: two tracks
  for (const std::size_t pad : {std::size_t{0}, std::size_t{11}}) {
    testing::fake_hexdos disk(pad);
    disk.directory({{2,
                     "\x97"
                     "ER"},
                    {3, "LONG"},
                    {5, "T\x8E"},
                    {7, "BACK"},
                    {6, "FAR"}},
                   45);
    disk.file(2, hello);
    disk.file(3, long_one);
    disk.disk().raw_track(5, testing::bytes_t(2100, 0x57));  // no mark 57 05
    for (const bool bitstream : {false, true}) {
      testing::opened_volume v(bitstream ? disk.disk().bitstream(0) : disk.disk().flat());
      ASSERT_TRUE(v.disk) << pad << bitstream;
      EXPECT_EQ(v.directory(),
                "DIRECTORY 1-1 BASIC $0B00 50 bytes\n"
                "PRINTER 2-2 BASIC $0B00 13 bytes\n"
                "LONG 3-4 BASIC $0B00 2453 bytes\n"
                "TREM 5-6 unreadable: track 5 has no track header\n"
                "BACK 7-5 unreadable: first track 7 lies after last track 5\n"
                "FAR 6-44 unreadable: track 44 lies beyond the disk's last track 39\n")
          << pad << bitstream;
      EXPECT_EQ(v.program("printer"), hello);
      EXPECT_EQ(v.program("LONG"), long_one);
    }
  }
}

}  // namespace
}  // namespace brenvik::disk
