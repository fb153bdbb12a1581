#include "tokenize/keyword_index.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalogue/catalogue.h"

namespace brenvik {

namespace {

using candidate = keyword_index::candidate;
using keyword_list_span = keyword_index::list;
constexpr std::size_t second_keys = keyword_index::second_keys;
constexpr unsigned second_key(unsigned c) {
  return keyword_index::second_key(c);
}

constexpr std::size_t most_keywords = 128;
constexpr std::size_t rows = version_count + 1;  // the last row holds no keywords
// Groups per row: the most first characters any row's keywords have, plus the empty group 0.
constexpr std::size_t most_groups = [] {
  std::size_t most = 0;
  for (const version_entry& row : version_table) {
    std::array<bool, 256> seen{};
    std::size_t count = 0;
    for (std::string_view keyword : row.keywords) {
      if (keyword.empty() || seen[static_cast<unsigned char>(keyword[0])]) continue;
      seen[static_cast<unsigned char>(keyword[0])] = true;
      ++count;
    }
    most = count > most ? count : most;
  }
  return most + 1;
}();

struct candidate_index {
  std::array<std::array<uint8_t, 256>, rows> group_of{};  // 0: no keyword begins so
  std::array<std::array<std::array<keyword_list_span, second_keys>, most_groups>, rows> lists{};
  std::array<std::array<candidate, most_keywords>, rows> keywords{};
};

constexpr candidate_index build_index() {
  candidate_index index;
  for (std::size_t r = 0; r < version_count; ++r) {
    const keyword_list keywords = version_table[r].keywords;
    std::size_t groups = 0;
    for (std::string_view keyword : keywords) {
      if (keyword.empty()) continue;
      uint8_t& group = index.group_of[r][static_cast<unsigned char>(keyword[0])];
      if (group == 0) group = static_cast<uint8_t>(++groups);
    }
    // Candidates ordered by group, then second key, then token code: a counting sort, the
    // lists' ends counting up from their beginnings as candidates are placed.
    const auto list_of = [&](std::string_view keyword) -> keyword_list_span& {
      const std::size_t group = index.group_of[r][static_cast<unsigned char>(keyword[0])];
      const unsigned key =
          keyword.size() == 1 ? 0 : second_key(static_cast<unsigned char>(keyword[1]));
      return index.lists[r][group][key];
    };
    for (std::string_view keyword : keywords)
      if (!keyword.empty()) ++list_of(keyword).end;
    std::size_t placed = 0;
    for (std::size_t g = 1; g <= groups; ++g) {
      for (keyword_list_span& list : index.lists[r][g]) {
        const std::size_t count = list.end;
        list.begin = list.end = static_cast<uint8_t>(placed);
        placed += count;
      }
    }
    for (std::size_t p = 0; p < keywords.size(); ++p) {
      const std::string_view keyword = keywords[p];
      if (keyword.empty()) continue;
      keyword_list_span& list = list_of(keyword);
      candidate& k = index.keywords[r][list.end++];
      for (std::size_t i = keyword.size(); i > 0; --i) {
        k.word = k.word << 8 | static_cast<unsigned char>(keyword[i - 1]);
        k.mask = k.mask << 8 | 0xFF;
      }
      k.length = static_cast<uint8_t>(keyword.size());
      k.code = static_cast<uint8_t>(first_token + p);
      // A one-character keyword, alone in its group, stands in every list of the group.
      if (keyword.size() == 1) {
        for (keyword_list_span& other :
             index.lists[r][index.group_of[r][static_cast<unsigned char>(keyword[0])]])
          other = list;
      }
    }
  }
  return index;
}

constexpr candidate_index candidates = build_index();

// Keywords fit the word, and hold no zero byte (so agreement stops at the end of the text)
// and no blank (the only character whose case pair is the zero that ends the text, and the
// one that may be skipped); a one-character keyword is the only one with its first
// character.
static_assert([] {
  for (const version_entry& row : version_table) {
    if (row.keywords.size() > most_keywords) return false;
    for (std::string_view keyword : row.keywords) {
      if (keyword.size() >= keyword_index::bytes_read) return false;
      if (keyword.find_first_of(std::string_view(" \0", 2)) != std::string_view::npos) return false;
      if (keyword.size() != 1) continue;
      for (std::string_view other : row.keywords)
        if (other != keyword && !other.empty() && other[0] == keyword[0]) return false;
    }
  }
  return true;
}());

}  // namespace

keyword_index::keyword_index(int version) {
  const std::size_t row = is_version(version) ? static_cast<std::size_t>(version) : version_count;
  groups_ = &candidates.group_of[row];
  lists_ = candidates.lists[row].data();
  candidates_ = candidates.keywords[row].data();
}

}  // namespace brenvik
