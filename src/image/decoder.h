// The image decoder: a tokenized program image in, a text listing out.
#pragma once

#include <cstdio>

namespace brenvik {

// Reads a tokenized program image from `in` and writes its listing to `out`: per line
// record the line number, a space, the text with every token code replaced by its keyword
// (codes beyond the version's list are dropped), then "\r\n". Messages go to `err`.
//
// `version` is a row of version_table, or -1 to choose the first row whose program area
// holds the first line link (and say so on `err`). Any number of leading zero bytes is
// accepted, each as one more byte of program area before the first record; when the first
// link only fits with one lead byte fewer (a link whose low byte is zero), that reading is
// taken. Every link must lie between the position reached and 255 bytes above it.
// A zero byte inside a line is reported and listed as a space.
//
// Returns 0 at the end marker or the end of input (a partial line is left without "\r\n"),
// and -1 when the image is rejected: no version fits the first link, or a link is outside
// its window. Lines written before a rejection stay written. Read errors end the listing
// like the end of input and are left on the stream's error flag.
int decode_image(FILE* in, FILE* out, FILE* err, int version);

}  // namespace brenvik
