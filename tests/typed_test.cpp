#include "tokenize/typed.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "image/decoder.h"
#include "images.h"
#include "memory_streams.h"

namespace brenvik {
namespace {

using testing::bytes;
using testing::image_of;
using testing::memory_input;
using testing::memory_output;

struct typed {
  int result;
  std::string image;
  std::string err;
};

typed type(const std::string& text, int version = 0, unsigned load_address = 0x300) {
  memory_input in(text);
  memory_output out, err;
  const int result =
      type_listing(in.file(), out.file(), err.file(), version, static_cast<uint16_t>(load_address));
  return {result, out.bytes(), err.bytes()};
}

std::string summary(const std::string& items) {
  return "Typed as the machine takes it: " + items + "\r\n";
}

std::string without_number(int count) {
  return summary(std::to_string(count) + (count == 1 ? " line" : " lines") +
                 " without a number not stored");
}

const std::string one_cut = summary("1 line cut at 71 characters");

// A listing typed into the ROM BASIC at $0300, and what the machine holds afterwards.
struct row {
  const char* what;
  std::string text;
  std::vector<testing::record> records;
  std::string err;
};

void check(const row& r, int version = 0, unsigned load_address = 0x300) {
  const typed t = type(r.text, version, load_address);
  EXPECT_EQ(t.result, 0) << r.what;
  EXPECT_EQ(t.image, image_of(load_address, r.records)) << r.what;
  EXPECT_EQ(t.err, r.err) << r.what;
}

TEST(typed, line_ends) {
  const row rows[] = {
      {"LF, LF CR, CR CR, LF LF", "10 A\n\r20 B\r\r30 C\n\n", {{10, "A"}, {20, "B"}, {30, "C"}}},
      {"CR LF, and a last line without an end", "10 A\r\n20 B", {{10, "A"}, {20, "B"}}},
      {"8D ends a line",
       "10 A\x8D"
       "20 B",
       {{10, "A"}, {20, "B"}}},
      {"8A is an ignored key, no line end",
       "10 A\x8A"
       "B",
       {{10, "AB"}}},
      {"a byte order mark is no key",
       "\xEF\xBB\xBF"
       "10 A",
       {{10, "A"}}},
  };
  for (const row& r : rows)
    check(r);
}

TEST(typed, the_input_routine) {
  const std::string nuls(100, '\0');
  const row rows[] = {
      {"keys are 7 bits", "10 \xD0RINT \xC1", {{10, "\x97 A"}}},
      {"NUL is ignored", std::string("10 PR\0INT\0 \"A\"", 14), {{10, "\x97 \"A\""}}},
      {"controls are ignored",
       "10 PRINT\tA\x1A\x1B\x0F\x18\x10",
       {{10,
         "\x97"
         "A"}}},
      {"} ~ DEL are ignored, { | kept",
       "10 A}~\x7F"
       "B{|",
       {{10, "AB{|"}}},
      {"BEL is a character",
       "10 A\x07"
       "B\r20 A\x87",
       {{10,
         "A\x07"
         "B"},
        {20, "A\x07"}}},
      {"@ cancels the line so far",
       "10 A\xC0"
       "B\r20 C@30 D",
       {{30, "D"}},
       without_number(1)},
      {"_ takes back a character", "10 AB_C", {{10, "AC"}}},
      {"_ takes back half a keyword", "10 PRINTX_\"HI\"", {{10, "\x97\"HI\""}}},
      {"_ at the start of a line", "_20 A\r3_5 B", {{5, "B"}, {20, "A"}}},
      {"[ and ] are stored on the ROM BASIC", "10 A[B]", {{10, "A[B]"}}},
  };
  for (const row& r : rows)
    check(r);
}

TEST(typed, the_line_holds_71_characters) {
  const row rows[] = {
      {"70 more", "10 " + std::string(70, 'X'), {{10, std::string(68, 'X')}}, one_cut},
      {"ignored keys take no room",
       "10 " + std::string(100, '\0') + std::string(80, 'A'),
       {{10, std::string(68, 'A')}},
       one_cut},
      {"a keyword at the very end",
       "10 " + std::string(62, 'A') + ":PRINT",
       {{10, std::string(62, 'A') + ":\x97"}}},
      {"a keyword cut",
       "10 " + std::string(63, 'A') + ":PRINT",
       {{10, std::string(63, 'A') + ":PRIN"}},
       one_cut},
      {"_ makes room",
       "10 " + std::string(70, 'A') + "_Z",
       {{10, std::string(67, 'A') + "Z"}},
       one_cut},
      {"@ starts afresh", std::string(80, 'A') + "@10 A", {{10, "A"}}},
      {"a line of a million characters",
       "10 " + std::string(1000000, 'B') + "\r20 C",
       {{10, std::string(68, 'B')}, {20, "C"}},
       one_cut},
      {"spaces count", "10" + std::string(69, ' ') + "A\r\n20 B", {{20, "B"}}, one_cut},
  };
  for (const row& r : rows)
    check(r);
}

TEST(typed, what_the_machine_does_with_a_line) {
  const row rows[] = {
      {"spaces alone", "   \r\n\r\n\x1A", {}},
      {"a leading colon: the ROM ignores the line", ":10 A", {}, without_number(1)},
      {"screen text and signs are direct lines",
       "PRINT 5\rOK\r-5 A\r+6 B\r10 A",
       {{10, "A"}},
       without_number(4)},
      {"the test is made after editing", "X_20 A\r10 A@B", {{20, "A"}}, without_number(1)},
      {"spaces between the digits", "1 5 B\r063999 C\r0 F", {{0, "F"}, {15, "B"}, {63999, "C"}}},
      {"above 63999",
       "64000 D\r6400 0 E\r99999 X\r10 A",
       {{10, "A"}},
       summary("3 lines above 63999 not stored")},
      {"an error deletes nothing, whatever the number",
       "10 A\r65546",
       {{10, "A"}},
       summary("1 line above 63999 not stored")},
      {"the text starts after the number",
       "10.5 C\r20?A",
       {{10, ".5 C"},
        {20,
         "\x97"
         "A"}}},
      {"a number alone deletes its line",
       "10 A\r20 B\r10\r20   \r30",
       {},
       summary("2 lines deleted by a number alone")},
      {"lines in number order", "20 B\r10 A", {{10, "A"}, {20, "B"}}},
      {"the last one typed wins",
       "10 A\r10 B\r5 C",
       {{5, "C"}, {10, "B"}},
       summary("1 line typed again, the later kept")},
  };
  for (const row& r : rows)
    check(r);
}

TEST(typed, new_alone_clears_the_program) {
  const row rows[] = {
      {"NEW", "10 A\rNEW\r20 B", {{20, "B"}}, without_number(1)},
      {"spaces aside", "10 A\r  N E W  \r20 B", {{20, "B"}}, without_number(1)},
      {"after another statement", "10 A\rPRINT:NEW", {{10, "A"}}, without_number(1)},
      {"with more after it", "10 A\rNEW X", {{10, "A"}}, without_number(1)},
      {"in lower case", "10 A\rnew", {{10, "A"}}, without_number(1)},
      {"behind a colon the ROM ignores the line", "10 A\r:NEW", {{10, "A"}}, without_number(1)},
  };
  for (const row& r : rows)
    check(r);
}

TEST(typed, crunching) {
  const row rows[] = {
      {"spaces are kept", "10    PRINT  A  ", {{10, "\x97  A  "}}},
      {"an open string", "10 \"ABC", {{10, "\"ABC"}}},
      {"DATA up to a colon", "20 DATA ?,\"?:\",FOR:?", {{20, "\x83 ?,\"?:\",FOR:\x97"}}},
      {"REM to the end", "10 REM A:PRINT\"X", {{10, "\x8E A:PRINT\"X"}}},
      {"? is PRINT", "10 ?\"?\":REM ?", {{10, "\x97\"?\":\x8E ?"}}},
      {"digits : ; as they are", "10 (12:;3)", {{10, "(12:;3)"}}},
      {"the first keyword in the table", "10 FORM=TOTAL", {{10, "\x81M\xAB\x9DTAL"}}},
      {"operators",
       "20 A<=B",
       {{20,
         "A\xAC\xAB"
         "B"}}},
      {"spaces inside a keyword",
       "10 PR INT\r20 G O T O 5\r30 IF T OR X",
       {{10, "\x97"}, {20, "\x88 5"}, {30, "\x8A \x9DR X"}}},
      {"the space goes with the keyword", "40 A=F NOT B", {{40, "A\xAB\x9EOT B"}}},
      {"function names apart",
       "50 PRINT TAB (5);SPC (2);STR $(1);CHR $(65)",
       {{50,
         "\x97 \x9C"
         "5);\x9F"
         "2);\xBD(1);\xC0(65)"}}},
      {"upper case only",
       "10 print\r20 Pr\r30 Ta(5)\r40 REm PRINT",
       {{10, "print"}, {20, "Pr"}, {30, "Ta(5)"}, {40, "REm \x97"}}},
      {"no keyword of the ROM", "10 PLOT", {{10, "PLOT"}}},
  };
  for (const row& r : rows)
    check(r);
}

TEST(typed, records_and_links) {
  const typed t = type("10 PRINT \"HI\"");
  EXPECT_EQ(t.result, 0);
  EXPECT_EQ(t.image, bytes({0x00, 0x0C, 0x03, 0x0A, 0x00, 0x97, 0x20, 0x22, 0x48, 0x49, 0x22, 0x00,
                            0x00, 0x00}));
  EXPECT_EQ(t.err, "");

  const typed empty = type("");
  EXPECT_EQ(empty.image, bytes({0, 0, 0}));
  EXPECT_EQ(empty.err, "");
}

// The disk BASICs: their keywords and program areas, and where they take keys differently.
TEST(typed, the_disk_basics) {
  struct disk_row {
    row r;
    int version;
  };
  const disk_row rows[] = {
      {{"their program area", "10 PRINT", {{10, "\x97"}}}, 3},
      {{"[ is removed", "10 A[B]\x18\x10", {{10, "AB]"}}}, 3},
      {{"a leading colon makes a direct line", ":10 A\r20 B", {{20, "B"}}, without_number(1)}, 4},
      {{":NEW clears", "10 A\r: NEW\r20 B", {{20, "B"}}, without_number(1)}, 1},
      {{"PLOT on its row", "10 PLOT", {{10, "\x92"}}}, 1},
      {{"EDIT and TRAP on theirs", "10 EDIT:TRAP", {{10, "\x91:\x92"}}}, 2},
  };
  for (const disk_row& d : rows)
    check(d.r, d.version, version_table[static_cast<std::size_t>(d.version)].load_address);
}

// Texts replaced many times over, among lines that stay and lines deleted: the program
// holds the last text of each line, whatever its store does with the texts no longer held.
TEST(typed, lines_typed_again_and_again) {
  std::string text;
  for (int round = 0; round < 3000; ++round) {
    for (int line = 1; line <= 20; ++line) {
      if (round > 0 && line % 5 == 0) {
        text += std::to_string(line) + "\r";
        continue;
      }
      const std::string digits = std::to_string(round);
      text += std::to_string(line) + " X" + digits + std::string(60 - digits.size(), 'A') + "\r";
    }
  }
  text += "100 END";
  std::vector<testing::record> records;
  for (int line = 1; line <= 20; ++line)
    if (line % 5 != 0)
      records.push_back({static_cast<unsigned>(line), "X2999" + std::string(56, 'A')});
  records.push_back({100, "\x80"});
  const typed t = type(text);
  EXPECT_EQ(t.image, image_of(0x300, records));
  EXPECT_EQ(t.err,
            summary("4 lines deleted by a number alone; 47984 lines typed again, the later kept"));
}

TEST(typed, the_summary_names_everything_not_stored_in_order) {
  const typed t = type("20 A\rX\r20 B\r10 " + std::string(80, 'C') + "\r30 D\r30\r64000 E\r40 " +
                       std::string(80, 'D') + "\r?\r");
  EXPECT_EQ(t.result, 0);
  EXPECT_EQ(t.image,
            image_of(0x300, {{10, std::string(68, 'C')}, {20, "B"}, {40, std::string(68, 'D')}}));
  EXPECT_EQ(t.err, summary("2 lines without a number not stored; 1 line above 63999 not stored; "
                           "1 line deleted by a number alone; 1 line typed again, the later "
                           "kept; 2 lines cut at 71 characters"));
}

TEST(typed, only_the_rom_and_the_disk_basics) {
  for (const int version : {-1, 5, 6, 7}) {
    const typed t = type("10 PRINT", version);
    EXPECT_EQ(t.result, -1) << version;
    EXPECT_EQ(t.image, "") << version;
    EXPECT_EQ(t.err, "-typed knows the ROM and OS65D BASICs (versions 0 to 4), not version " +
                         std::to_string(version) + "\r\n");
  }
}

// Records must end below $FFFF, where the end marker still fits.
TEST(typed, a_program_that_runs_past_the_top_of_memory_is_refused) {
  const typed fits = type("2 C\r1 AB", 0, 0xFFF0);
  EXPECT_EQ(fits.result, 0);
  EXPECT_EQ(fits.image, image_of(0xFFF0, {{1, "AB"}, {2, "C"}}));

  const typed refused = type("3 D\r2 C\rOK\r1 AB", 0, 0xFFF4);
  EXPECT_EQ(refused.result, -1);
  EXPECT_EQ(refused.image, bytes({0, 0xFC, 0xFF, 0x01, 0x00, 0x41, 0x42, 0x00, 0, 0}));
  EXPECT_EQ(refused.err,
            "Line 2 runs past the top of memory at $FFFF: give a lower load address with -l\r\n" +
                without_number(1));
}

// The real row-0 listings of the corpus: typed, listed and typed again, each gives the same
// program; and what the machine leaves out of them, as measured: 265 direct lines in 84
// listings, 54 lines above 63999 in 3, 1 line typed twice, and 95 lines longer than the
// buffer in 15 listings, 4 of which (in PLATIN_1.BAS) are above 63999 and said so instead.
#ifdef CORPUS_DIR
// The listings of the manifest whose dialect is row 0, in its order.
std::vector<std::filesystem::path> row_0_listings(const std::filesystem::path& corpus) {
  std::ifstream manifest(corpus / "listings" / "manifest.json");
  const std::string json((std::istreambuf_iterator<char>(manifest)),
                         std::istreambuf_iterator<char>());
  // Each listing's entry holds one "dialect" and one "file", in that order.
  const auto values = [&](const std::string& key) {
    std::vector<std::string> found;
    const std::string start = "\"" + key + "\": \"";
    for (std::size_t at = json.find(start); at != std::string::npos;
         at = json.find(start, at + 1)) {
      const std::size_t from = at + start.size();
      found.push_back(json.substr(from, json.find('"', from) - from));
    }
    return found;
  };
  const std::vector<std::string> dialects = values("dialect");
  const std::vector<std::string> files = values("file");
  std::vector<std::filesystem::path> listings;
  if (dialects.size() != files.size()) return listings;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (dialects[i].find("row 0") != std::string::npos) listings.push_back(corpus / files[i]);
  return listings;
}

TEST(typed, real_listings_type_back_to_the_same_program) {
  const std::filesystem::path corpus = CORPUS_DIR;
  if (!std::filesystem::exists(corpus / "listings" / "manifest.json"))
    GTEST_SKIP() << "no corpus at " << corpus;
  const auto listings = row_0_listings(corpus);
  ASSERT_EQ(listings.size(), 156u);

  struct total {
    unsigned long long lines = 0;
    int listings = 0;
  };
  std::map<std::string, total> totals;
  for (const auto& path : listings) {
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const typed first = type(text);
    ASSERT_EQ(first.result, 0) << path;

    memory_output listing, messages;
    ASSERT_EQ(decode_image(std::span(reinterpret_cast<const unsigned char*>(first.image.data()),
                                     first.image.size()),
                           listing.file(), messages.file(), {.version = 0}),
              0)
        << path;
    EXPECT_EQ(messages.bytes(), "") << path;
    const typed again = type(listing.bytes());
    EXPECT_EQ(again.image, first.image) << path;
    EXPECT_EQ(again.err, "") << path;

    // "Typed as the machine takes it: 3 lines ...; 1 line ...\r\n"
    const std::string head = "Typed as the machine takes it: ";
    if (first.err.empty()) continue;
    ASSERT_EQ(first.err.rfind(head, 0), 0u) << path;
    std::string items = first.err.substr(head.size(), first.err.size() - head.size() - 2) + "; ";
    for (std::size_t at = 0; at < items.size();) {
      const std::size_t end = items.find("; ", at);
      const std::string item = items.substr(at, end - at);
      const std::size_t space = item.find(' ');
      const std::size_t what = item.find(' ', space + 1) + 1;
      total& t = totals[item.substr(what)];
      t.lines += std::stoull(item.substr(0, space));
      ++t.listings;
      at = end + 2;
    }
  }
  const auto expect = [&](const std::string& what, unsigned long long lines, int in) {
    EXPECT_EQ(totals[what].lines, lines) << what;
    EXPECT_EQ(totals[what].listings, in) << what;
  };
  expect("without a number not stored", 265, 84);
  expect("above 63999 not stored", 54, 3);
  expect("deleted by a number alone", 0, 0);
  expect("typed again, the later kept", 1, 1);
  expect("cut at 71 characters", 91, 15);
}
#endif

}  // namespace
}  // namespace brenvik
