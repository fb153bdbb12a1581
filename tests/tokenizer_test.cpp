#include "tokenize/tokenizer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "image/decoder.h"
#include "images.h"
#include "memory_streams.h"

namespace brenvik {
namespace {

using testing::bytes;
using testing::image_of;
using testing::memory_input;
using testing::memory_output;

struct tokenized {
  int result;
  std::string image;
  std::string err;
};

tokenized tokenize(const std::string& text, int version, unsigned load_address) {
  memory_input in(text);
  memory_output out, err;
  const int result = tokenize_text(in.file(), out.file(), err.file(), version,
                                   static_cast<uint16_t>(load_address));
  return {result, out.bytes(), err.bytes()};
}

struct row {
  const char* what;
  std::string text;
  int version;
  unsigned load_address;
  std::string image;
  std::string err;
  int result = 0;
};

void check(const row& r) {
  const tokenized t = tokenize(r.text, r.version, r.load_address);
  EXPECT_EQ(t.result, r.result) << r.what;
  EXPECT_EQ(t.image, r.image) << r.what;
  EXPECT_EQ(t.err, r.err) << r.what;
}

std::string numbered_on(int count, unsigned first) {
  return "No line number on " + std::to_string(count) + (count == 1 ? " line" : " lines") +
         "; numbered on, the first as line " + std::to_string(first) + "\r\n";
}

// The warning for a line number the machine cannot take, named as written.
std::string above_63999(const std::string& line) {
  return "Line " + line + ": line numbers above 63999 cannot be entered on the machine\r\n";
}

TEST(tokenizer, lines_become_records) {
  const row rows[] = {
      {"one line", "10 END\r\n", 0, 0x300, bytes({0, 0x07, 0x03, 0x0A, 0, 0x80, 0, 0, 0})},
      {"strings and REM keep keywords as letters",
       "10 PRINT \"PRINT\":REM PRINT\r\n20 DATA 1,FOR,2\r\nGOTO 10\r\n", 0, 0x300,
       bytes({0x00, 0x17, 0x03, 0x0A, 0x00, 0x97, 0x20, 0x22, 0x50, 0x52, 0x49, 0x4E,
              0x54, 0x22, 0x3A, 0x8E, 0x20, 0x50, 0x52, 0x49, 0x4E, 0x54, 0x00, 0x25,
              0x03, 0x14, 0x00, 0x83, 0x20, 0x31, 0x2C, 0x46, 0x4F, 0x52, 0x2C, 0x32,
              0x00, 0x2E, 0x03, 0x16, 0x00, 0x88, 0x20, 0x31, 0x30, 0x00, 0x00, 0x00}),
       numbered_on(1, 22)},
      {"abbreviations", "10 Pr\r\n20 Ta\r\n30 print\r\n", 0, 0x300,
       image_of(0x300, {{10, "\x97"}, {20, "\x9C"}, {30, "print"}})},
      {"no version, no keywords", "10 Pr\r\n20 Ta\r\n30 print\r\n", -1, 0x300,
       image_of(0x300, {{10, "Pr"}, {20, "Ta"}, {30, "print"}})},
      {"numbering on by 2; a bare number sets the next", "PRINT\r\nPRINT\r\n100\r\nEND\r\n", 0,
       0x300, image_of(0x300, {{10, "\x97"}, {12, "\x97"}, {100, "\x80"}}), numbered_on(3, 10)},
      {"operators", "10 A=B<=C", 0, 0x300,
       image_of(0x300, {{10,
                         "A\xAB"
                         "B\xAC\xAB"
                         "C"}})},
      {"load address of row 5", "10 PRINT", 5, 0x6000, image_of(0x6000, {{10, "\x97"}})},
      {"empty input", "", 3, 0x327E, bytes({0, 0, 0})},
      {"blank lines write nothing", "\r\n  \r\n\t\n", 0, 0x300, bytes({0, 0, 0})},
      {"white space before the text is dropped, after it kept", "   10 \t PRINT  \r\n", 0, 0x300,
       image_of(0x300, {{10, "\x97  "}})},
      {"high bytes are copied", "10 \x80\xFF\r\n", -1, 0x300, image_of(0x300, {{10, "\x80\xFF"}})},
  };
  for (const row& r : rows)
    check(r);
}

TEST(tokenizer, line_numbers_read_as_decimal_modulo_65536) {
  const row rows[] = {
      {"negative", "-5 END", 0, 0x300, image_of(0x300, {{65531, "\x80"}}), above_63999("-5")},
      {"plus sign", "+7 A", -1, 0x300, image_of(0x300, {{7, "A"}})},
      {"above 65535", "65538 A", -1, 0x300, image_of(0x300, {{2, "A"}}), above_63999("65538")},
      {"very long", "123456789012345678901234567890 A", -1, 0x300, image_of(0x300, {{2770, "A"}}),
       above_63999("1234567890123456789...")},
      {"sign without digits is text", "- A", 0, 0x300, image_of(0x300, {{10, "\xA4 A"}}),
       numbered_on(1, 10)},
      {"number runs into the text", "20PRINT", 0, 0x300, image_of(0x300, {{20, "\x97"}})},
      {"numbering wraps", "65535 A\r\nB", -1, 0x300, image_of(0x300, {{65535, "A"}, {1, "B"}}),
       above_63999("65535") +
           "Line 1 follows line 65535: the machine keeps lines in ascending order\r\n" +
           numbered_on(1, 1)},
  };
  for (const row& r : rows)
    check(r);
}

// The machine takes line numbers 0 to 63999. A number outside them is stored modulo 65536
// and named in the warning as written: digits without leading zeros, a minus sign kept, a
// plus sign dropped, at most 19 digits and "..." after them.
TEST(tokenizer, line_numbers_the_machine_cannot_take_are_named_as_written) {
  const row rows[] = {
      {"the highest it takes", "63999 A", -1, 0x300, image_of(0x300, {{63999, "A"}})},
      {"one above", "64000 A", -1, 0x300, image_of(0x300, {{64000, "A"}}), above_63999("64000")},
      {"above 65535, stored modulo 65536", "70000 A", -1, 0x300, image_of(0x300, {{4464, "A"}}),
       above_63999("70000")},
      {"65536 is stored as 0", "65536 A", -1, 0x300, image_of(0x300, {{0, "A"}}),
       above_63999("65536")},
      {"leading zeros are not named", "0070000 A", -1, 0x300, image_of(0x300, {{4464, "A"}}),
       above_63999("70000")},
      {"nor taken for a longer number", "00000000000000000000001 A", -1, 0x300,
       image_of(0x300, {{1, "A"}})},
      {"a plus sign is dropped", "+70000 A", -1, 0x300, image_of(0x300, {{4464, "A"}}),
       above_63999("70000")},
      {"a minus sign is kept", "-5 A", -1, 0x300, image_of(0x300, {{65531, "A"}}),
       above_63999("-5")},
      {"minus zero is zero", "-00 A", -1, 0x300, image_of(0x300, {{0, "A"}})},
      {"19 digits are named whole", "1234567890123456789 A", -1, 0x300,
       image_of(0x300, {{0x8115, "A"}}), above_63999("1234567890123456789")},
      {"20 digits are cut after 19", "-0012345678901234567890 A", -1, 0x300,
       image_of(0x300, {{0x10000 - 0x0AD2, "A"}}), above_63999("-1234567890123456789...")},
      {"a bare number above 65535 only numbers the next line", "70000\r\nA", -1, 0x300,
       image_of(0x300, {{4464, "A"}}), numbered_on(1, 4464)},
      {"a line numbered on is judged by the number it gets", "63998 A\r\nB", -1, 0x300,
       image_of(0x300, {{63998, "A"}, {64000, "B"}}), above_63999("64000") + numbered_on(1, 64000)},
  };
  for (const row& r : rows)
    check(r);

  // A number of any length costs no memory and is named by its first digits.
  const tokenized huge = tokenize(std::string(100001, '9') + " A", -1, 0x300);
  EXPECT_EQ(huge.result, 0);
  EXPECT_EQ(huge.image, image_of(0x300, {{0xFFFF, "A"}}));
  EXPECT_EQ(huge.err, above_63999("9999999999999999999..."));
}

TEST(tokenizer, line_ends_and_long_lines) {
  std::string long_line = "10 ";
  for (int i = 0; i < 60; ++i)
    long_line += "PRINT";
  const row rows[] = {
      {"CR alone", "10 A\r20 B\r30 C\r", -1, 0x300,
       image_of(0x300, {{10, "A"}, {20, "B"}, {30, "C"}})},
      {"LF alone, no end on the last line", "10 A\n20 B", -1, 0x300,
       image_of(0x300, {{10, "A"}, {20, "B"}})},
      {"CR CR LF", "10 A\r\r\n20 B\r\r\n", -1, 0x300, image_of(0x300, {{10, "A"}, {20, "B"}})},
      {"LF CR is two ends", "10 A\n\r20 B", -1, 0x300, image_of(0x300, {{10, "A"}, {20, "B"}})},
      {"cassette padding", std::string("10 A\r\0\0\0\n20 B\r\0\0\0\n", 18), -1, 0x300,
       image_of(0x300, {{10, "A"}, {20, "B"}})},
      {"zero bytes are dropped", std::string("1\0000 A\0B\r\n\0\0\00020 C\0", 17), -1, 0x300,
       image_of(0x300, {{10, "AB"}, {20, "C"}})},
      {"300 characters, 60 tokens", long_line, 0, 0x300,
       image_of(0x300, {{10, std::string(60, '\x97')}})},
      {"250 bytes fit", "10 " + std::string(250, 'A'), -1, 0x300,
       image_of(0x300, {{10, std::string(250, 'A')}})},
  };
  for (const row& r : rows)
    check(r);
}

TEST(tokenizer, a_line_too_long_for_a_record_ends_the_image) {
  const tokenized t = tokenize("10 A\r\n20 " + std::string(251, 'B') + "\r\n30 C\r\n", -1, 0x300);
  EXPECT_EQ(t.result, -1);
  EXPECT_EQ(t.image, image_of(0x300, {{10, "A"}}));
  EXPECT_EQ(t.err, "Line 20 is too long (251 bytes tokenized, at most 250)\r\n");

  const tokenized unnumbered = tokenize("-2 A\r\n" + std::string(4000, 'C'), -1, 0x300);
  EXPECT_EQ(unnumbered.result, -1);
  EXPECT_EQ(unnumbered.err, above_63999("-2") +
                                "Line 0 is too long (4000 bytes tokenized, at most 250)\r\n" +
                                numbered_on(1, 0));
}

TEST(tokenizer, literal_text_after_rem_and_data) {
  const row rows[] = {
      {"REM to the end of the line", "10 REM A:PRINT\r\n20 PRINT", 0, 0x300,
       image_of(0x300, {{10, "\x8E A:PRINT"}, {20, "\x97"}})},
      {"abbreviated REM", "10 REm PRINT", 0, 0x300, image_of(0x300, {{10, "\x8E PRINT"}})},
      {"DATA to the end of the line", "20 DATA 1,FOR,2", 0, 0x300,
       image_of(0x300, {{20, "\x83 1,FOR,2"}})},
      {"DATA ends at a colon", "150 DATA 1,2,3:GOTO 200", 0, 0x300,
       image_of(0x300, {{150, "\x83 1,2,3:\x88 200"}})},
      {"but not at a colon in a string", "20 DATA 1,\"A:B\":PRINT", 0, 0x300,
       image_of(0x300, {{20, "\x83 1,\"A:B\":\x97"}})},
      {"abbreviated DATA", "20 Da1:Pr", 0, 0x300,
       image_of(0x300, {{20,
                         "\x83"
                         "1:\x97"}})},
      {"DATA after DATA", "1 DATA A:DATA TO:TO", 0, 0x300,
       image_of(0x300, {{1, "\x83 A:\x83 TO:\x9D"}})},
      {"a quote toggles after REM too", "10 REM \"\r\n20 PRINT", 0, 0x300,
       image_of(0x300, {{10, "\x8E \""}, {20, "\x97"}})},
      {"an open string ends with its line", "10 PRINT \"A\r\n20 PRINT", 0, 0x300,
       image_of(0x300, {{10, "\x97 \"A"}, {20, "\x97"}})},
  };
  for (const row& r : rows)
    check(r);
}

// Captured listings: bytes the machine's input routine ignores, and lines it would not store
// as written.
TEST(tokenizer, captured_listings) {
  const std::string zero(1, '\0');
  const std::string pad(10, '\0');
  const std::string out_of_order =
      "Line 10 follows line 20: the machine keeps lines in ascending order\r\n";
  const row rows[] = {
      {"zero bytes are dropped in strings, REM and DATA too",
       "10 PRINT \"A" + zero + "B\":REM X" + zero + "Y\r\n20 DATA 1" + zero + ",2", 0, 0x300,
       image_of(0x300, {{10, "\x97 \"AB\":\x8E XY"}, {20, "\x83 1,2"}})},
      {"cassette padding in front of every line",
       "\r\n" + pad + " 0 PRINT\r\n" + pad + " 1 END\r\n" + pad, 0, 0x300,
       image_of(0x300, {{0, "\x97"}, {1, "\x80"}})},
      {"a line of control characters is blank", "10 A\r\n\x1A\x1A\x1A\r\n\x03\r\n \x1A \t\r\n20 B",
       -1, 0x300, image_of(0x300, {{10, "A"}, {20, "B"}})},
      {"but not a numbered one", "10 \x1A", -1, 0x300, image_of(0x300, {{10, "\x1A"}})},
      {"a byte order mark at the start",
       "\xEF\xBB\xBF"
       "10 A",
       -1, 0x300, image_of(0x300, {{10, "A"}})},
      {"screen text is numbered on", "10 A\r\nOK\r\nLIST\r\n", 0, 0x300,
       image_of(0x300, {{10, "A"}, {12, "OK"}, {14, "\x99"}}), numbered_on(2, 12)},
      {"out of order, and above 63999", "20 A\r\n10 B\r\n64000 C", -1, 0x300,
       image_of(0x300, {{20, "A"}, {10, "B"}, {64000, "C"}}), out_of_order + above_63999("64000")},
      {"the same number twice", "5 A\r\n5 B", -1, 0x300, image_of(0x300, {{5, "A"}, {5, "B"}}),
       "Line 5 follows line 5: the machine keeps lines in ascending order\r\n"},
      {"a tokenized image given as text", image_of(0x300, {{10, "\x97"}}), 0, 0x300,
       image_of(0x300, {{10, "\x97"}}),
       "standard input looks like a tokenized program image, not a listing: leave out -t to list "
       "it\r\n" +
           numbered_on(1, 10)},
  };
  for (const row& r : rows)
    check(r);
}

// A line is read in pieces, so its length costs no memory; the pieces join seamlessly.
TEST(tokenizer, lines_longer_than_a_piece) {
  const std::string zeros(10000, '\0');
  const row rows[] = {
      {"a keyword across pieces", "10" + std::string(4092, ' ') + "PRINT", 0, 0x300,
       image_of(0x300, {{10, "\x97"}})},
      {"a number across pieces", "1" + zeros + "0 A", -1, 0x300, image_of(0x300, {{10, "A"}})},
      {"a sign across pieces", "-" + zeros + "5 A", -1, 0x300, image_of(0x300, {{65531, "A"}}),
       above_63999("-5")},
      {"digits across pieces, named whole", "7" + zeros + "0000 A", -1, 0x300,
       image_of(0x300, {{4464, "A"}}), above_63999("70000")},
      {"DATA across pieces", "10 DATA " + zeros + "1:PRINT", 0, 0x300,
       image_of(0x300, {{10, "\x83 1:\x97"}})},
      {"a string across pieces", "10 PRINT \"" + std::string(5000, '\0') + "PRINT\":END", 0, 0x300,
       image_of(0x300, {{10, "\x97 \"PRINT\":\x80"}})},
  };
  for (const row& r : rows)
    check(r);

  std::string prints;
  for (int i = 0; i < 5000; ++i)
    prints += "PRINT";
  const tokenized t = tokenize("10 A\r\n20 " + prints + "\r\n30 B", 0, 0x300);
  EXPECT_EQ(t.result, -1);
  EXPECT_EQ(t.image, image_of(0x300, {{10, "A"}}));
  EXPECT_EQ(t.err, "Line 20 is too long (5000 bytes tokenized, at most 250)\r\n");
}

// The input is read in blocks of 64 KB: lines run across them, and a CR LF split between
// two blocks is one line end.
TEST(tokenizer, lines_across_the_blocks_the_input_is_read_in) {
  const std::string ends[] = {"\r\n", "\n", "\r"};
  std::string text;
  std::vector<testing::record> records;
  const auto add = [&](unsigned number, std::size_t padding, const std::string& end) {
    std::string content(1, 'A');
    content += std::to_string(number % 7);
    text.append(padding, ' ');
    text += std::to_string(number);
    text += ' ';
    text += content;
    text += end;
    records.push_back({number, content});
  };
  unsigned number = 0;
  while (text.size() + 400 < 65535) {
    add(number, number % 300, ends[number % 3]);
    ++number;
  }
  // The CR of this line is the first block's last byte, its LF the second block's first.
  const std::size_t head = std::to_string(number).size() + 3;
  add(number++, 65535 - text.size() - head, "\r\n");
  ASSERT_EQ(text.substr(65535, 2), "\r\n");
  while (text.size() < 200000) {
    add(number, number % 300, ends[number % 3]);
    ++number;
  }
  check({"lines across blocks", text, -1, 0x300, image_of(0x300, records)});
}

// A program, its end marker included, must lie at or below $FFFF.
TEST(tokenizer, a_program_that_runs_past_the_top_of_memory_is_refused) {
  const std::string end_marker_past_top =
      "The program's end marker would lie past the top of memory at $FFFF\r\n";
  const row rows[] = {
      {"the last record fits exactly", "1 AB\r\n2 C", -1, 0xFFF0,
       image_of(0xFFF0, {{1, "AB"}, {2, "C"}})},
      {"one byte more does not", "1 AB\r\n2 C\r\n3 D", -1, 0xFFF4,
       bytes({0, 0xFC, 0xFF, 0x01, 0x00, 0x41, 0x42, 0x00, 0, 0}),
       "Line 2 runs past the top of memory at $FFFF: give a lower load address with -l\r\n", -1},
      {"an empty program fits at $FFFD", "", 0, 0xFFFD, bytes({0, 0, 0})},
      {"an empty program at $FFFE does not", "", 0, 0xFFFE, bytes({0, 0, 0}), end_marker_past_top,
       -1},
      {"nor at $FFFF", "", 0, 0xFFFF, bytes({0, 0, 0}), end_marker_past_top, -1},
      {"lines without text make an empty program", "10\r\n20\r\n", 0, 0xFFFF, bytes({0, 0, 0}),
       end_marker_past_top, -1},
      {"a line refused there is the one message", "10 A", 0, 0xFFFE, bytes({0, 0, 0}),
       "Line 10 runs past the top of memory at $FFFF: give a lower load address with -l\r\n", -1},
  };
  for (const row& r : rows)
    check(r);
}

// Programs of every version, written as the machine lists them (keywords in full, names in
// capitals, anything inside strings and after REM): tokenizing one at the version's load
// address and listing the image gives back the text, and the image says where it belongs.
// List C's placeholder "xxx" is left out: its lower-case x makes "E" + "xxx" read as an
// abbreviation of EXIT.
TEST(tokenizer, listing_a_tokenized_program_gives_back_its_text) {
  std::mt19937 random(7);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const std::string punctuation = " ,;:()$0123456789.";
  for (int version = 0; version < version_count; ++version) {
    const version_entry& entry = version_table[static_cast<std::size_t>(version)];
    int first_row_at_address = version;
    while (first_row_at_address > 0 &&
           version_table[static_cast<std::size_t>(first_row_at_address - 1)].load_address ==
               entry.load_address) {
      --first_row_at_address;
    }
    for (int program = 0; program < 100; ++program) {
      std::string text;
      auto number = static_cast<unsigned>(pick(100));
      const std::size_t lines = 1 + pick(30);
      for (std::size_t l = 0; l < lines; ++l) {
        number += 1 + static_cast<unsigned>(pick(1000));
        std::string line;
        while (line.size() < 100) {
          switch (pick(5)) {
            case 0:
              if (const auto keyword = entry.keywords[pick(entry.keywords.size())];
                  keyword != "xxx") {
                line += keyword;
              }
              break;
            case 1:
              line += static_cast<char>('A' + pick(26));
              break;
            case 2:
              line += punctuation[pick(punctuation.size())];
              break;
            case 3: {
              std::string quoted;
              for (std::size_t n = pick(10); n > 0; --n)
                quoted += static_cast<char>(' ' + pick(95));
              std::erase(quoted, '"');
              line += '"' + quoted + '"';
              break;
            }
            default:
              line += ' ';
          }
        }
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos) continue;
        text += std::to_string(number % 65536) + " " + line.substr(start) + "\r\n";
      }
      const tokenized t = tokenize(text, version, entry.load_address);
      ASSERT_EQ(t.result, 0) << text;

      memory_input image(t.image);
      memory_output listing, messages;
      EXPECT_EQ(decode_image(image.file(), listing.file(), messages.file(), {.version = version}),
                0);
      ASSERT_EQ(listing.bytes(), text) << "row " << version;
      EXPECT_EQ(messages.bytes(), "");

      memory_input again(t.image);
      memory_output detected_listing, detected;
      EXPECT_EQ(decode_image(again.file(), detected_listing.file(), detected.file(), {}), 0);
      EXPECT_EQ(detected.bytes(),
                std::string("BASIC version not specified, so I chose ") +
                    version_table[static_cast<std::size_t>(first_row_at_address)].name + "\r\n")
          << "row " << version;
    }
  }
}

}  // namespace
}  // namespace brenvik
