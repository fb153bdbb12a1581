#include "tokenize/matcher.h"

#include <array>
#include <cstddef>

#include "tokenize/keyword_index.h"

namespace brenvik {

int match_keyword(const char* text, int version, int& length) {
  // The text as far as the index reads it, zero bytes after its end.
  std::array<char, keyword_index::bytes_read> padded{};
  for (std::size_t i = 0; i < padded.size() && text[i] != '\0'; ++i)
    padded[i] = text[i];
  const keyword_index::found found =
      keyword_index(version).match<keyword_case::other_case_ends, keyword_blanks::kept>(
          padded.data());
  if (found.code != 0) length = static_cast<int>(found.length);
  return found.code;
}

}  // namespace brenvik
