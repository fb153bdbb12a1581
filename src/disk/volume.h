// A disk read through its DOS: the entries of its directory, the BASIC programs they hold,
// and the facts a directory listing needs. Each DOS (os65d.h, picodos.h, hexdos.h) is one
// kind of volume; the conversion run sees only this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk/container.h"
#include "disk/track_check.h"

namespace brenvik::disk {

// What keeps a disk, an entry or a track from being read.
struct problem {
  enum kind_t {
    none,
    no_track_header,       // track: no 43 57 <track> 58 in it
    frame_errors,          // track, count: parity or stop bits broken in its header or sectors
    no_sector,             // track, count: the sector number looked for
    unreadable,            // track: the file ends or fails there
    not_bcd,               // count: the track byte
    beyond_disk,           // track; count: the disk's last track
    first_after_last,      // track: the first; count: the last
    no_directory_program,  // track: it holds no chain of line links (HEXDOS's directory)
    // Why a disk holds no DOS this reader knows:
    unformatted,    // no track has a track header or a HEXDOS track mark
    no_dos,         // OS65D framing, but no directory (`cause`, track, count) and no Pico-DOS slot
    broken_hexdos,  // HEXDOS track marks, but no directory (`cause`, track, count)
    not_read_raw,   // the DOS's files are not read as raw bytes (HEXDOS)
  } kind = none;
  int track = -1;
  int count = 0;
  kind_t cause = none;  // no_dos, broken_hexdos: the directory's own problem
};

// Where a BASIC program lies in a file: the program area starts at offset `area` (its lead
// byte) and is `length` bytes long, lead byte to end marker; `load_address` is its address.
struct basic_program {
  uint16_t load_address = 0;
  std::size_t area = 0;
  std::size_t length = 0;
};

// A directory name without the spaces that pad it to its width ("DATA  " is "DATA").
inline std::string_view without_padding(std::string_view name) {
  return name.substr(0, name.find_last_not_of(' ') + 1);
}

// One used entry of a directory.
struct entry {
  int slot = 0;        // its place in the directory
  std::string name;    // as the directory holds it (OS65D: six characters, space-padded)
  std::string tracks;  // as the directory listing shows them: "14-14"
  int first = -1;      // the tracks, when they can be read; -1 otherwise
  int last = -1;
  unsigned char first_byte = 0;  // the tracks as the directory holds them (OS65D: BCD)
  unsigned char last_byte = 0;
  problem track_problem;  // why they cannot

  // True when `given` names this entry: letters in either case, trailing spaces ignored.
  bool is_named(std::string_view given) const;
  // True when `given` is the entry's name as it stands, trailing spaces ignored.
  bool is_named_exactly(std::string_view given) const;
};

class disk_writer;

class volume {
 public:
  virtual ~volume() = default;

  virtual const geometry& shape() const = 0;
  // The DOS's name, for messages: "OS65D", "Pico-DOS", "HEXDOS".
  virtual const char* dos() const = 0;
  // The track that holds the directory; -1 when the DOS keeps none (Pico-DOS).
  virtual int directory_track() const = 0;
  // How the DOS frames its tracks: OS65D's headers and sectors, or HEXDOS's marks.
  virtual track_framing framing() const { return track_framing::os65d; }
  // The row a program is listed with when its load address names none: the DOS's own BASIC.
  virtual int basic_version() const = 0;

  // The used entries in directory order, or the problem that keeps the directory from
  // being read: read from the disk at each call (entries() keeps them).
  virtual problem read_directory(std::vector<entry>& entries) = 0;

  // The used entries, read once and kept until the directory is written (a writer then calls
  // forget_directory()); directory_problem() says why there are none.
  const std::vector<entry>& entries();
  const problem& directory_problem();
  void forget_directory() { directory_read_ = false; }

  // The BASIC program of an entry, reading only the tracks its chain of links needs: the
  // problem with its tracks, or `program` (none when the entry holds something else), with
  // `bytes` the file as far as it was read.
  virtual problem entry_program(const entry& e, std::optional<basic_program>& program,
                                std::vector<unsigned char>& bytes) = 0;

  // The file of an entry as the DOS loads it: the data of its tracks' sectors, in track
  // order (track 0, the DOS's boot track, gives its pages as they stand); the problem of the
  // first track that cannot be read.
  virtual problem entry_file(const entry& e, std::vector<unsigned char>& bytes);

  // The used entry that `name` names, if the directory has one: the one whose name it is as
  // it stands, else the first it names in either case.
  std::optional<entry> find_entry(std::string_view name);

  // The used entries that `given` names: the entry find_entry() finds; else, when `given`
  // holds * or ?, every entry it matches as a shell pattern (either case, trailing spaces
  // ignored), in directory order. Empty when none.
  std::vector<entry> find_entries(std::string_view given);

  // The other entries that claim some of `e`'s tracks besides track 0 and the directory
  // track, in directory order.
  std::vector<entry> overlapping(const entry& e);

  // The writer of this DOS into `file`, the image in memory this volume reads (both outlive
  // the writer); null for a DOS brenvik does not write (HEXDOS).
  virtual std::unique_ptr<disk_writer> writer(std::vector<unsigned char>& file);

  // The tracks a new file could take, ascending, given the directory's `entries`: by
  // default those free_tracks() leaves; on Pico-DOS the tracks of its empty slots whose
  // tracks hold sectors.
  virtual std::vector<int> free_space(const std::vector<entry>& entries);

 private:
  bool directory_read_ = false;
  std::vector<entry> entries_;
  problem directory_problem_;
};

// The tracks no entry covers, in ascending order, track 0 and the directory track aside:
// the room left on a disk of `tracks` tracks. An entry covers the tracks between its first
// and its last, whichever way round they stand, even when they are damaged.
std::vector<int> free_tracks(int tracks, int directory_track, const std::vector<entry>& entries);

// The longest run of consecutive tracks in `free` (ascending): its first track and its
// length, the first such run where several are as long; {-1, 0} when none is free.
struct track_run {
  int first = -1;
  int length = 0;
};
track_run longest_run(const std::vector<int>& free);

// What an entry holds: a BASIC program, something else, or nothing readable.
struct contents {
  enum kind_t { basic, other, unreadable } kind = other;
  basic_program program;  // basic
  problem why;            // unreadable
};
contents entry_contents(volume& disk, const entry& e);

// Opens the disk on `image`, identified as `shape`, with the DOS its contents show, told
// apart in this order:
//  - OS65D: its directory track holds sectors 1 and 2; where Pico-DOS slots hold programs
//    too, the directory must also look like one (every entry unused or named in printable
//    characters), since Pico-DOS puts program text on that track;
//  - Pico-DOS (5.25" only): OS65D's track framing and a program header 01 03 .. .. .. 00 in
//    sector 1 of the first track of at least one slot;
//  - HEXDOS (5.25" only): no OS65D header on track 1 but the mark 57 01 in its first bytes,
//    and a directory program on it.
// Returns null, with what was found in `why` (unformatted, no_dos, broken_hexdos), when it
// holds none of them.
std::unique_ptr<volume> open_volume(image_bytes& image, const geometry& shape, problem& why);

}  // namespace brenvik::disk
