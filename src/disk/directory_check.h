// Checking a disk's directory and the files it names: what a careful reader of the disk would
// point out, as values. Free tracks that still hold old data are normal on real disks (copies
// keep them) and are no finding.
#pragma once

#include <string>
#include <vector>

#include "disk/volume.h"

namespace brenvik::disk {

struct directory_finding {
  enum kind_t {
    unreadable_directory,   // `tracks` says why
    entry_out_of_range,     // `entry`'s tracks: `tracks` says how
    entry_on_system_track,  // `entry` covers `track`, track 0 or the directory's, and is no DOS
    entries_overlap,        // `entry` and `other` both claim tracks `first` to `last`
    broken_chain,           // `entry` holds a BASIC program whose chain of line links breaks
                            // at `first` (the record's address), linking to `last`; or, with
                            // `first` -1, runs past the end of the file
    unreadable_file,        // `entry`'s file: `tracks` says why
  } kind;
  std::string entry;
  std::string other;
  problem tracks;
  int track = -1;
  int first = -1;
  int last = -1;
};

// Reads the directory of `disk` and every file it names (each once), and returns what is
// wrong, in directory order. The entry that starts on track 0 is the DOS's own: it covers the
// boot tracks and the directory by right.
std::vector<directory_finding> check_directory(volume& disk);

}  // namespace brenvik::disk
