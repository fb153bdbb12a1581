// A disk in the other form: the bytes of a whole new image file that holds the same tracks.
//
// Flat to bitstream: the 19-byte header (signature, version 1, the disk type from the flat
// size, track 0 at block 1), idle line (FF) up to track 0's block, and every track as frames
// where the real bitstream disks have them, the rest of the track idle:
//  - a track with its header 43 57 <track> 58: the header at the first bit (1,476 on 5.25",
//    798 on 8"), then each of its sectors (76 <number> <pages>, the data, 47 53), after 248
//    idle bits following the header and 250 or 248 (8": 500 or 498) following sectors 1, 3,
//    5, ... or 2, 4, ...; the stray bytes the flat image holds before the header and between
//    sectors are dropped. The bytes after the last sector (after the header on a track
//    without sectors) follow as one more run of frames when they reach further than stray
//    bytes do (a sector cut short, data the DOS left there), up to their last non-zero byte;
//    a track formatted and never written stays its header alone, and takes a sector later;
//  - track 0 (the boot track), a HEXDOS track (57 <track>) and any other track without the
//    header: one unbroken run of frames of its bytes from the first bit, up to the last
//    non-zero byte (on track 0 at least the 3 + 256 x pages bytes its boot header gives);
//    a track of zeros, unformatted, is idle line.
// Bitstream to flat: each track's decoded bytes from the start of the track (on the real
// disks: the header, then the sectors one after another), zeros after them, as the real flat
// images hold after the last sector; a track without frames is zeros.
//
// Sectors therefore survive both ways byte for byte. What does not fit (more frames than a
// flat track has bytes; a flat track whose runs need more bits than the line has) is cut at
// the track's end and said in `cut`.
#pragma once

#include <cstddef>
#include <vector>

#include "disk/container.h"
#include "image_bytes.h"

namespace brenvik::disk {

// The bits where the first frame of every track starts, on 5.25" and 8" bitstream disks.
inline constexpr std::size_t first_frame_bit_5 = 1476;
inline constexpr std::size_t first_frame_bit_8 = 798;

// A track that did not fit the new form: `bytes` of it are left out, from its end.
struct cut_track {
  int track = 0;
  std::size_t bytes = 0;
};

// Why a disk cannot be converted.
struct conversion_problem {
  enum kind_t {
    none,
    no_flat_form,  // an 80-track bitstream disk: flat images hold 40 or 77 tracks
    unreadable,    // track: the image's file ends or fails there
  } kind = none;
  int track = -1;
};

// Makes `file`, the bytes of a new image of `disk` (identified on `image`) in form `to`, and
// lists in `cut` the tracks that did not fit whole. A disk already in form `to` is copied
// as it is.
conversion_problem convert_form(image_bytes& image, const geometry& disk, form to,
                                std::vector<unsigned char>& file, std::vector<cut_track>& cut);

// The same for an image file held in memory, `file` of geometry `shape`: the new image's
// bytes, `made` its geometry (`made` may be `shape` itself). Nothing, with `made` unchanged,
// when the disk has no form `to` (an 80-track disk as flat) or a track did not fit whole.
std::vector<unsigned char> convert_form(const std::vector<unsigned char>& file,
                                        const geometry& shape, form to, geometry& made);

}  // namespace brenvik::disk
