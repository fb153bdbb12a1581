// OS65D disk images read the plain way, for checking what brenvik wrote without asking its
// own disk reader: tracks at fixed places, frames decoded bit by bit, sector 1 of a track
// found by its marks.
#pragma once

#include <cstddef>
#include <string>

namespace brenvik::testing {

struct disk_layout {
  bool bitstream = false;
  std::size_t first_track = 0;  // offset of track 0 in the file
  std::size_t track_size = 0;   // bytes a track takes in the file
};

// The layout of a flat 5.25" or 8" image, or of a bitstream image by its header.
inline disk_layout layout_of(const std::string& image) {
  if (image.starts_with("OSIDISKBITSTREAM")) {
    return {true, static_cast<unsigned char>(image[18]) * std::size_t{256},
            image[17] == 1 ? std::size_t{0x1500} : std::size_t{0xD00}};
  }
  return {false, 0, image.size() >= 295680 ? std::size_t{3840} : std::size_t{2304}};
}

// Track `number` as the controller delivers it: a flat track as it stands; a bitstream
// track's frames (a 0 start bit after idle 1 bits, 8 data bits from the lowest, parity and
// stop bit skipped).
inline std::string track_bytes(const std::string& image, int number) {
  const disk_layout layout = layout_of(image);
  std::string raw = image.substr(
      layout.first_track + layout.track_size * static_cast<std::size_t>(number), layout.track_size);
  if (!layout.bitstream) return raw;
  const auto bit = [&](std::size_t at) {
    return (static_cast<unsigned char>(raw[at / 8]) >> (7 - at % 8) & 1) != 0;
  };
  std::string bytes;
  for (std::size_t at = 0; at + 11 <= raw.size() * 8;) {
    if (bit(at)) {
      ++at;
      continue;
    }
    unsigned value = 0;
    for (std::size_t i = 0; i < 8; ++i)
      value |= (bit(at + 1 + i) ? 1u : 0u) << i;
    bytes += static_cast<char>(value);
    at += 11;
  }
  return bytes;
}

// The data of sector 1 of track `number`: after the track header 43 57 <BCD> 58 and the
// sector mark 76 01 <pages>. Empty when the marks are not there.
inline std::string sector_data(const std::string& image, int number) {
  const std::string track = track_bytes(image, number);
  const char header[] = {0x43, 0x57, static_cast<char>((number / 10) << 4 | number % 10), 0x58};
  const std::size_t at = track.find(std::string(header, 4));
  if (at == std::string::npos) return {};
  const std::size_t mark = track.find(std::string("\x76\x01", 2), at + 4);
  if (mark == std::string::npos || mark + 3 > track.size()) return {};
  const std::size_t size = static_cast<unsigned char>(track[mark + 2]) * std::size_t{256};
  return track.substr(mark + 3, size);
}

// The file on tracks `first` to `last`, one sector a track.
inline std::string file_data(const std::string& image, int first, int last) {
  std::string file;
  for (int track = first; track <= last; ++track)
    file += sector_data(image, track);
  return file;
}

}  // namespace brenvik::testing
