// Pico-DOS and HEXDOS disks built from a few tracks, for tests, in both containers through
// fake_disk (disk_images.h); and a disk opened as the tool opens one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/disk_words.h"
#include "disk/container.h"
#include "disk/volume.h"
#include "disk_images.h"
#include "images.h"

namespace brenvik::testing {

// A Pico-DOS file: header (start $0301, end = address after the end marker + `end_extra`,
// 4 tracks), then the program area `image` at $0300.
inline bytes_t picodos_file(const std::string& image, unsigned end_extra = 1) {
  const unsigned end = 0x0300 + static_cast<unsigned>(image.size()) + end_extra;
  bytes_t file = {0x01, 0x03, static_cast<unsigned char>(end), static_cast<unsigned char>(end >> 8),
                  0x04};
  file.resize(5 + image.size());
  std::copy(image.begin(), image.end(), file.begin() + 5);
  return file;
}

// A 5.25" Pico-DOS disk: boot track, the DOS on tracks 1-2, slots 1-9 formatted with one
// sector of 8 pages a track (a few stray bytes in front), their bytes `stale`.
class fake_picodos {
 public:
  explicit fake_picodos(unsigned char stale = 0) : stale_(stale) {
    disk_.raw_track(0, {0x22, 0x00, 0x08});
    disk_.format(1, {bytes_t(2048, 0xA9)}, {0xFF});
    disk_.format(2, {bytes_t(2048, 0x60)});
    for (int slot = 1; slot <= 9; ++slot)
      put(4 * slot - 1, {});
  }
  void program(int slot, const std::string& image, unsigned end_extra = 1) {
    put(4 * slot - 1, picodos_file(image, end_extra));
  }
  // `file`, then stale bytes, on the four tracks from `first` on.
  void put(int first, bytes_t file) {
    file.resize(std::size_t{4} * 2048, stale_);
    for (std::ptrdiff_t i = 0; i < 4; ++i)
      disk_.format(first + static_cast<int>(i),
                   {bytes_t(file.begin() + i * 2048, file.begin() + (i + 1) * 2048)},
                   bytes_t(static_cast<std::size_t>(6 + i % 3), 0xFF));
  }
  fake_disk& disk() { return disk_; }

 private:
  unsigned char stale_;
  fake_disk disk_;
};

// A 5.25" HEXDOS disk: tracks 1-39 are `pad` zeros, the mark 57 <track>, 2048 bytes.
class fake_hexdos {
 public:
  explicit fake_hexdos(std::size_t pad = 0) : pad_(pad) {
    disk_.raw_track(0, {0x03, 0x00, 0x09});
    for (int number = 1; number < 40; ++number)
      memory(number, {});
  }
  void memory(int number, const bytes_t& bytes) {
    bytes_t track(pad_, 0);
    track.insert(track.end(), {0x57, static_cast<unsigned char>(number)});
    track.insert(track.end(), bytes.begin(), bytes.end());
    track.resize(pad_ + 2 + 2048, 0);
    disk_.raw_track(number, track);
  }
  // The program area `image` (made for $0B00) from track `first` on, without its lead byte.
  void file(int first, const std::string& image) {
    for (std::size_t at = 1; at < image.size(); at += 2048, ++first) {
      const std::string part = image.substr(at, 2048);
      memory(first, bytes_t(part.begin(), part.end()));
    }
  }
  // The directory: a line per file (first track, name as tokenized), then `*` and `free`.
  void directory(std::vector<record> files, unsigned free) {
    files.push_back({free, "\xA5"});
    file(1, image_of(0x0B00, files));
  }
  fake_disk& disk() { return disk_; }

 private:
  std::size_t pad_;
  fake_disk disk_;
};

// A disk image opened as the tool opens one: `disk` is null, and `why` says why, when it
// holds no DOS known.
struct opened_volume {
  explicit opened_volume(std::string image_bytes)
      : image(std::move(image_bytes)), bytes(image_in_memory(as_bytes(image))) {
    disk::container_problem problem;
    if (disk::identify(*bytes, shape, problem)) disk = disk::open_volume(*bytes, shape, why);
  }
  std::string image;
  std::unique_ptr<image_bytes> bytes;
  disk::geometry shape;
  disk::problem why;
  std::unique_ptr<disk::volume> disk;

  // The directory: name, tracks and contents per line.
  std::string directory() const {
    std::vector<disk::entry> entries;
    disk->read_directory(entries);
    std::string lines;
    for (const disk::entry& e : entries)
      lines += e.name + " " + e.tracks + " " + describe_contents(*disk, e) + "\n";
    return lines;
  }
  // The program area of entry `name` as read, or "".
  std::string program(const std::string& name) const {
    const auto entry = disk->find_entry(name);
    std::optional<disk::basic_program> found;
    std::vector<unsigned char> file;
    if (!entry || disk->entry_program(*entry, found, file).kind != disk::problem::none || !found)
      return "";
    return std::string(file.begin() + static_cast<std::ptrdiff_t>(found->area),
                       file.begin() + static_cast<std::ptrdiff_t>(found->area + found->length));
  }
};

}  // namespace brenvik::testing
