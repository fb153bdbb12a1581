// HEXDOS on a disk image (C1P; ROM BASIC with its program area moved to $0B00). Every track
// but track 0 is the mark 57 <track number in binary>, after a few stray bytes (0 or 11 on
// the disks known), then 2048 bytes of memory; there are no sectors. Track 1 is the
// directory, itself a BASIC program at $0B00: each line's number is the first track of a
// file and its text the file's name as typed (so keywords in it are token codes); the last
// line, `*` alone, gives the first free track. A file runs from its first track to the track
// before the next file's and holds memory from $0B01 on: the lead byte 00 at $0B00 is not on
// the disk, and no header or length is either.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "disk/container.h"
#include "disk/volume.h"

namespace brenvik::disk {

inline constexpr uint16_t hexdos_load_address = 0x0B00;
inline constexpr std::size_t hexdos_track_bytes = 2048;
inline constexpr int hexdos_directory_track = 1;

class hexdos_volume final : public volume {
 public:
  // `image` must outlive the volume.
  hexdos_volume(image_bytes& image, const geometry& shape) : image_(image), shape_(shape) {}

  const geometry& shape() const override { return shape_; }
  const char* dos() const override { return "HEXDOS"; }
  track_framing framing() const override { return track_framing::hexdos; }
  int directory_track() const override { return hexdos_directory_track; }
  int basic_version() const override { return 0; }

  // The directory program itself, named DIRECTORY (track 1), then one entry per file in the
  // directory's order, named by its line's text with the keywords written out. A file whose
  // tracks run backwards or past the disk has their problem. The problem with track 1 when
  // it cannot be read or holds no chain of line links.
  problem read_directory(std::vector<entry>& entries) override;
  // The program of an entry: its chain of links from $0B01, reading as many tracks as the
  // chain needs, with the lead byte 00 put in front of the bytes read, so that `bytes`
  // holds the memory from $0B00 on.
  problem entry_program(const entry& e, std::optional<basic_program>& program,
                        std::vector<unsigned char>& bytes) override;

  // Where the 2048 bytes of memory on track `number` start in its decoded bytes, or the
  // problem: no mark (57 and the number, within the first 32 bytes and not inside an OS65D
  // header 43 57 <track> 58, with 2048 bytes after it), or frame errors in mark and data.
  problem track_data(int number, std::size_t& data);
  // True when track `number` carries its mark, whatever else is wrong with it.
  bool has_mark(int number);
  // The track, read and decoded once.
  const track& decoded_track(int number);

 private:
  image_bytes& image_;
  geometry shape_;
  std::map<int, track> tracks_;
};

}  // namespace brenvik::disk
