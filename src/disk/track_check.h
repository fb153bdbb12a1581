// The check of a disk's tracks: what keeps the DOS from finding a track's sectors, or spoils
// their bytes, track by track, as values.
//
// OS65D framing (OS65D and Pico-DOS disks): every track but track 0 starts with its header
// 43 57 <track in BCD> 58 (stray bytes may come first), then its sectors 76 <number> <pages>,
// the pages, 47 53, numbered from 1, each within a few stray bytes of the one before. A track
// formatted and never written holds its header alone: that is no finding. HEXDOS framing:
// every track but track 0 starts, within its first 32 bytes, with 57 <track in binary>.
// Track 0 (the boot track) has no header; it is checked only for broken frames.
#pragma once

#include <vector>

#include "disk/container.h"
#include "image_bytes.h"

namespace brenvik::disk {

// One thing found wrong with a disk. The kinds are open for more (the directory's findings):
// each says which of track, sector and count it fills.
struct finding {
  enum kind_t {
    unreadable,          // track: the image's file ends or fails there
    unformatted,         // track: no frames, or nothing but zeros
    no_track_header,     // track: bytes, but no header of any track
    wrong_track_number,  // track; count: the byte where its header holds the track number
    no_end_mark,         // track, sector: a sector mark 76 <sector> <pages>, but no 47 53 after
                         // its pages
    frame_errors,        // track, sector; count: frames with a broken parity or stop bit, in
                         // the header (sector 0), a sector, or elsewhere on the track (-1)
  } kind = unreadable;
  int track = -1;
  int sector = -1;
  int count = 0;

  bool operator==(const finding&) const = default;
};

enum class track_framing { os65d, hexdos };

// Reads every track of `disk` (identified on `image`) once and returns what is wrong with
// them, by track ascending; within a track the header, the sectors in order, a sector without
// its end mark, then frame errors elsewhere. Nothing for a sound disk.
std::vector<finding> check_tracks(image_bytes& image, const geometry& disk,
                                  track_framing framing = track_framing::os65d);

}  // namespace brenvik::disk
