// Typed listings: a text listing taken line by line as the machine takes typed keys, and the
// program the machine would then hold.
#pragma once

#include <cstdint>
#include <cstdio>

namespace brenvik {

// The rows whose BASIC takes typed lines as described below: the ROM BASIC (0) and the OS65D
// disk BASICs (1 to 4). The OS65U BASICs (5, 6) take them differently.
inline constexpr int first_typed_version = 0;
inline constexpr int last_typed_version = 4;

// Reads a text listing from `in` as if it were typed into the BASIC of `version` one line
// after another, and writes to `out` the program the machine would then hold, as an image
// for `load_address`: the lead byte, one record per stored line in ascending line order,
// the end marker.
//
// `version` is a row 0-4. The caller refuses rows 5 and 6 with message::typed_version_unknown
// and settles "no version" (-1) to row 0, saying so with message::version_chosen. Given any
// other row, this writes message::typed_version_unknown to `err` and returns -1 without
// reading or writing anything.
//
// The machine's way, line by line:
// - The input is split at LF, CR LF or CR, and at any byte whose low 7 bits are CR (8D); a
//   last line without a line end is typed too. A UTF-8 byte order mark at the start is no
//   key and is skipped.
// - Every byte is taken as a key of 7 bits (80-FF act as 00-7F). NUL, every control but BEL,
//   and } ~ DEL are ignored; so is [ on the disk BASICs. @ cancels the line typed so far,
//   _ takes back the last character (at the start of a line it takes back nothing). The
//   line holds 71 characters, number and spaces included: further ones are dropped until
//   @ or _ makes room.
// - Leading spaces are skipped, and an empty line is ignored. A line starting with a digit
//   is numbered; any other line is a direct line, which the machine runs at once: nothing
//   of it is stored, and only a direct line that is NEW alone (spaces aside; on the disk
//   BASICs also :NEW) changes the program: it clears it. The ROM BASIC ignores a line
//   starting with : (the disk BASICs run it); either way it counts with the direct lines,
//   as a line without a number that is not stored.
// - The line number's digits may have spaces between them; a number above 63999 makes the
//   line an error, which changes nothing. A number with no text after it deletes its line.
// - The text is crunched: outside strings, REM and DATA, at each character that is not a
//   space, digit, : or ; the row's keywords are tried in token-code order, exactly and in
//   upper case only, with spaces inside a keyword skipped (and dropped); the first that
//   matches becomes its token code. ? stands for PRINT. After DATA, the text up to a colon
//   outside a string is kept as typed; after REM, the rest of the line.
// - A numbered line replaces the line of its number, or is inserted in line-number order.
//
// Messages on `err`. When something was not stored as it was written (direct lines, numbers
// above 63999, lines deleted, lines typed again, lines cut at 71 characters), one summary
// (message::typed_summary) is the last message, unless `quiet`. The machine's memory size is not
// modelled: there is no "out of memory".
//
// Returns 0, or -1 when the program held cannot be written: a record would run past address
// $FFFF. That line is reported (message::line_past_top), and the image is ended after the
// records before it. Memory is bounded by the program held (at most 64000 lines of at most
// 71 bytes), never by the input: a line of any length is cut at 71 characters as it is read.
// Read errors end the input and are left on the stream's error flag.
int type_listing(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address,
                 bool quiet = false);

}  // namespace brenvik
