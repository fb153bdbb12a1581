// The image decoder: a tokenized program image in, a text listing out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>

#include "catalogue/catalogue.h"

namespace brenvik {

// When the version taken without -w is said: always; only where the load address is that of
// more than one row (or none), so that the address alone did not decide; or never (-q).
enum class version_note { always, where_address_leaves_choice, never };

// Where an image's program area lies in memory, and whose keywords it uses.
struct image_origin {
  int version = no_version;              // row of version_table, or -1 to detect it
  std::optional<uint16_t> load_address;  // address of the lead byte; none: the version's own
  int fallback_version = no_version;     // row taken when the address is no row's (disks)
  version_note note = version_note::always;
  bool lf_only = false;  // lines end in LF alone instead of CR LF
};

// Reads a tokenized program image and writes its listing to `out`: per line record the line
// number, a space, the text with every token code replaced by its keyword (codes beyond the
// version's list are dropped), then "\r\n". Messages go to `err`, in order with the listing.
//
// The version: `origin.version` when given. Otherwise it is detected from the first line
// link: the first row whose program area holds the link, among the rows whose load address
// is `origin.load_address` (every row when none is given), and said on `err`. At a load
// address that is no row's, `fallback_version` is taken and said; without one the image is
// rejected at once. The load address: `origin.load_address`, else the version's own.
//
// Any number of leading zero bytes is accepted, each as one more byte of program area
// before the first record. A zero low byte of the first link looks like one more lead byte,
// so the image is also read with one lead byte fewer, and the reading that gets further
// without a link error is taken: after a single zero byte only when the first reading fails
// at its first link; where both get equally far, the one with the lead byte fewer.
//
// Every link must lie between the position reached and 255 bytes above it. A zero byte
// inside a line is reported and listed as a space. Input of three or more zero bytes alone
// is an empty program: a lead byte and an end marker. A program occupies memory from its
// lead byte through the second byte of its end marker, which must lie at or below $FFFF.
//
// Returns 0 when the image ends with its end marker (what follows is not read), and -1 when
// it is rejected: no version fits, a link is outside its window, the input ends before the
// end marker, or the end marker lies past $FFFF (the lines read so far are listed, and the
// last line read is named). A read error ends the listing as a rejection, without a
// message, and stays on the stream. `refused_first_link`, when given, tells whether the
// image was refused at its very first line link, nothing of it listed: then the input may
// be no image at all.
int decode_image(FILE* in, FILE* out, FILE* err, const image_origin& origin,
                 bool* refused_first_link = nullptr);

// The same for an image in memory.
int decode_image(std::span<const unsigned char> image, FILE* out, FILE* err,
                 const image_origin& origin);

}  // namespace brenvik
