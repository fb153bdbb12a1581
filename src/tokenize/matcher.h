// The keyword matcher: does a keyword of a version begin at this point of a text line?
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "byte_io.h"

namespace brenvik {

// Tries the keywords of `version` in token-code order at the start of `text`, a
// zero-terminated line, and returns the token code (0x80-0xFF) of the first that matches,
// or 0 when none does (always for a version outside 0-6).
//
// A keyword matches when the text agrees with all of it, case for case, or when the text
// agrees with its first characters (at least one) and then holds the keyword's next
// character in the other case (characters that differ in the value 0x20 only): "Pr"
// stands for PRINT, "GOt" for GOTO. There is no search for the longest keyword and no
// notion of word boundaries. On a match `length` receives the number of characters the
// keyword covers in the text; otherwise it is left untouched.
int match_keyword(const char* text, int version, int& length);

// The same matching for one version, prepared once for a whole text: the tokenizer's way
// of asking, at every letter and operator character of a listing.
class keyword_matcher {
 public:
  // match() reads this many bytes from its text on, whatever the text's length.
  static constexpr std::size_t bytes_read = 8;

  struct found {
    int code;    // the token code, or 0 when no keyword begins there
    int length;  // the characters it covers
  };

  explicit keyword_matcher(int version);

  // False where no keyword of the version begins with `c`: there match() finds nothing.
  bool may_begin(unsigned char c) const { return (*groups_)[c] != 0; }

  // match_keyword() for this matcher's version. `text` is zero-terminated, and the
  // bytes_read bytes from `text` on must be readable even where the zero comes earlier;
  // what follows the zero does not change the result.
  found match(const char* text) const;

  // The layout match() reads, built in matcher.cpp. A keyword can only match where the text
  // starts with its first character, exactly, and (unless it is one character long) goes
  // on with its second character in either case. So a row's keywords are grouped by first
  // character and, within a group, listed by second character with case ignored (its
  // second key), each list in token-code order: trying the one list that the text's first
  // two characters name gives the same result as trying every keyword in order (a list may
  // hold keywords of other second characters too, which never match there). A
  // one-character keyword is alone in its group and stands in every list of the group.
  struct alignas(32) candidate {  // a power of two in size: indexing is a shift
    uint64_t word = 0;            // the characters, little-endian, the first in the lowest byte
    uint64_t mask = 0;            // 0xFF for each character
    uint8_t length = 0;
    uint8_t code = 0;
  };
  struct list {
    uint8_t begin = 0;  // indexes of its first candidate and of the one after its last,
    uint8_t end = 0;    // among the row's
  };
  // A second character's low five bits: without its case bit 0x20, as the lists need, and
  // without the bits above, which only make the table larger. Characters that share a key
  // share a list, whose keywords the compare then tells apart.
  static constexpr std::size_t second_keys = 32;
  static constexpr unsigned second_key(unsigned c) { return c & 0x1F; }

 private:
  const std::array<uint8_t, 256>* groups_;      // per first character, its group; 0 for none
  const std::array<list, second_keys>* lists_;  // per group, the lists by second key
  const candidate* candidates_;
};

// One exclusive-or compares a candidate with the first eight characters of the text: the
// lowest non-zero byte of (text ^ keyword) & mask is the first difference, and the
// keyword matches when there is none, or when that byte is exactly the case pair 0x20.
inline keyword_matcher::found keyword_matcher::match(const char* text) const {
  constexpr uint64_t case_pair = 0x20;
  const uint64_t word = eight_bytes_at(text);
  const list l = lists_[(*groups_)[word & 0xFF]][second_key(static_cast<unsigned>(word >> 8))];
  const candidate* const end = candidates_ + l.end;
  for (const candidate* k = candidates_ + l.begin; k != end; ++k) {
    const uint64_t differ = (word ^ k->word) & k->mask;
    if (differ == 0) return {k->code, k->length};
    // The first character agrees, so the first difference lies at byte 1 or later.
    const int shift = std::countr_zero(differ) & ~7;
    if ((differ >> shift & 0xFF) == case_pair) return {k->code, shift / 8 + 1};
  }
  return {0, 0};
}

}  // namespace brenvik
