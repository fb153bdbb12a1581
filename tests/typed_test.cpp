#include "tokenize/typed.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
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

const std::string direct = summary("1 line without a number not stored");
const std::string cut = summary("1 line cut at 71 characters");

// A listing typed into a row's BASIC at its load address, and the program the machine holds
// afterwards. Bytes are in octal where a hexadecimal digit follows them.
struct row {
  const char* what;
  std::string text;
  std::vector<testing::record> records;
  std::string err;
  int version = 0;
};

TEST(typed, the_program_the_machine_holds) {
  const row rows[] = {
      // Line ends.
      {"LF, LF CR, CR CR, LF LF", "10 A\n\r20 B\r\r30 C\n\n", {{10, "A"}, {20, "B"}, {30, "C"}}},
      {"CR LF, and a last line without an end", "10 A\r\n20 B", {{10, "A"}, {20, "B"}}},
      {"8D ends a line", "10 A\21520 B", {{10, "A"}, {20, "B"}}},
      {"8A is an ignored key, no line end", "10 A\212B", {{10, "AB"}}},
      {"a byte order mark is no key",
       "\xEF\xBB\xBF"
       "10 A",
       {{10, "A"}}},
      // The input routine.
      {"keys are 7 bits", "10 \320RINT \xC1", {{10, "\x97 A"}}},
      {"NUL is ignored", std::string("10 PR\0INT\0 \"A\"", 14), {{10, "\x97 \"A\""}}},
      {"controls are ignored", "10 PRINT\tA\x1A\x1B\x0F\x18\x10", {{10, "\227A"}}},
      {"} ~ DEL are ignored, { | kept", "10 A}~\177B{|", {{10, "AB{|"}}},
      {"BEL is a character", "10 A\007B\r20 A\x87", {{10, "A\007B"}, {20, "A\x07"}}},
      {"@ cancels the line so far", "10 A\300B\r20 C@30 D", {{30, "D"}}, direct},
      {"_ takes back a character", "10 AB_C", {{10, "AC"}}},
      {"_ takes back half a keyword", "10 PRINTX_\"HI\"", {{10, "\x97\"HI\""}}},
      {"_ at the start of a line", "_20 A\r3_5 B", {{5, "B"}, {20, "A"}}},
      {"[ and ] are stored on the ROM BASIC", "10 A[B]", {{10, "A[B]"}}},
      // The 71-character line.
      {"70 more", "10 " + std::string(70, 'X'), {{10, std::string(68, 'X')}}, cut},
      {"ignored keys take no room",
       "10 " + std::string(100, '\0') + std::string(80, 'A'),
       {{10, std::string(68, 'A')}},
       cut},
      {"a keyword at the very end",
       "10 " + std::string(62, 'A') + ":PRINT",
       {{10, std::string(62, 'A') + ":\x97"}}},
      {"a keyword cut",
       "10 " + std::string(63, 'A') + ":PRINT",
       {{10, std::string(63, 'A') + ":PRIN"}},
       cut},
      {"_ makes room",
       "10 " + std::string(70, 'A') + "_Z",
       {{10, std::string(67, 'A') + "Z"}},
       cut},
      {"@ starts afresh", std::string(80, 'A') + "@10 A", {{10, "A"}}},
      {"a million characters",
       "10 " + std::string(1000000, 'B') + "\r20 C",
       {{10, std::string(68, 'B')}, {20, "C"}},
       cut},
      {"spaces count", "10" + std::string(69, ' ') + "A\r\n20 B", {{20, "B"}}, cut},
      // What the machine does with a line, and its number.
      {"spaces alone", "   \r\n\r\n\x1A", {}},
      {"a leading colon: the ROM ignores the line", ":10 A", {}, direct},
      {"screen text and signs are direct lines",
       "PRINT 5\rOK\r-5 A\r+6 B\r10 A",
       {{10, "A"}},
       summary("4 lines without a number not stored")},
      {"the test is made after editing", "X_20 A\r10 A@B", {{20, "A"}}, direct},
      {"spaces between the digits", "1 5 B\r063999 C\r0 F", {{0, "F"}, {15, "B"}, {63999, "C"}}},
      {"above 63999",
       "64000 D\r6400 0 E\r99999 X\r10 A",
       {{10, "A"}},
       summary("3 lines above 63999 not stored")},
      {"an error deletes nothing",
       "10 A\r65546",
       {{10, "A"}},
       summary("1 line above 63999 not stored")},
      {"the text starts after the number", "10.5 C\r20?A", {{10, ".5 C"}, {20, "\227A"}}},
      {"a number alone deletes its line",
       "10 A\r20 B\r10\r20   \r30",
       {},
       summary("2 lines deleted by a number alone")},
      {"lines in number order", "20 B\r10 A", {{10, "A"}, {20, "B"}}},
      {"the last one typed wins",
       "10 A\r10 B\r5 C",
       {{5, "C"}, {10, "B"}},
       summary("1 line typed again, the later kept")},
      {"NEW clears", "10 A\rNEW\r20 B", {{20, "B"}}, direct},
      {"spaces aside", "10 A\r  N E W  \r20 B", {{20, "B"}}, direct},
      {"NEW after another statement", "10 A\rPRINT:NEW", {{10, "A"}}, direct},
      {"NEW with more after it", "10 A\rNEW X", {{10, "A"}}, direct},
      {"new in lower case", "10 A\rnew", {{10, "A"}}, direct},
      {"the ROM ignores :NEW", "10 A\r:NEW", {{10, "A"}}, direct},
      // Crunching.
      {"spaces are kept", "10    PRINT  A  ", {{10, "\x97  A  "}}},
      {"an open string", "10 \"ABC", {{10, "\"ABC"}}},
      {"DATA up to a colon", "20 DATA ?,\"?:\",FOR:?", {{20, "\x83 ?,\"?:\",FOR:\x97"}}},
      {"REM to the end", "10 REM A:PRINT\"X", {{10, "\x8E A:PRINT\"X"}}},
      {"? is PRINT", "10 ?\"?\":REM ?", {{10, "\x97\"?\":\x8E ?"}}},
      {"digits : ; as they are", "10 (12:;3)", {{10, "(12:;3)"}}},
      {"the first keyword in the table", "10 FORM=TOTAL", {{10, "\x81M\xAB\x9DTAL"}}},
      {"operators", "20 A<=B", {{20, "A\254\253B"}}},
      {"spaces inside a keyword",
       "10 PR INT\r20 G O T O 5\r30 IF T OR X",
       {{10, "\x97"}, {20, "\x88 5"}, {30, "\x8A \x9DR X"}}},
      {"the space goes with the keyword", "40 A=F NOT B", {{40, "A\xAB\x9EOT B"}}},
      {"function names apart",
       "50 PRINT TAB (5);SPC (2);STR $(1);CHR $(65)",
       {{50, "\x97 \2345);\2372);\xBD(1);\xC0(65)"}}},
      {"upper case only",
       "10 print\r20 Pr\r30 Ta(5)\r40 REm PRINT",
       {{10, "print"}, {20, "Pr"}, {30, "Ta(5)"}, {40, "REm \x97"}}},
      {"no keyword of the ROM", "10 PLOT", {{10, "PLOT"}}},
      // The disk BASICs: their keywords and program areas, and where they take keys otherwise.
      {"their program area", "10 PRINT", {{10, "\x97"}}, "", 3},
      {"[ is removed", "10 A[B]\x18\x10", {{10, "AB]"}}, "", 3},
      {"a leading colon makes a direct line", ":10 A\r20 B", {{20, "B"}}, direct, 4},
      {":NEW clears", "10 A\r: NEW\r20 B", {{20, "B"}}, direct, 1},
      {"PLOT on its row", "10 PLOT", {{10, "\x92"}}, "", 1},
      {"EDIT and TRAP on theirs", "10 EDIT:TRAP", {{10, "\x91:\x92"}}, "", 2},
  };
  for (const row& r : rows) {
    const unsigned load_address = version_table[static_cast<std::size_t>(r.version)].load_address;
    const typed t = type(r.text, r.version, load_address);
    EXPECT_EQ(t.result, 0) << r.what;
    EXPECT_EQ(t.image, image_of(load_address, r.records)) << r.what;
    EXPECT_EQ(t.err, r.err) << r.what;
  }
}

TEST(typed, records_and_links) {
  EXPECT_EQ(type("10 PRINT \"HI\"").image, bytes({0x00, 0x0C, 0x03, 0x0A, 0x00, 0x97, 0x20, 0x22,
                                                  0x48, 0x49, 0x22, 0x00, 0x00, 0x00}));
  EXPECT_EQ(type("").image, bytes({0, 0, 0}));
}

TEST(typed, the_summary_names_everything_not_stored_in_order) {
  const typed t = type("20 A\rX\r20 B\r10 " + std::string(80, 'C') + "\r30 D\r30\r64000 E\r40 " +
                       std::string(80, 'D') + "\r?\r");
  EXPECT_EQ(t.image,
            image_of(0x300, {{10, std::string(68, 'C')}, {20, "B"}, {40, std::string(68, 'D')}}));
  EXPECT_EQ(t.err, summary("2 lines without a number not stored; 1 line above 63999 not stored; "
                           "1 line deleted by a number alone; 1 line typed again, the later "
                           "kept; 2 lines cut at 71 characters"));
}

// Texts replaced many times over, among lines that stay and lines deleted: the program
// holds the last text of each line, whatever its store does with the texts no longer held.
TEST(typed, lines_typed_again_and_again) {
  std::string text;
  for (int round = 0; round < 3000; ++round) {
    for (int line = 1; line <= 20; ++line) {
      const std::string digits = std::to_string(round);
      text += std::to_string(line);
      if (round == 0 || line % 5 != 0) text += " X" + digits + std::string(60 - digits.size(), 'A');
      text += '\r';
    }
  }
  std::vector<testing::record> records;
  for (unsigned line = 1; line <= 20; ++line)
    if (line % 5 != 0) records.push_back({line, "X2999" + std::string(56, 'A')});
  const typed t = type(text);
  EXPECT_EQ(t.image, image_of(0x300, records));
  EXPECT_EQ(t.err,
            summary("4 lines deleted by a number alone; 47984 lines typed again, the later kept"));
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
                direct);
}

// The real row-0 listings of the corpus: typed, listed and typed again, each gives the same
// program; and what the machine leaves out of them, as measured: 265 direct lines in 84
// listings, 54 lines above 63999 in 3, 1 line typed twice, and 95 lines longer than the
// buffer in 15 listings, 4 of which (in PLATIN_1.BAS) are above 63999 and said so instead.
TEST(typed, real_listings_type_back_to_the_same_program) {
  const std::filesystem::path corpus = CORPUS_DIR;
  std::ifstream manifest(corpus / "listings" / "manifest.json");
  if (!manifest) GTEST_SKIP() << "no corpus at " << corpus;
  const std::string json((std::istreambuf_iterator<char>(manifest)),
                         std::istreambuf_iterator<char>());
  // Each listing's entry holds one "dialect" and one "file", in that order.
  std::vector<std::filesystem::path> listings;
  std::string dialect;
  for (std::size_t at = json.find("\": \""); at != std::string::npos;
       at = json.find("\": \"", at + 1)) {
    const std::string key =
        json.substr(json.rfind('"', at - 1) + 1, at - json.rfind('"', at - 1) - 1);
    const std::string value = json.substr(at + 4, json.find('"', at + 4) - at - 4);
    if (key == "dialect") dialect = value;
    if (key == "file" && dialect.find("row 0") != std::string::npos)
      listings.push_back(corpus / value);
  }
  ASSERT_EQ(listings.size(), 156u);

  std::map<std::string, std::pair<unsigned long long, int>> totals;  // lines, listings
  for (const auto& path : listings) {
    std::ifstream file(path, std::ios::binary);
    const typed first =
        type(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()));
    ASSERT_EQ(first.result, 0) << path;
    memory_output listing, messages;
    ASSERT_EQ(decode_image(std::span(reinterpret_cast<const unsigned char*>(first.image.data()),
                                     first.image.size()),
                           listing.file(), messages.file(), {.version = 0}),
              0)
        << path;
    const typed again = type(listing.bytes());
    EXPECT_EQ(again.image, first.image) << path;
    EXPECT_EQ(messages.bytes() + again.err, "") << path;

    // "Typed as the machine takes it: 3 lines without ...; 1 line typed ...\r\n"
    const std::size_t head = first.err.find(": ");
    if (head == std::string::npos) continue;
    std::istringstream items(first.err.substr(head + 2, first.err.size() - head - 4) + "; ");
    unsigned long long count = 0;
    std::string lines, what;
    while (items >> count >> lines && std::getline(items, what, ';')) {
      items.get();
      totals[what.substr(1)].first += count;
      ++totals[what.substr(1)].second;
    }
  }
  using total = std::pair<unsigned long long, int>;
  EXPECT_EQ(totals["without a number not stored"], total(265, 84));
  EXPECT_EQ(totals["above 63999 not stored"], total(54, 3));
  EXPECT_EQ(totals["deleted by a number alone"], total(0, 0));
  EXPECT_EQ(totals["typed again, the later kept"], total(1, 1));
  EXPECT_EQ(totals["cut at 71 characters"], total(91, 15));
}

}  // namespace
}  // namespace brenvik
