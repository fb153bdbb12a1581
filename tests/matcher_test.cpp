#include "tokenize/matcher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "catalogue/catalogue.h"

namespace brenvik {
namespace {

TEST(matcher, first_match_in_token_code_order) {
  struct row {
    const char* text;
    int version;
    int code;
    int length;  // -1: left untouched
  };
  const row rows[] = {
      {"PRINT", 0, 0x97, 5},
      {"Pr", 0, 0x97, 2},     // POKE comes first but O and r are no case pair
      {"PRint", 0, 0x97, 3},  // i is the other case of I; "nt" stays text
      {"print", 0, 0, -1},    // the first character must agree exactly
      {"Re", 0, 0x86, 2},     // READ, the first R-E keyword
      {"REm", 0, 0x8E, 3},    // READ, RESTORE and RETURN fail at the third character
      {"Ta", 0, 0x9C, 2},     // TAB(
      {"TO", 0, 0x9D, 2},
      {"TOTAL", 0, 0x9D, 2},
      {"Da", 0, 0x83, 2},
      {"FORM", 0, 0x81, 3},
      {"SCORE", 0, 0, -1},
      {"CORE", 0, 0, -1},
      {"ORE", 0, 0xA9, 2},
      {"GOTO10", 0, 0x88, 4},
      {"Go", 0, 0x88, 2},  // GOTO precedes GOSUB
      {"GOs", 0, 0x8C, 3},
      {"NEX", 0, 0, -1},  // the text ends inside NEXT
      {"NEXT", 0, 0x82, 4},
      {"+", 0, 0xA3, 1},
      {"<=", 0, 0xAC, 1},
      {"=<", 0, 0xAB, 1},
      {"TAB\b", 0, 0x9C, 4},  // 08 is the other "case" of '(' by the 0x20 rule
      {"STR\x04", 0, 0xBD, 4},
      {"ATN(X)", 0, 0xBA, 3},
      {"ATN(X)", 2, 0, -1},  // list C holds xxx at
                             // BA
      {"xxx", 2, 0xBA, 3},
      {"xX", 2, 0xBA, 2},
      {"xxx", 0, 0, -1},
      {"INDEX<", 5, 0x9B, 6},
      {"INDEX(", 5, 0xC7, 5},
      {"INDEX<", 6, 0xC6, 5},
      {"OPEN", 5, 0x9C, 4},
      {"OPEN", 6, 0x9B, 4},
      {"PLOT", 1, 0x92, 4},
      {"PLOT", 0, 0, -1},
      {"END", -1, 0, -1},
      {"END", 7, 0, -1},
      {"", 0, 0, -1},
      {"1", 0, 0, -1},
  };
  for (const row& r : rows) {
    int length = -1;
    EXPECT_EQ(match_keyword(r.text, r.version, length), r.code) << r.text << " row " << r.version;
    EXPECT_EQ(length, r.length) << r.text << " row " << r.version;
  }
}

// The plain rule, keyword after keyword in token-code order, as a model for the matcher.
int first_matching_keyword(const std::string& text, int version, int& length) {
  if (!is_version(version)) return 0;
  const version_entry& row = version_table[static_cast<std::size_t>(version)];
  for (int p = 0; p < row.keyword_count; ++p) {
    const std::string_view keyword = row.keywords[static_cast<std::size_t>(p)];
    std::size_t j = 0;
    while (j < keyword.size() && j < text.size() && text[j] == keyword[j])
      ++j;
    if (j == 0) continue;
    if (j == keyword.size()) {
      length = static_cast<int>(j);
      return 0x80 + p;
    }
    if (j < text.size() &&
        (static_cast<unsigned char>(text[j]) ^ static_cast<unsigned char>(keyword[j])) == 0x20) {
      length = static_cast<int>(j + 1);
      return 0x80 + p;
    }
  }
  return 0;
}

TEST(matcher, agrees_with_trying_every_keyword_in_order) {
  std::mt19937 random(20261207);
  const std::string alphabet = "ABCDEFGHIJKLMNOPRSTUVWXYZabcdeghilnoprstuxy$(<=>+-*/^\x08\x04 1";
  for (int version = -1; version <= version_count; ++version) {
    std::vector<std::string> texts;
    if (is_version(version)) {
      for (std::string_view keyword : version_table[static_cast<std::size_t>(version)].keywords) {
        for (std::size_t cut = 1; cut <= keyword.size(); ++cut) {
          std::string text(keyword.substr(0, cut));
          texts.push_back(text);
          text.back() = static_cast<char>(text.back() ^ 0x20);
          texts.push_back(text);
        }
      }
    }
    for (int i = 0; i < 20000; ++i) {
      std::string text;
      const auto size = 1 + random() % 7;
      for (unsigned j = 0; j < size; ++j)
        text += alphabet[random() % alphabet.size()];
      texts.push_back(text);
    }
    for (const std::string& text : texts) {
      int expected_length = -1, length = -1;
      const int expected = first_matching_keyword(text, version, expected_length);
      ASSERT_EQ(match_keyword(text.c_str(), version, length), expected)
          << text << " row " << version;
      ASSERT_EQ(length, expected_length) << text << " row " << version;
    }
  }
}

}  // namespace
}  // namespace brenvik
