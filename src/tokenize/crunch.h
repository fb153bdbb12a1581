// The cruncher: a typed line's text as the machine stores it, its keywords replaced by their
// token codes.
#pragma once

#include <cstddef>

#include "tokenize/keyword_index.h"

namespace brenvik {

struct crunch_table;

class cruncher {
 public:
  // The cruncher of a BASIC that takes typed lines (first_typed_version to
  // last_typed_version).
  explicit cruncher(int version);

  // Crunches the characters of a line from `text` to `end` into `out`, which has room for as
  // many, and returns the length written; every token replaces at least one character. The
  // characters are 7-bit, the byte at `end` never stands in a line (a zero, a line end), and
  // the eight bytes from every character on may be read. Outside strings, REM and DATA, a
  // keyword is tried at every character that is not a space, a digit, : or ; and ? is
  // PRINT. Keywords are matched exactly, in upper case only, and spaces in the text inside
  // a keyword are skipped: they are dropped with it; spaces before and after it stay. After
  // DATA, the text up to a colon outside a string is kept as typed; after REM, the rest.
  std::size_t crunch(const char* text, const char* end, unsigned char* out) const;

  // The token code of NEW.
  unsigned char new_program() const;

 private:
  const crunch_table* table_;
  keyword_index keywords_;
};

}  // namespace brenvik
