// OS65D disk images built from a few tracks, for tests: the same disk as a flat image or as
// a bitstream image.
#pragma once

#include <algorithm>
#include <array>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace brenvik::testing {

using bytes_t = std::vector<unsigned char>;

struct fake_entry {
  std::string name;  // padded to six characters with spaces
  unsigned char first_bcd;
  unsigned char last_bcd;
};

constexpr unsigned char bcd(int value) {
  return static_cast<unsigned char>((value / 10) << 4 | value % 10);
}

class fake_disk {
 public:
  explicit fake_disk(bool eight_inch = false) : eight_inch_(eight_inch) {}

  int tracks() const { return eight_inch_ ? 77 : 40; }
  std::size_t flat_track_size() const { return eight_inch_ ? 3840 : 2304; }
  std::size_t sector_size() const { return eight_inch_ ? 12 * 256 : 8 * 256; }
  int directory_track() const { return eight_inch_ ? 8 : 12; }

  // A track as the controller delivers it: `stray` bytes, the header, the sectors (numbered
  // from 1), each followed by 47 53.
  void format(int track, const std::vector<bytes_t>& sectors, const bytes_t& stray = {}) {
    bytes_t bytes = stray;
    bytes.insert(bytes.end(), {0x43, 0x57, bcd(track), 0x58});
    for (std::size_t i = 0; i < sectors.size(); ++i) {
      bytes.insert(bytes.end(), {0x76, static_cast<unsigned char>(i + 1),
                                 static_cast<unsigned char>(sectors[i].size() / 256)});
      bytes.insert(bytes.end(), sectors[i].begin(), sectors[i].end());
      bytes.insert(bytes.end(), {0x47, 0x53});
    }
    tracks_[track] = bytes;
  }

  void raw_track(int track, const bytes_t& bytes) { tracks_[track] = bytes; }

  // The directory track with these entries in its first slots; the other slots unused.
  void directory(const std::vector<fake_entry>& entries) {
    bytes_t pages(512);
    for (std::size_t slot = 0; slot < 64; ++slot) {
      unsigned char* entry = pages.data() + slot * 8;
      if (slot < entries.size()) {
        const std::string name = (entries[slot].name + "      ").substr(0, 6);
        std::copy(name.begin(), name.end(), entry);
        entry[6] = entries[slot].first_bcd;
        entry[7] = entries[slot].last_bcd;
      } else {
        std::fill(entry, entry + 6, '#');
      }
    }
    format(directory_track(), {bytes_t(pages.begin(), pages.begin() + 256),
                               bytes_t(pages.begin() + 256, pages.end())});
  }

  // A file from track `first` on: its bytes in program-sized sectors, one a track, the last
  // filled with zeros. Returns the last track.
  int file(int first, const bytes_t& bytes) {
    int track = first;
    for (std::size_t at = 0; at < bytes.size() || track == first; at += sector_size(), ++track) {
      bytes_t sector(sector_size());
      std::copy(
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at, bytes.size())),
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + sector_size(), bytes.size())),
          sector.begin());
      format(track, {sector});
    }
    return track - 1;
  }

  // The flat image: every track at its fixed offset, unformatted tracks zero.
  std::string flat() const {
    std::string image(flat_track_size() * static_cast<std::size_t>(tracks()), '\0');
    for (const auto& [track, bytes] : tracks_)
      std::copy(bytes.begin(), bytes.end(),
                image.begin() + static_cast<std::ptrdiff_t>(flat_track_size() *
                                                            static_cast<std::size_t>(track)));
    return image;
  }

  // The bitstream image: each track's bytes as frames after some idle bits, `idle` more idle
  // bits between frames, the rest of the track idle.
  std::string bitstream(int idle = 0) const {
    const std::size_t track_size = eight_inch_ ? 0x1500 : 0xD00;
    std::string image = "OSIDISKBITSTREAM";
    image += static_cast<char>(1);
    image += static_cast<char>(eight_inch_ ? 1 : 0);
    image += static_cast<char>(1);
    image.resize(256 + track_size * static_cast<std::size_t>(tracks()), '\xFF');
    for (const auto& [track, bytes] : tracks_) {
      // A 5.25" track holds 2420 frames without idle bits between them.
      if (bytes.size() * (11 + static_cast<std::size_t>(idle)) + 100 > track_size * 8) return {};
      std::size_t bit = (256 + track_size * static_cast<std::size_t>(track)) * 8 + 100;
      for (const unsigned char byte : bytes) {
        put_frame(image, bit, byte);
        bit += 11 + static_cast<std::size_t>(idle);
      }
    }
    return image;
  }

  // Writes a frame of `byte` at bit `bit` of `image`: start bit, data from bit 0, even
  // parity, stop bit.
  static void put_frame(std::string& image, std::size_t bit, unsigned char byte) {
    const auto set = [&](std::size_t at, bool one) {
      auto& b = reinterpret_cast<unsigned char&>(image[at / 8]);
      const auto mask = static_cast<unsigned char>(0x80u >> (at % 8));
      b = static_cast<unsigned char>(one ? b | mask : b & ~mask);
    };
    set(bit, false);
    int ones = 0;
    for (int i = 0; i < 8; ++i) {
      const bool one = ((byte >> i) & 1) != 0;
      ones += one ? 1 : 0;
      set(bit + 1 + static_cast<std::size_t>(i), one);
    }
    set(bit + 9, (ones & 1) != 0);
    set(bit + 10, true);
  }

 private:
  bool eight_inch_;
  std::map<int, bytes_t> tracks_;
};

// A BASIC file: the header (start, end, track count) and memory from $327E, the program
// area `image` (lead byte, records, end marker) at `load_address`, after `in_front` bytes.
inline bytes_t basic_file(unsigned load_address, const std::string& image, std::size_t track_bytes,
                          unsigned char in_front = 0) {
  const unsigned start = load_address + 1;
  const unsigned end = load_address + static_cast<unsigned>(image.size()) + 1;
  const std::size_t area = load_address - 0x3279;
  bytes_t file(area + image.size(), in_front);
  file[0] = static_cast<unsigned char>(start);
  file[1] = static_cast<unsigned char>(start >> 8);
  file[2] = static_cast<unsigned char>(end);
  file[3] = static_cast<unsigned char>(end >> 8);
  file[4] = static_cast<unsigned char>((end - 0x3279 + track_bytes - 1) / track_bytes);
  std::copy(image.begin(), image.end(), file.begin() + static_cast<std::ptrdiff_t>(area));
  return file;
}

inline std::span<const unsigned char> as_bytes(const std::string& image) {
  return {reinterpret_cast<const unsigned char*>(image.data()), image.size()};
}

}  // namespace brenvik::testing
