// The small Pico-DOS and HEXDOS disks the DOS fuzz target starts from, in their forms.
#pragma once

#include <string>

#include "dos_images.h"
#include "images.h"

namespace brenvik::fuzzing {

// Form 0-7: Pico-DOS or HEXDOS (bit 2), flat or bitstream (bit 0); HEXDOS's marks at offset
// 0 or 11 (bit 1). Pico-DOS: programs in slots 1 and 3, one off the slots on track 36, slot
// 2's tracks formatted and never written (a header, no sector), the other slots formatted
// and empty. HEXDOS: the directory, a program over two tracks, a file
// of machine code.
inline std::string make_sample_dos_disk(unsigned form) {
  using testing::image_of;
  const std::string lines = image_of(0x0300, {{10, "\x97\"HI\""}, {20, "\x80"}});
  if ((form & 4) == 0) {
    testing::fake_picodos disk(0xE5);
    disk.program(1, lines);
    disk.program(3, image_of(0x0300, {{5, std::string(240, 'A')}, {6, "B"}}), 0);
    disk.put(36, testing::picodos_file(lines));
    for (int track = 7; track <= 10; ++track)
      disk.disk().format(track, {}, {0xFF});
    return (form & 1) != 0 ? disk.disk().bitstream(0) : disk.disk().flat();
  }
  testing::fake_hexdos disk((form & 2) != 0 ? 11 : 0);
  disk.directory({{2, "HELLO"},
                  {3,
                   "\x97"
                   "ER"},
                  {5, "CODE"}},
                 6);
  disk.file(2, image_of(0x0B00, {{10, "\x97\"HI\""}}));
  std::vector<testing::record> long_lines;
  for (unsigned line = 0; line < 9; ++line)
    long_lines.push_back({line, std::string(240, 'C')});
  disk.file(3, image_of(0x0B00, long_lines));
  disk.memory(5, {0x4C, 0x00, 0x0B});
  return (form & 1) != 0 ? disk.disk().bitstream(0) : disk.disk().flat();
}

inline const std::string& sample_dos_disk(unsigned form) {
  static const std::string forms[] = {make_sample_dos_disk(0), make_sample_dos_disk(1),
                                      make_sample_dos_disk(2), make_sample_dos_disk(3),
                                      make_sample_dos_disk(4), make_sample_dos_disk(5),
                                      make_sample_dos_disk(6), make_sample_dos_disk(7)};
  return forms[form % 8];
}

}  // namespace brenvik::fuzzing
