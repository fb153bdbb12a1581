#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <string>

#include "expected_texts.h"
#include "memory_streams.h"

namespace brenvik {
namespace {

using testing::memory_output;

TEST(catalogue, rows_have_their_counts_addresses_and_listed_numbers) {
  struct row {
    int count;
    unsigned load_address;
    int listed_number;
  };
  const row expected[] = {{68, 0x0300, 0}, {68, 0x3A7E, 1}, {68, 0x3A7E, 2}, {68, 0x327E, 3},
                          {68, 0x317E, 4}, {75, 0x6000, 5}, {74, 0x6000, 6}};
  for (int r = 0; r < version_count; ++r) {
    const version_entry& entry = version_table[static_cast<std::size_t>(r)];
    EXPECT_EQ(entry.keyword_count, expected[r].count) << "row " << r;
    EXPECT_EQ(entry.load_address, expected[r].load_address) << "row " << r;
    EXPECT_EQ(entry.listed_number, expected[r].listed_number) << "row " << r;
  }
}

// Every place where a list differs from the ROM BASIC's: the code, and the word each row
// has there (rows 0-4 share list A's length, so they can be compared code by code).
TEST(catalogue, disk_lists_differ_from_the_rom_list_only_where_expected) {
  struct difference {
    unsigned code;
    const char* words[5];  // rows 0 to 4
  };
  const difference differences[] = {
      {0x91, {"NULL", "NULL", "EDIT", "NULL", "NULL"}},
      {0x92, {"WAIT", "PLOT", "TRAP", "WAIT", "WAIT"}},
      {0x93, {"LOAD", "EXIT", "EXIT", "EXIT", "EXIT"}},
      {0x94, {"SAVE", "DISK", "DISK", "DISK", "DISK"}},
      {0xBA, {"ATN", "ATN", "xxx", "ATN", "ATN"}},
  };
  for (unsigned code = 0x80; code < 0x80 + 68; ++code) {
    const int position = static_cast<int>(code - 0x80);
    const difference* listed = nullptr;
    for (const difference& d : differences)
      if (d.code == code) listed = &d;
    for (int row = 0; row < 5; ++row) {
      const std::string_view expected =
          listed != nullptr ? listed->words[row] : keyword_text(0, position);
      EXPECT_EQ(keyword_text(row, position), expected) << "row " << row << " code " << code;
    }
  }
}

TEST(catalogue, os65u_lists_insert_file_words_and_index) {
  // Row 5: list A up to CLEAR, six file words, list A from NEW, INDEX before LEFT$.
  const std::string_view inserted_5[] = {"INDEX<", "OPEN", "CLOSE", "FIND", "DEV", "FLAG"};
  const std::string_view inserted_6[] = {"OPEN", "CLOSE", "FIND", "DEV", "FLAG"};
  for (int p = 0; p <= 0x1A; ++p) {
    EXPECT_EQ(keyword_text(5, p), keyword_text(0, p));
    EXPECT_EQ(keyword_text(6, p), keyword_text(0, p));
  }
  for (int j = 0; j < 6; ++j)
    EXPECT_EQ(keyword_text(5, 0x1B + j), inserted_5[j]);
  for (int j = 0; j < 5; ++j)
    EXPECT_EQ(keyword_text(6, 0x1B + j), inserted_6[j]);
  for (int p = 0x1B; p <= 0x40; ++p) {
    EXPECT_EQ(keyword_text(5, p + 6), keyword_text(0, p)) << p;
    EXPECT_EQ(keyword_text(6, p + 5), keyword_text(0, p)) << p;
  }
  EXPECT_EQ(keyword_text(5, 0xC7 - 0x80), "INDEX");
  EXPECT_EQ(keyword_text(6, 0xC6 - 0x80), "INDEX");
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(keyword_text(5, 0xC8 - 0x80 + j), keyword_text(0, 0xC1 - 0x80 + j));
    EXPECT_EQ(keyword_text(6, 0xC7 - 0x80 + j), keyword_text(0, 0xC1 - 0x80 + j));
  }
  EXPECT_EQ(keyword_text(5, 0xBA - 0x80), "RND");
  EXPECT_EQ(keyword_text(5, 0x9B - 0x80), "INDEX<");
  EXPECT_EQ(keyword_text(6, 0x9B - 0x80), "OPEN");
}

TEST(catalogue, listings_are_exact) {
  memory_output versions;
  list_versions(versions.file());
  EXPECT_EQ(versions.bytes(), testing::versions_list);
  for (int row = 0; row < version_count; ++row) {
    memory_output out, err;
    list_keywords(row, out.file(), err.file());
    EXPECT_EQ(out.bytes(), testing::keyword_listing(row)) << "row " << row;
    EXPECT_EQ(err.bytes(), "") << "row " << row;
  }
}

TEST(catalogue, keyword_list_of_an_unknown_row_is_the_versions_list) {
  for (const int row : {-1, 7, 1000}) {
    memory_output out, err;
    list_keywords(row, out.file(), err.file());
    EXPECT_EQ(out.bytes(), "") << row;
    EXPECT_EQ(err.bytes(), testing::versions_list) << row;
  }
}

}  // namespace
}  // namespace brenvik
