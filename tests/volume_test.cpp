#include "disk/volume.h"

#include <gtest/gtest.h>

#include <string>

#include "disk_images.h"
#include "dos_images.h"
#include "images.h"

namespace brenvik::disk {
namespace {

using testing::bcd;
using testing::bytes_t;
using testing::fake_disk;
using testing::fake_hexdos;
using testing::fake_picodos;
using testing::image_of;
using testing::opened_volume;

// The DOS comes from the disk's contents, in either container; a disk of none says what it
// holds.
TEST(volume, the_dos_is_told_by_content) {
  const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}});
  fake_disk os65d;
  os65d.directory({{"HELLO", bcd(14), bcd(14)}});
  os65d.file(14, testing::basic_file(0x327E, image_of(0x327E, {{10, "\x80"}}), 2048));
  fake_picodos picodos;
  picodos.program(2, hello);
  // Program text where OS65D keeps its directory: sectors 1 and 2 on track 12.
  fake_picodos text_on_12 = picodos;
  text_on_12.disk().format(12, {bytes_t(256, 0x97), bytes_t(256, 0x8A)});
  fake_picodos no_programs;
  fake_disk eight_inch(true);
  eight_inch.file(3, testing::picodos_file(hello));
  fake_hexdos hexdos;
  hexdos.directory({{2, "HELLO"}}, 3);
  fake_hexdos marks_at_11(11);
  marks_at_11.directory({{2, "HELLO"}}, 3);
  fake_hexdos no_directory;
  no_directory.memory(1, {0x20, 0x20, 0x20});
  fake_disk os65d_track_1;  // its header holds 57 01, which is no HEXDOS mark
  os65d_track_1.format(1, {bytes_t(2048, 0)});

  struct row {
    const char* what;
    std::string image;
    std::string dos;  // or what `why` says
  };
  const row rows[] = {
      {"OS65D", os65d.flat(), "OS65D"},
      {"Pico-DOS flat", picodos.disk().flat(), "Pico-DOS"},
      {"Pico-DOS bitstream", picodos.disk().bitstream(1), "Pico-DOS"},
      {"Pico-DOS, program text on track 12", text_on_12.disk().flat(), "Pico-DOS"},
      {"HEXDOS", hexdos.disk().flat(), "HEXDOS"},
      {"HEXDOS, marks at 11", marks_at_11.disk().flat(), "HEXDOS"},
      {"HEXDOS bitstream", marks_at_11.disk().bitstream(0), "HEXDOS"},
      {"blank", fake_disk().flat(), "no track has a track header (a blank or unformatted disk?)"},
      {"blank bitstream", fake_disk(true).bitstream(),
       "no track has a track header (a blank or unformatted disk?)"},
      {"Pico-DOS without programs", no_programs.disk().flat(),
       "no OS65D directory (track 12 has no sector 2) and no program in a Pico-DOS slot"},
      {"a Pico-DOS program on an 8\" disk", eight_inch.flat(),
       "no OS65D directory (track 8 has no track header) and no program in a Pico-DOS slot"},
      {"HEXDOS without directory", no_directory.disk().flat(),
       "HEXDOS track marks, but track 1 holds no directory (no chain of line links)"},
      {"OS65D header on track 1", os65d_track_1.flat(),
       "no OS65D directory (track 12 has no track header) and no program in a Pico-DOS slot"},
  };
  for (const row& r : rows) {
    opened_volume v(r.image);
    if (v.disk) {
      EXPECT_EQ(v.disk->dos(), r.dos) << r.what;
    } else {
      EXPECT_EQ(describe(v.why), r.dos) << r.what;
    }
  }
}

}  // namespace
}  // namespace brenvik::disk
