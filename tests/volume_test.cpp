#include "disk/volume.h"

#include <gtest/gtest.h>

#include <string>

#include "disk_images.h"
#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::bytes_t;
using testing::fake_disk;
using testing::image_of;

// The DOS comes from the disk's contents, in either container; a disk of none says what it
// holds.
TEST(volume, the_dos_is_told_by_content) {
  const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}});
  fake_disk os65d;
  os65d.directory({{"HELLO", testing::bcd(14), testing::bcd(14)}});
  testing::fake_picodos picodos;
  picodos.program(2, hello);
  testing::fake_picodos text_on_12 = picodos;  // where OS65D keeps its directory's sectors
  text_on_12.disk().format(12, {bytes_t(256, 0x97), bytes_t(256, 0x8A)});
  fake_disk eight_inch(true);
  eight_inch.file(3, testing::picodos_file(hello));
  testing::fake_hexdos hexdos(11);
  hexdos.directory({{2, "HELLO"}}, 3);
  testing::fake_hexdos no_directory;
  no_directory.memory(1, {0x20, 0x20, 0x20});
  fake_disk track_1;  // its header 43 57 01 58 holds 57 01, which is no HEXDOS mark
  track_1.format(1, {bytes_t(2048, 0)});

  const std::string blank = "no track has a track header (a blank or unformatted disk?)";
  const std::pair<std::string, std::string> rows[] = {
      {os65d.flat(), "OS65D"},
      {picodos.disk().flat(), "Pico-DOS"},
      {picodos.disk().bitstream(1), "Pico-DOS"},
      {text_on_12.disk().flat(), "Pico-DOS"},
      {hexdos.disk().flat(), "HEXDOS"},
      {hexdos.disk().bitstream(0), "HEXDOS"},
      {fake_disk().flat(), blank},
      {fake_disk(true).bitstream(), blank},
      {testing::fake_picodos().disk().flat(),
       "no OS65D directory (track 12 has no sector 2) and no program in a Pico-DOS slot"},
      {eight_inch.flat(),
       "no OS65D directory (track 8 has no track header) and no program in a Pico-DOS slot"},
      {no_directory.disk().flat(),
       "HEXDOS track marks, but track 1 holds no directory (no chain of line links)"},
      {track_1.flat(),
       "no OS65D directory (track 12 has no track header) and no program in a Pico-DOS slot"},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    testing::opened_volume v(rows[i].first);
    EXPECT_EQ(v.disk ? std::string(v.disk->dos()) : describe(v.why), rows[i].second) << i;
  }
}

}  // namespace
}  // namespace brenvik::disk
