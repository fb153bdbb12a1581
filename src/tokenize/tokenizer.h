// The line tokenizer: a text listing in, a tokenized program image out.
#pragma once

#include <cstdint>
#include <cstdio>

namespace brenvik {

// Reads a text listing from `in` and writes a tokenized program image for `load_address`
// to `out`: the lead byte, one line record per line that holds text, the end marker.
//
// A line ends at LF, CR LF or CR, and any line may be as long as it likes (memory grows
// with the longest line); a zero byte ends its text. A leading decimal number (white space and a
// sign allowed, kept modulo 65536) becomes the line number; a line without one takes the previous
// number plus 2 (the first is 10). White space before the text is dropped. Outside strings, at
// every letter and operator character, a keyword of `version` (none for -1) is replaced by its
// token code; after REM the rest of the line is kept as characters, after DATA everything up to the
// next colon outside a string. A line with no text writes nothing, but its number counts.
//
// Returns 0, or -1 when a line's tokenized text exceeds the 250 bytes a record can hold:
// that line is reported on `err`, the image is ended after the records written so far,
// and the rest of the input is not read. Read errors end the input and are left on the
// stream's error flag.
int tokenize_text(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address);

}  // namespace brenvik
