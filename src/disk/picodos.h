// Pico-DOS on a disk image (C1P, ROM BASIC): OS65D's track framing (os65d.h), one sector of 8
// pages a track, and no directory. Program k lies in slot k, the four tracks 4k-1 to 4k+2
// (tracks 1 and 2 hold the DOS), and the DOS loads it by that number. A file is a header -
// start $0301, end (the address after the end marker, or one more), track count 4 - and the
// memory from $0300 on: the program area, then whatever memory held.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/container.h"
#include "disk/os65d.h"
#include "disk/volume.h"

namespace brenvik::disk {

inline constexpr unsigned picodos_file_address = 0x02FB;  // the header's place: $0300 - 5
inline constexpr uint16_t picodos_load_address = 0x0300;
inline constexpr int slot_track_count = 4;
inline constexpr int slot_sector_pages = 8;  // one sector a track
inline constexpr std::size_t slot_bytes = std::size_t{slot_track_count} * slot_sector_pages * 256;
inline constexpr int dos_tracks = 2;  // tracks 1 and 2, after the boot track

// The first track of slot `slot` (1, 2, ...).
constexpr int slot_first_track(int slot) {
  return slot_track_count * slot - 1;
}

// How many slots a disk of `tracks` tracks holds whole: 9 on 40 tracks.
constexpr int slot_count(int tracks) {
  return tracks <= dos_tracks ? 0 : (tracks - dos_tracks - 1) / slot_track_count;
}

class picodos_volume final : public volume {
 public:
  // `image` must outlive the volume.
  picodos_volume(image_bytes& image, const geometry& shape) : disk_(image, shape) {}

  os65d_disk& disk() { return disk_; }
  const geometry& shape() const override { return disk_.shape(); }
  const char* dos() const override { return "Pico-DOS"; }
  int directory_track() const override { return -1; }
  int basic_version() const override { return 0; }

  // The used slots in order, each named by its number ("3") with its four tracks; then any
  // program found off the slots, on a track that no used slot holds, named by its track
  // ("T36"). A slot is used when sector 1 of its first track begins with a program header.
  // Never a problem: a disk without programs has no entries.
  problem read_directory(std::vector<entry>& entries) override;
  problem entry_program(const entry& e, std::optional<basic_program>& program,
                        std::vector<unsigned char>& bytes) override;

  // The tracks of the slots that no entry holds and whose tracks a program can be written
  // to (track_writable).
  std::vector<int> free_space(const std::vector<entry>& entries) override;
  std::unique_ptr<disk_writer> writer(std::vector<unsigned char>& file) override;
  problem entry_file(const entry& e, std::vector<unsigned char>& bytes) override;

  // Whether a program can be written to `track`: it holds sectors, or it is formatted and
  // never written (a header and no sector), as the tracks after the last used slot often
  // are, and a save gives it its sector.
  bool track_writable(int track);

  // True when sector 1 of `track` begins with a program header: start $0301 and the lead
  // byte 00 at file offset 5. Frame errors do not hide it; reading the program says them.
  bool holds_header(int track);

  // The slot that `name` names ("1" to the last slot, used or not), or 0.
  int slot_named(const std::string& name) const;

 private:
  os65d_disk disk_;
};

}  // namespace brenvik::disk
