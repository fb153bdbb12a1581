// The keyword index: a version's keywords laid out so that the first keyword, in token-code
// order, that begins at a point of a text line is found by trying a handful of candidates.
// Both tokenizers ask it, each with its own rules for case and blanks.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "byte_io.h"

namespace brenvik {

// How the characters of a text must agree with a keyword's.
enum class keyword_case {
  exact,           // character for character
  other_case_ends  // or agree with its first characters and then hold the next one in the
                   // other case (differing in 0x20 only): "Pr" stands for PRINT
};

// What a blank inside a keyword does.
enum class keyword_blanks {
  kept,    // it is a character like any other: no keyword holds one
  skipped  // it is passed over, after the keyword's first character: "GO TO" is GOTO
};

class keyword_index {
 public:
  // match() reads this many bytes from each point of its text it compares.
  static constexpr std::size_t bytes_read = 8;

  struct found {
    int code;            // the token code, or 0 when no keyword begins there
    std::size_t length;  // the characters it covers, skipped blanks included
  };

  // The keywords of `version`; a row outside 0-6 has none.
  explicit keyword_index(int version);

  // False where no keyword of the version begins with `c`: there match() finds nothing.
  bool may_begin(unsigned char c) const { return (*groups_)[c] != 0; }

  // The first keyword in token-code order that begins at `text` under the given rules.
  // `text` ends in a zero byte (under keyword_case::exact, any byte that no keyword holds
  // will do), and the bytes_read bytes from every character up to it on are readable;
  // what follows the end does not change the result.
  template <keyword_case case_rule, keyword_blanks blank_rule>
  found match(const char* text) const;

  // The layout match() reads, built in keyword_index.cpp. A keyword can only match where the
  // text starts with its first character, exactly, and (unless it is one character long)
  // goes on, blanks aside where they are skipped, with its second character in either case.
  // So a row's keywords are grouped by first character and, within a group, listed by
  // second character with case ignored (its second key), each list in token-code order:
  // trying the one list that the text's first two characters name gives the same result as
  // trying every keyword in order (a list may hold keywords of other second characters too,
  // which never match there). A one-character keyword is alone in its group and stands in
  // every list of the group.
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
  // The rest of a compare whose first difference, at `agreed`, is a blank to be skipped.
  template <keyword_case case_rule>
  static found match_past_blanks(const char* text, const candidate& k, unsigned agreed);

  const std::array<uint8_t, 256>* groups_;      // per first character, its group; 0 for none
  const std::array<list, second_keys>* lists_;  // per group, the lists by second key
  const candidate* candidates_;
};

// One exclusive-or compares a candidate with the first eight characters of the text: the
// lowest non-zero byte of (text ^ keyword) & mask is the first difference. The keyword
// matches when there is none; when that byte is the case pair 0x20 and the case rule allows
// it; or when the text holds a blank there that is skipped, and the rest agrees.
template <keyword_case case_rule, keyword_blanks blank_rule>
inline keyword_index::found keyword_index::match(const char* text) const {
  constexpr uint64_t case_pair = 0x20;
  const uint64_t word = eight_bytes_at(text);
  unsigned second = static_cast<unsigned>(word >> 8);
  if constexpr (blank_rule == keyword_blanks::skipped) {
    const char* at = text + 1;
    while (*at == ' ')
      ++at;
    second = static_cast<unsigned char>(*at);
  }
  const list l = lists_[(*groups_)[word & 0xFF]][second_key(second)];
  const candidate* const end = candidates_ + l.end;
  for (const candidate* k = candidates_ + l.begin; k != end; ++k) {
    const uint64_t differ = (word ^ k->word) & k->mask;
    if (differ == 0) return {k->code, k->length};
    // The first character agrees, so the first difference lies at byte 1 or later.
    const int shift = std::countr_zero(differ) & ~7;
    if constexpr (case_rule == keyword_case::other_case_ends) {
      if ((differ >> shift & 0xFF) == case_pair) {
        return {k->code, static_cast<std::size_t>(shift / 8 + 1)};
      }
    }
    if constexpr (blank_rule == keyword_blanks::skipped) {
      if (text[shift / 8] == ' ') {
        const found past = match_past_blanks<case_rule>(text, *k, static_cast<unsigned>(shift / 8));
        if (past.code != 0) return past;
      }
    }
  }
  return {0, 0};
}

template <keyword_case case_rule>
keyword_index::found keyword_index::match_past_blanks(const char* text, const candidate& k,
                                                      unsigned agreed) {
  const char* at = text + agreed;
  for (; agreed < k.length; ++agreed, ++at) {
    while (*at == ' ')
      ++at;
    const unsigned wanted = k.word >> (8 * agreed) & 0xFF;
    const unsigned c = static_cast<unsigned char>(*at);
    if (c == wanted) continue;
    if (case_rule == keyword_case::other_case_ends && (c ^ wanted) == 0x20) {
      return {k.code, static_cast<std::size_t>(at + 1 - text)};
    }
    return {0, 0};
  }
  return {k.code, static_cast<std::size_t>(at - text)};
}

}  // namespace brenvik
