// Writing files into a disk image held in memory: the one interface that each writable DOS
// implements (OS65D: os65d_writer.h; Pico-DOS: picodos_writer.h). A writer changes only the
// data bytes of the sectors it writes and the directory bytes of the entries it changes: in a
// bitstream image the data and parity bits of their frames, so that nothing moves. What it
// cannot do it returns as a problem, with the image unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "disk/os65d.h"
#include "disk/volume.h"

namespace brenvik::disk {

// Why a file cannot be written, or an entry changed.
struct write_problem {
  enum kind_t {
    none,
    entry_unreadable,  // `tracks` says why
    system_track,      // the entry covers track `tracks.track`: track 0 or the directory's
    overlapping,       // the entry's tracks `first` to `last` are also `other`'s
    below_file,        // the load address lies below the file's memory ($327E on)
    too_big,           // needs `needed` bytes, the entry's tracks hold `available`
    file_too_big,      // a raw file of `needed` bytes, the entry's tracks hold `available`
    no_free_entry,     // the directory is full
    no_free_tracks,    // no run of `tracks_needed` free, formatted tracks
    no_such_slot,      // Pico-DOS: the name is a number, the slots are 1 to `slots`
    slot_address,      // Pico-DOS: programs lie at $0300 only
    no_empty_slot,     // Pico-DOS
    name_taken,        // another entry, `other`, has the name
    not_written,       // the DOS does not do this (Pico-DOS has no names to change)
  } kind = none;
  problem tracks;
  std::size_t needed = 0;
  std::size_t available = 0;
  int tracks_needed = 0;
  int slot = 0;   // Pico-DOS: the slot the problem is about
  int slots = 0;  // Pico-DOS: how many the disk has
  int first = -1;
  int last = -1;
  std::string other;
};

// The file header both DOSes write in front of a BASIC program: start (the address of the
// first line record), end (the address after the end marker, one more as most real files
// have it) and the track count, for a program area of `size` bytes at `load_address`.
std::array<unsigned char, file_header_size> basic_file_header(uint16_t load_address,
                                                              std::size_t size, int track_count);

class disk_writer {
 public:
  virtual ~disk_writer() = default;

  // Whether `name` can name a file of this DOS.
  virtual bool accepts_name(const std::string& name) const = 0;

  // Where a program stored under `name` must lie when the DOS decides it (Pico-DOS: $0300).
  virtual std::optional<uint16_t> fixed_load_address() const { return std::nullopt; }
  // What keeps a program from being stored under `name` at `load_address` (when given),
  // found before the program is made.
  virtual write_problem check_program(const std::string& name,
                                      std::optional<uint16_t> load_address) const = 0;

  // Stores the program area `program` (lead byte to end marker) for `load_address` under
  // `name`: into the entry of that name, or a new one.
  virtual write_problem store_program(const std::string& name, uint16_t load_address,
                                      std::span<const unsigned char> program) = 0;

  // Writes `data` as the file `name`, as OS65D loads a file (the data of its tracks' sectors,
  // in track order): into the entry of that name when it fits its tracks (the rest of them as
  // they were), else into a new entry on the first free run of formatted tracks, the rest of
  // its last track zeros.
  virtual write_problem put_file(const std::string& name, std::span<const unsigned char> data) = 0;

  // Marks the entry unused: its tracks become free; their bytes stay, as the DOS leaves them.
  virtual write_problem delete_entry(const entry& e) = 0;

  // Gives the entry the name `name`, which accepts_name() takes and no other entry has.
  virtual write_problem rename_entry(const entry& e, const std::string& name) = 0;

  // The name the file stored last is found under (on Pico-DOS its slot's number).
  const std::string& stored_as() const { return stored_as_; }

  // The tracks written so far, the directory's among them when it changed: what a read-back
  // of the written image needs to read, since every other byte is the read disk's.
  const std::set<int>& written_tracks() const { return written_; }

 protected:
  std::set<int> written_;
  std::string stored_as_;
};

}  // namespace brenvik::disk
