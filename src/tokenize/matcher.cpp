#include "tokenize/matcher.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "catalogue/catalogue.h"

namespace brenvik {

namespace {

// A keyword can only match where the text starts with its first character, exactly. So the
// keywords of each row are grouped by first character, each group in token-code order, and
// only one group is tried: the result is the same as trying every keyword in order.
struct candidate {
  std::string_view keyword;
  unsigned position = 0;  // in the row's list: the token code is 0x80 + position
};

struct candidate_index {
  static constexpr std::size_t most_keywords = 128;
  // Group of character c in row r: groups[r][start[r][c]] .. groups[r][start[r][c + 1]].
  std::array<std::array<uint8_t, 257>, version_count> start{};
  std::array<std::array<candidate, most_keywords>, version_count> groups{};
};

constexpr candidate_index build_index() {
  candidate_index index;
  for (std::size_t r = 0; r < version_count; ++r) {
    const keyword_list keywords = version_table[r].keywords;
    std::array<unsigned, 257> counts{};
    for (std::string_view keyword : keywords)
      if (!keyword.empty()) ++counts[static_cast<unsigned char>(keyword[0]) + 1];
    for (std::size_t c = 0; c < 256; ++c)
      counts[c + 1] += counts[c];
    for (std::size_t c = 0; c < 257; ++c)
      index.start[r][c] = static_cast<uint8_t>(counts[c]);
    for (std::size_t p = 0; p < keywords.size(); ++p) {
      if (keywords[p].empty()) continue;
      const auto first = static_cast<unsigned char>(keywords[p][0]);
      index.groups[r][counts[first]++] = {keywords[p], static_cast<unsigned>(p)};
    }
  }
  return index;
}

constexpr candidate_index candidates = build_index();

static_assert([] {
  for (const version_entry& row : version_table) {
    if (row.keywords.size() > candidate_index::most_keywords) return false;
    for (std::string_view keyword : row.keywords)
      if (keyword.find_first_of(std::string_view(" \0", 2)) != std::string_view::npos) return false;
  }
  return true;
}());

constexpr unsigned char case_pair = 0x20;

}  // namespace

int match_keyword(const char* text, int version, int& length) {
  if (!is_version(version)) return 0;
  const auto row = static_cast<std::size_t>(version);
  const auto first = static_cast<unsigned char>(text[0]);
  const auto& start = candidates.start[row];
  for (unsigned i = start[first]; i < start[first + 1u]; ++i) {
    const auto [keyword, position] = candidates.groups[row][i];
    // Keywords hold no zero byte, so agreement stops at the end of the text; and none
    // holds a space, the only character whose case pair is the zero that ends the text.
    std::size_t agreed = 1;
    while (agreed < keyword.size() && text[agreed] == keyword[agreed])
      ++agreed;
    if (agreed == keyword.size()) {
      length = static_cast<int>(agreed);
    } else if ((static_cast<unsigned char>(text[agreed]) ^
                static_cast<unsigned char>(keyword[agreed])) == case_pair) {
      length = static_cast<int>(agreed + 1);
    } else {
      continue;
    }
    return static_cast<int>(first_token + position);
  }
  return 0;
}

}  // namespace brenvik
