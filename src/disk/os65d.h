// OS65D on a disk image: tracks and sectors, the directory, and the files in it, with the
// BASIC programs they hold.
//
// Every track but track 0 starts with the header 43 57 <track in BCD> 58, then its sectors,
// each 76 <number> <pages>, that many 256-byte pages, 47 53; stray bytes may stand before
// the header and between sectors, so the marks are searched for. The directory is sectors 1
// and 2 of track 12 (track 8 on 8" disks): 64 entries of a 6-character name and the first
// and last track in BCD; a name starting with # marks an unused entry. A file is the data of
// its tracks' sectors, in order.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disk/container.h"
#include "disk/volume.h"

namespace brenvik::disk {

struct sector {
  int number = 0;
  int pages = 0;
  std::size_t data = 0;  // index in the track's bytes of its first data byte
  std::size_t size() const { return static_cast<std::size_t>(pages) * 256; }
};

// A directory entry's bytes: the name, then the first and last track in BCD.
inline constexpr std::size_t directory_name_size = 6;
inline constexpr std::size_t first_track_at = 6;
inline constexpr std::size_t last_track_at = 7;
inline constexpr std::size_t directory_entry_size = 8;

struct directory_entry {
  int slot = 0;                                         // 0-63, in the directory's order
  std::array<unsigned char, directory_name_size> name;  // as stored, padded with spaces
  unsigned char first_bcd = 0, last_bcd = 0;

  std::string name_text() const { return {name.begin(), name.end()}; }
  // Decodes the entry's BCD track numbers into `first` and `last`; the problem when they are
  // no BCD, lie beyond a disk of `disk_tracks` tracks, or run backwards.
  problem decode_tracks(int disk_tracks, int& first, int& last) const;
  // The entry as a volume shows it: tracks as the BCD bytes read ("1F-20" for damaged ones).
  entry as_entry(int disk_tracks) const;
};

constexpr unsigned char to_bcd(int value) {
  return static_cast<unsigned char>((value / 10) << 4 | value % 10);
}

// The file's memory image starts at this address: 2 bytes start, 2 bytes end, 1 byte track
// count, then memory from $327E.
inline constexpr unsigned file_load_address = 0x3279;
inline constexpr std::size_t file_header_size = 5;

// Looks for the BASIC program of a file in `prefix`, its first bytes (`whole`: all of it): a
// 00 at *start* - 1 and a chain of line links from *start* that stays inside the file (each
// link 5 to 255 bytes on) and ends in 00 00. `more` when the chain runs past the prefix. The
// file's first byte lies at `file_address` in memory (Pico-DOS files: $02FB).
enum class program_search { found, none, more };
program_search find_program(std::span<const unsigned char> prefix, bool whole, basic_program& found,
                            unsigned file_address = file_load_address);

// Where one byte of a file lies: its track, and its index in the track's bytes.
struct byte_place {
  int track;
  std::size_t index;
};

// A disk image opened for reading: its tracks are read, and decoded, only when asked for.
class os65d_disk {
 public:
  // `image` must outlive the disk.
  os65d_disk(image_bytes& image, const geometry& shape) : image_(image), shape_(shape) {}

  const geometry& shape() const { return shape_; }
  int directory_track() const { return shape_.eight_inch ? 8 : 12; }
  std::size_t program_sector_size() const { return shape_.eight_inch ? 12 * 256 : 8 * 256; }

  // The directory: the used entries in order (all 64 with `unused` too), or the problem
  // with its track.
  problem read_directory(std::vector<directory_entry>& entries, bool unused = false);

  // Where directory slot `slot` (0-63) lies in the directory track's bytes, `found` being
  // its sectors: slots 0-31 in the first page of sector 1, 32-63 in the first page of sector
  // 2, whatever size the sectors have. Reading and writing the directory both go by it.
  static std::size_t directory_slot_at(const std::vector<sector>& found, int slot);

  // The row of the disk's own OS65D BASIC, taken where a program's address names no row:
  // row 3 on 5.25" disks, row 4 on 8".
  int basic_version() const { return shape_.eight_inch ? 4 : 3; }

  // The track, read and decoded once (its bytes as the controller delivers them); its
  // sectors, or the problem with them.
  const track& decoded_track(int number);
  problem sectors(int number, std::vector<sector>& found);

  // The bytes of track 0 the DOS loads: its load address (high, low) and page count, then
  // that many pages; the problem when the track cannot be read.
  problem boot_bytes(std::vector<unsigned char>& bytes);

  // Appends to `bytes` the data of the sectors of tracks `first` to `last`, in order: the file
  // on them. The problem of the first track that cannot be read.
  problem data_of(int first, int last, std::vector<unsigned char>& bytes);

  // Where each data byte of the sectors of tracks `first` to `last` lies, in order: the
  // bytes of the file on them. The problem of the first track that cannot be read.
  problem data_places(int first, int last, std::vector<byte_place>& places);

  // Writes `bytes` at `places` into `file`, the image in memory that this disk reads, and
  // into the decoded tracks, so that later reads see them.
  void write_bytes(std::span<unsigned char> file, const std::vector<byte_place>& places,
                   std::span<const unsigned char> bytes);

  // Whether track `number` is formatted and never written, holding its header and no sector,
  // with room after the header for a sector of `pages` pages.
  bool takes_sector(int number, int pages);
  // Writes, as a save does onto such a track, sector 1 of `pages` pages of zeros right after
  // its header into `file` (as write_byte does), and reads the track again.
  void add_sector(std::span<unsigned char> file, int number, int pages);

  // Finds the BASIC program of the file on tracks `first` to `last`, loaded at `file_address`,
  // reading only as many tracks as its chain of links needs. `bytes` receives what was read
  // of the file.
  problem find_basic(int first, int last, std::optional<basic_program>& program,
                     std::vector<unsigned char>& bytes, unsigned file_address = file_load_address);

  // The same for a directory entry: its tracks' problem, or its program (none for an entry
  // on track 0, the DOS's boot tracks, which hold no file of sectors).
  problem entry_program(const directory_entry& entry, std::optional<basic_program>& program,
                        std::vector<unsigned char>& bytes);

 private:
  track& track_at(int number);
  // Where the header of track `number` lies in its bytes, if it has one.
  std::optional<std::size_t> header_at(int number);

  image_bytes& image_;
  geometry shape_;
  std::map<int, track> tracks_;
};

// The OS65D disk as a volume: its directory entries, with their tracks as the BCD bytes
// show them ("1F-20" for a damaged entry).
class os65d_volume final : public volume {
 public:
  // `image` must outlive the volume.
  os65d_volume(image_bytes& image, const geometry& shape) : disk_(image, shape) {}

  os65d_disk& disk() { return disk_; }
  const geometry& shape() const override { return disk_.shape(); }
  const char* dos() const override { return "OS65D"; }
  int directory_track() const override { return disk_.directory_track(); }
  int basic_version() const override { return disk_.basic_version(); }
  problem read_directory(std::vector<entry>& entries) override;
  problem entry_program(const entry& e, std::optional<basic_program>& program,
                        std::vector<unsigned char>& bytes) override;
  std::unique_ptr<disk_writer> writer(std::vector<unsigned char>& file) override;
  problem entry_file(const entry& e, std::vector<unsigned char>& bytes) override;

  // The first unused directory slot, or -1 when all 64 are used.
  int free_slot();

 private:
  os65d_disk disk_;
  std::vector<directory_entry> directory_;  // as read last, by slot
};

}  // namespace brenvik::disk
