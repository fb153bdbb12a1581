// The line tokenizer: a text listing in, a tokenized program image out.
#pragma once

#include <cstdint>
#include <cstdio>

namespace brenvik {

// Reads a text listing from `in` and writes a tokenized program image for `load_address`
// to `out`: the lead byte, one line record per line that holds text, the end marker.
//
// A line ends at LF, CR LF or CR, and may be of any length: it is read in pieces, so memory
// does not grow with it. Zero bytes are dropped wherever they stand, as the machines' input
// routine drops them; a UTF-8 byte order mark at the start of the input is skipped. A
// leading decimal number (white space and a sign allowed, kept modulo 65536) becomes the
// line number; a line without one takes the previous number plus 2 (the first is 10). White
// space before the text is dropped. Outside strings, at every letter and operator character,
// a keyword of `version` (none for -1) is replaced by its token code; after REM the rest of
// the line is kept as characters, after DATA everything up to the next colon outside a
// string. A line with no text, or with nothing but control characters (00-1F) and spaces,
// writes nothing; the number of a line with no text still counts.
//
// Warnings on `err`, after which the conversion goes on: a record whose number the machine
// cannot take (outside 0-63999: the number as written, of any length, for a line with its
// own number; the number given, for one numbered on), a record not numbered above the one before
// it, lines numbered on (once, at the end), and an input that starts like a tokenized image
// (named `input_name`). A number is named as written: its digits without leading zeros, a
// minus sign kept, a plus sign dropped; of a number of more than 19 digits the first 19
// and "..." ("Line 1234567890123456789...: ...").
//
// Returns 0, or -1 when a line cannot be stored: its tokenized text exceeds the 250 bytes a
// record holds, or its record would run past address $FFFF. That line is reported, the image
// is ended after the records written so far, and the rest of the input is not read. A
// program without records is refused the same way (lead byte and end marker are written)
// where its end marker would lie past $FFFF: a load address of $FFFE or $FFFF. Read errors
// end the input and are left on the stream's error flag.
int tokenize_text(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address,
                  const char* input_name = "standard input");

}  // namespace brenvik
