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
struct candidate_index {
  static constexpr std::size_t most_keywords = 128;
  // Group of character c in row r: positions[r][start[r][c]] .. positions[r][start[r][c + 1]].
  std::array<std::array<uint8_t, 257>, version_count> start{};
  std::array<std::array<uint8_t, most_keywords>, version_count> positions{};
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
      index.positions[r][counts[first]++] = static_cast<uint8_t>(p);
    }
  }
  return index;
}

constexpr candidate_index candidates = build_index();

static_assert([] {
  for (const version_entry& row : version_table)
    if (row.keywords.size() > candidate_index::most_keywords) return false;
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
    const unsigned position = candidates.positions[row][i];
    const std::string_view keyword = version_table[row].keywords[position];
    std::size_t agreed = 1;
    while (agreed < keyword.size() && text[agreed] != '\0' && text[agreed] == keyword[agreed]) {
      ++agreed;
    }
    const auto next = static_cast<unsigned char>(text[agreed]);
    if (agreed == keyword.size()) {
      length = static_cast<int>(agreed);
    } else if (next != '\0' && (next ^ static_cast<unsigned char>(keyword[agreed])) == case_pair) {
      length = static_cast<int>(agreed + 1);
    } else {
      continue;
    }
    return static_cast<int>(first_token + position);
  }
  return 0;
}

}  // namespace brenvik
