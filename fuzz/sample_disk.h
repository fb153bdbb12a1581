// The small disk the disk fuzz targets start from, in each of its four forms: a directory,
// a BASIC program, one moved up past machine code, a data file and free formatted tracks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "disk_images.h"
#include "images.h"

namespace brenvik::fuzzing {

// Form 0-3: flat or bitstream (bit 0), 5.25" or 8" (bit 1).
inline std::string make_sample_disk(unsigned form) {
  using testing::bcd;
  testing::fake_disk disk((form & 2) != 0);
  const std::size_t track_bytes = disk.sector_size();
  disk.directory({{"OS65D3", 0, bcd(7)},
                  {"HELLO", bcd(14), bcd(14)},
                  {"MOVED", bcd(15), bcd(16)},
                  {"DATA", bcd(17), bcd(17)}});
  disk.file(
      14, testing::basic_file(0x327E, testing::image_of(0x327E, {{10, "\x97\"HI\""}, {20, "\x80"}}),
                              track_bytes));
  disk.file(15, testing::basic_file(0x3A90, testing::image_of(0x3A90, {{5, "\x94!"}}), track_bytes,
                                    0xEA));
  disk.file(17, testing::bytes_t(100, 'D'));
  for (int track = 20; track < 24; ++track)
    disk.format(track, {testing::bytes_t(track_bytes, 0)});
  return (form & 1) != 0 ? disk.bitstream(0) : disk.flat();
}

inline const std::string& sample_disk(unsigned form) {
  static const std::string forms[] = {make_sample_disk(0), make_sample_disk(1), make_sample_disk(2),
                                      make_sample_disk(3)};
  return forms[form % 4];
}

// Patches `image` as the fuzzer's bytes from `from` on say: runs of 3-byte offset, 1-byte
// length and that many bytes; then cuts it at `cut` when `cut_it`.
inline void patch(std::string& image, const uint8_t* data, std::size_t size, std::size_t from,
                  std::size_t cut, bool cut_it) {
  for (std::size_t at = from; at + 4 <= size;) {
    const std::size_t offset =
        (data[at] | std::size_t{data[at + 1]} << 8 | std::size_t{data[at + 2]} << 16) %
        image.size();
    const std::size_t length = data[at + 3];
    at += 4;
    for (std::size_t i = 0; i < length && at < size && offset + i < image.size(); ++i)
      image[offset + i] = static_cast<char>(data[at++]);
  }
  if (cut_it) image.resize(std::min(cut, image.size()));
}

}  // namespace brenvik::fuzzing
