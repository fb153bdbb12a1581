// Storing BASIC programs into a disk image held in memory.
//
// A program goes into its entry's own tracks, or into a new entry on free tracks. The file
// is the memory image OS65D loads at $3279: a header (start = load address + 1, end = the
// address after the end marker + 1, track count = tracks needed for $3279 to end), the
// memory in front of the program area (kept as it was; zeros in a new file), the program
// area, and zeros to the end of the last track the header counts. As OS65D's own save does,
// only those tracks are written: the entry's other tracks are left as they are, whatever
// they hold. Only the data bytes of the file's sectors and, for a new entry, its directory
// entry change: in a bitstream image the data and parity bits of their frames. An entry
// that covers track 0 or the directory track is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "disk/container.h"
#include "disk/os65d.h"

namespace brenvik::disk {

// Why a program cannot be stored.
struct store_problem {
  enum kind_t {
    none,
    entry_unreadable,  // `tracks` says why
    system_track,      // the entry covers track `tracks.track`: track 0 or the directory's
    below_file,        // the load address lies below the file's memory ($327E on)
    too_big,           // needs `needed` bytes, the entry's tracks hold `available`
    no_free_entry,     // the directory is full
    no_free_tracks     // no run of `tracks_needed` free, formatted tracks
  } kind = none;
  problem tracks;
  std::size_t needed = 0;
  std::size_t available = 0;
  int tracks_needed = 0;
};

// The first address a BASIC file's memory holds: $327E, after the 5-byte header at $3279.
inline constexpr uint16_t first_file_address = file_load_address + file_header_size;

// Whether `name` is one OS65D can store: 1 to 6 characters, upper case letters, digits and
// the punctuation of real names (* / - and the like), a space only inside.
bool is_storable_name(const std::string& name);

class disk_writer {
 public:
  // `file` is the whole image file in memory and `disk` reads it; both outlive the writer.
  disk_writer(std::vector<unsigned char>& file, os65d_disk& disk) : file_(file), disk_(disk) {}

  // The load address of the BASIC program the entry holds now, if it holds one.
  std::optional<uint16_t> program_address(const directory_entry& entry);

  // Stores the program area `program` (lead byte to end marker) for `load_address` under
  // `name`: into the entry of that name, or a new one. Returns the problem that kept it out,
  // with the image unchanged.
  store_problem store(const std::string& name, uint16_t load_address,
                      std::span<const unsigned char> program);

  // The disk as it is now.
  os65d_disk& disk() { return disk_; }

 private:
  struct place {
    int track;
    std::size_t index;  // in the track's bytes
  };
  // Where each byte of the file on tracks `first` to `last` lies; a problem if unreadable.
  problem file_places(int first, int last, std::vector<place>& places);
  void write(const std::vector<place>& places, std::span<const unsigned char> bytes);
  store_problem new_entry(const std::string& name, std::size_t file_size, directory_entry& made);

  std::vector<unsigned char>& file_;
  os65d_disk& disk_;
};

// The header and contents of a BASIC file of `file_size` bytes: `old` (the file now, or
// empty) with the program area placed for `load_address`, the bytes in front kept.
std::vector<unsigned char> basic_file_bytes(std::span<const unsigned char> old,
                                            std::size_t file_size, uint16_t load_address,
                                            std::span<const unsigned char> program,
                                            std::size_t track_bytes);

}  // namespace brenvik::disk
