#include "tokenize/keyword_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"

namespace brenvik {
namespace {

// The typed lines' rule, keyword after keyword in token-code order: exact characters, blanks
// after the first character passed over. Returns the code and the characters covered.
keyword_index::found first_keyword_past_blanks(const std::string& text, int version) {
  if (!is_version(version)) return {0, 0};
  const version_entry& row = version_table[static_cast<std::size_t>(version)];
  for (int p = 0; p < row.keyword_count; ++p) {
    const std::string_view keyword = row.keywords[static_cast<std::size_t>(p)];
    std::size_t at = 0;
    std::size_t j = 0;
    for (; j < keyword.size(); ++j, ++at) {
      while (j > 0 && at < text.size() && text[at] == ' ')
        ++at;
      if (at >= text.size() || text[at] != keyword[j]) break;
    }
    if (j == keyword.size()) return {0x80 + p, at};
  }
  return {0, 0};
}

// The listing rule is checked against its model in matcher_test; this is the other one.
TEST(keyword_index, blanks_skipped_agrees_with_trying_every_keyword_in_order) {
  std::mt19937 random(20261208);
  const std::string alphabet = "ABCDEFGHILMNOPRSTUVWXYZ$(<=>+-*/^     1a";
  for (int version = -1; version <= version_count; ++version) {
    const keyword_index index(version);
    for (int i = 0; i < 20000; ++i) {
      std::string text;
      const auto size = 1 + random() % 12;
      for (unsigned j = 0; j < size; ++j)
        text += alphabet[random() % alphabet.size()];
      if (text[0] == ' ') continue;  // the cruncher never asks at a blank
      const keyword_index::found expected = first_keyword_past_blanks(text, version);
      std::string padded = text + std::string(keyword_index::bytes_read, '\0');
      const keyword_index::found found =
          index.match<keyword_case::exact, keyword_blanks::skipped>(padded.c_str());
      ASSERT_EQ(found.code, expected.code) << '"' << text << "\" row " << version;
      ASSERT_EQ(found.length, expected.length) << '"' << text << "\" row " << version;
    }
  }
}

}  // namespace
}  // namespace brenvik
