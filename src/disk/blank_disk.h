// A blank OS65D data disk, as OS65D formats one: every track but track 0 holds its header
// 43 57 <track> 58 and sector 1 of a whole track's pages (8 on 5.25", 12 on 8", as the tracks
// of BASIC programs on the real disks), its data zeros; the directory track (12, on 8" 8)
// holds instead the directory's two sectors of one page each, every entry unused
// (23 23 23 23 23 23 00 00, as real disks write them).
//
// No DOS is on it: track 0 is left unformatted (zeros, or idle line in a bitstream), as on
// the blank emulator disks (empty.os5, empty.os8), so no entry names a DOS and every track but
// 0 and the directory track is free. A system disk in drive A serves LOAD and SAVE from such
// a disk in drive B; it cannot boot.
#pragma once

#include <vector>

#include "disk/container.h"

namespace brenvik::disk {

// The bytes of a new image file of a blank data disk: 40 tracks (5.25") or 77 (8"), flat or
// bitstream (the flat tracks laid out as convert_form lays them).
std::vector<unsigned char> blank_disk(bool eight_inch, form kind);

}  // namespace brenvik::disk
